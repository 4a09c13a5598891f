#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace airlark {

// Desktop notifications through the freedesktop notification server on the session bus
// (org.freedesktop.Notifications), the one every Linux desktop runs. Only the latest notification
// is kept on screen: a new one replaces it, so a podcaster coming back finds one message, not a
// pile.
//
// Nothing here waits for the server: the call goes out asynchronously, and a desktop without a
// notification server only costs a line in the log. Main thread.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    DesktopNotifier(QDBusConnection bus, QObject* parent);

    void notify(const QString& summary, const QString& body);

signals:
    // The user clicked the latest notification (its default action).
    void activated();

private slots:
    void actionInvoked(uint identifier, const QString& action);
    void notificationClosed(uint identifier, uint reason);

private:
    QDBusConnection bus_;
    uint shown_ = 0;
};

} // namespace airlark
