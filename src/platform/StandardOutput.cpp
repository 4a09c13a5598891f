#include "platform/StandardOutput.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace airlark {
namespace {
std::atomic<bool> toStandardError{false};
}

void redirectStandardOutputLinesToStandardError()
{
    toStandardError = true;
}

void standardOutputLine(const QString& line)
{
    static std::mutex mutex;
    const QByteArray bytes = line.toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::FILE* stream = toStandardError ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace airlark
