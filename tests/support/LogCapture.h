#pragma once

#include <QStringList>
#include <QtGlobal>

namespace airlark::test {

// Collects every Qt log message (qDebug to qCritical), from any thread, while it lives, instead of
// printing it. One at a time; read the messages once the threads that log have finished.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& messages() const;
    qsizetype count(const QString& message) const { return messages().count(message); }
    bool anyContains(const QString& fragment) const
    {
        return messages().join(QLatin1Char('\n')).contains(fragment);
    }

private:
    QtMessageHandler previous_;
};

} // namespace airlark::test
