// Step 4's desktop notification, over the private session bus: the test plays the desktop's
// notification server (org.freedesktop.Notifications) on a connection of its own, and clicks a
// notification by sending the server's ActionInvoked signal.
#include "publish/ui/UploadPodcastViewController.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark::test {

const QString Notifications = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");

// Records the summary and body of each notification it is asked to show; they are numbered from 1.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    ~NotificationServer() override { QDBusConnection::disconnectFromBus(bus.name()); }
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notifications");
    bool registered = bus.registerObject(NotificationsPath, this, QDBusConnection::ExportAllSlots) &&
                      bus.registerService(Notifications);
    QStringList summaries;
    QStringList bodies;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        summaries.append(summary);
        bodies.append(body);
        return static_cast<uint>(summaries.size());
    }
};

namespace {

struct EndCase
{
    const char* name;
    std::optional<UploadPodcastState> end; // how the upload ends; none: it fails on its own
    bool watched;                          // the step's window is the active one
    QString summary;                       // of the notification; empty: none
};

class UploadNotificationTest : public ::testing::TestWithParam<EndCase>
{
};

// Tells of an upload's end only when nobody watched it end; a click brings the window forward.
TEST_P(UploadNotificationTest, NotifiesOnlyWhenTheWindowIsInTheBackground)
{
    const EndCase& c = GetParam();
    NotificationServer server;
    ASSERT_TRUE(server.registered);
    QTemporaryDir folder;
    // A file name that looks like markup reaches the notification server as text.
    const QString name = QStringLiteral("<i>Ep & co.mp3");
    ASSERT_TRUE(writeFile(folder.filePath(name), mp3Bytes(1)));
    UploadPodcastViewController step;
    QWidget elsewhere;
    step.show();
    elsewhere.show();
    QWidget& active = c.watched ? static_cast<QWidget&>(step) : elsewhere;
    active.activateWindow();
    ASSERT_TRUE(waitFor([&] { return active.isActiveWindow(); }));

    // An account the store does not have: the upload fails once its row has been looked for.
    step.setFileURL(QUrl::fromLocalFile(folder.filePath(name)));
    step.setUserIdentifier(987654321);
    step.setHost(PodcastHost::Libsyn);
    step.viewDidAppear();
    if (c.end)
        step.viewModel()->setUploadState(*c.end);
    ASSERT_TRUE(waitFor([&] { return step.viewModel()->uploadState() == UploadPodcastState::Failed; }));
    EXPECT_FALSE(waitFor([&] { return server.summaries.size() > 1; }, std::chrono::milliseconds(300)));
    EXPECT_EQ(server.summaries, c.summary.isEmpty() ? QStringList() : QStringList{c.summary});
    for (const QString& body : std::as_const(server.bodies))
        EXPECT_TRUE(body.startsWith(QStringLiteral("&lt;i&gt;Ep &amp; co.mp3 was "))) << body.toStdString();
    if (!c.watched) {
        server.bus.send(
            QDBusMessage::createSignal(NotificationsPath, Notifications, QStringLiteral("ActionInvoked"))
            << uint(1) << QStringLiteral("default"));
        EXPECT_TRUE(waitFor([&] { return step.isActiveWindow(); }));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, UploadNotificationTest,
    ::testing::Values(EndCase{"FailedInTheBackground", {}, false, QStringLiteral("Upload failed")},
                      EndCase{"PublishedInTheBackground", UploadPodcastState::Successful, false,
                              QStringLiteral("Episode published")},
                      EndCase{"PublishedWhileWatched", UploadPodcastState::Successful, true, {}}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace airlark::test

#include "UploadNotificationTest.moc"
