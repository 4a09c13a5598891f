#pragma once

#include <QStringList>
#include <QtGlobal>

namespace airlark::test {

// Collects every Qt log message (qDebug to qCritical) while it lives, instead of printing it.
// Main thread only; one at a time.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& messages() const;
    qsizetype count(const QString& message) const { return messages().count(message); }
    void clear();

private:
    QtMessageHandler previous_;
};

} // namespace airlark::test
