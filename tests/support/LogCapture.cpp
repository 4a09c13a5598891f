#include "support/LogCapture.h"

#include <mutex>

namespace airlark::test {

namespace {

std::mutex mutex;
QStringList captured;

void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::lock_guard lock(mutex);
    captured.append(message);
}

} // namespace

LogCapture::LogCapture()
{
    clear();
    previous_ = qInstallMessageHandler(&collect);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
}

const QStringList& LogCapture::messages() const
{
    return captured;
}

void LogCapture::clear()
{
    std::lock_guard lock(mutex);
    captured.clear();
}

} // namespace airlark::test
