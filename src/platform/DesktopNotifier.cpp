#include "platform/DesktopNotifier.h"

#include "platform/ApplicationIdentity.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <QtDebug>

namespace airlark {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus))
{
    if (!bus_.isConnected()) {
        qInfo("No session bus, so no desktop notifications");
        return;
    }
    bus_.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
}

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    if (!bus_.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // The "default" action is the click on the notification itself; the desktop entry lets the
    // server show Airlark's name and icon and group its notifications.
    const QString desktopEntry = applicationIdentifier();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry},
                            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(1)}};
    // The body may hold markup for the server to render: the file names and server replies in
    // ours are text, so their '<' and '&' are sent as entities.
    call << QStringLiteral("Airlark") << shown_ << desktopEntry << summary << body.toHtmlEscaped()
         << QStringList{QStringLiteral("default"), tr("Show Airlark")} << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError()) {
            qInfo("No desktop notification shown: %s", qPrintable(reply.error().message()));
            return;
        }
        shown_ = reply.value();
    });
}

void DesktopNotifier::actionInvoked(uint identifier, const QString& action)
{
    if (identifier != 0 && identifier == shown_ && action == QLatin1String("default"))
        emit activated();
}

void DesktopNotifier::notificationClosed(uint identifier, uint)
{
    if (identifier == shown_)
        shown_ = 0;
}

} // namespace airlark
