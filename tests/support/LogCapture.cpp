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
    captured.clear();
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

} // namespace airlark::test
