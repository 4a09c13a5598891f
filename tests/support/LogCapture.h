#pragma once

#include <QStringList>
#include <QtGlobal>
#include <mutex>

namespace airlark::test {

// Collects every Qt log message (qDebug to qCritical), from any thread, while it lives, instead of
// printing it. One at a time; read the messages once the threads that log have finished.
class LogCapture
{
public:
    LogCapture()
    {
        captured_.clear();
        previous_ = qInstallMessageHandler(&collect);
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& messages() const { return captured_; }
    qsizetype count(const QString& message) const { return messages().count(message); }
    bool anyContains(const QString& fragment) const
    {
        return messages().join(QLatin1Char('\n')).contains(fragment);
    }

private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        std::lock_guard lock(mutex_);
        captured_.append(message);
    }

    static inline std::mutex mutex_;
    static inline QStringList captured_;
    QtMessageHandler previous_;
};

} // namespace airlark::test
