// The upload step's screen inside the real workflow wizard (offscreen widgets), publishing to a
// real FTP server from a real store and keyring.
#include "publish/ui/UploadPodcastViewController.h"

#include "UploadRecording.h"
#include "hosts/LibsynFTPServer.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "publish/LibsynFTPClientFactory.h"
#include "store/Account.h"
#include "store/Database.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace airlark::test {
namespace {

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

FtpTestServer& libsynServer()
{
    return LibsynServerEnvironment::server();
}

class RootStep : public QWidget, public ProgressNavigationControllerChild
{
public:
    QWidget* next = nullptr;
    NextStepAction nextStepAction() override { return NextStepAction::Left(next); }
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override
    {
        controller.setNextButtonTitle(QStringLiteral("Next"));
        controller.setNextButtonEnabled(true);
        controller.setBackButtonEnabled(false);
        controller.setCancelButtonEnabled(false);
    }
};

// The desktop's notification server as far as Airlark talks to it, on a connection of its own to
// the test session's bus: records each notification and clicks one on request.
class NotificationServerStandIn : public QDBusVirtualObject
{
public:
    struct Notice
    {
        QString summary;
        QString body;
        QStringList actions;
    };

    NotificationServerStandIn()
    {
        EXPECT_TRUE(bus.registerVirtualObject(path, this));
        EXPECT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    ~NotificationServerStandIn() override
    {
        bus.unregisterObject(path);
        QDBusConnection::disconnectFromBus(bus.name());
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("Notify"))
            return false;
        const QVariantList arguments = message.arguments();
        notices.push_back({arguments.value(3).toString(), arguments.value(4).toString(),
                           arguments.value(5).toStringList()});
        return connection.send(message.createReply(QVariant::fromValue(uint(notices.size()))));
    }
    QString introspect(const QString&) const override { return {}; }

    void click(uint notice)
    {
        bus.send(QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.Notifications"),
                                            QStringLiteral("ActionInvoked"))
                 << notice << QStringLiteral("default"));
    }

    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("notifications"));
    std::vector<Notice> notices;
};

const QString Uploaded = QString::fromUtf8("\xF0\x9F\x8E\x89 Uploaded \xF0\x9F\x8E\x89");

class UploadPodcastViewControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(libsynServer().isRunning());
        ASSERT_EQ(LibsynFTPServerSetting::current().port, libsynServer().port());
        ASSERT_TRUE(dataHome.isValid() && folder.isValid());
        previousDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        auto database = Database::open();
        ASSERT_TRUE(database);
        ASSERT_FALSE(database->createTables());
        ASSERT_TRUE(spreadAccountIdentifiers(*database));

        root.next = &upload;
        window = std::make_unique<TopMetadataProgressNavigationController>([this] { return &root; });
        window->resize(640, 420);
        window->show();
    }

    void TearDown() override
    {
        window.reset();
        drainMainQueue();
        qputenv("XDG_DATA_HOME", previousDataHome);
        QApplication::setQuitOnLastWindowClosed(true);
    }

    // A Libsyn account whose folder exists on the server; its identifier.
    qint64 addAccount(const QString& name)
    {
        EXPECT_TRUE(libsynServer().makeDirectory(name + QStringLiteral("/quickcast")));
        auto database = Database::open();
        auto created = Account::createAccount(*database, name, QStringLiteral("Libsyn"),
                                              LibsynAccountFeedType::Libsyn, libsynServer().user());
        EXPECT_TRUE(created.hasValue());
        EXPECT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), created->id, libsynServer().password()));
        return created->id;
    }

    QString addEpisode(const QString& name, int seconds)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(writeFile(path, mp3Bytes(seconds)));
        return path;
    }

    // What step 3 and the earlier steps hand over, then Next from the root step.
    void present(std::optional<PodcastHost> host, std::optional<qint64> account, const QString& path)
    {
        window->setFileURL(path.isEmpty() ? std::nullopt : std::optional(QUrl::fromLocalFile(path)));
        window->setEpisodeTitle(QStringLiteral("Episode"));
        UploadDestination& destination = upload;
        destination.setHost(host);
        destination.setUserIdentifier(account);
        destination.setTags({});
        upload.setProgressNavigationController(window.get());
        QTest::mouseClick(window->nextButton(), Qt::LeftButton);
        ASSERT_EQ(window->contentNavigationController()->visibleViewController(), &upload);
    }

    bool waitForEnd()
    {
        return waitFor(
                   [this] {
                       return upload.viewModel() &&
                              (upload.viewModel()->uploadState() == UploadPodcastState::Successful ||
                               upload.viewModel()->uploadState() == UploadPodcastState::Failed);
                   },
                   std::chrono::seconds(30)) &&
               (drainMainQueue(), true);
    }

    QTemporaryDir dataHome;
    QTemporaryDir folder;
    QByteArray previousDataHome;
    RootStep root;
    UploadPodcastViewController upload;
    std::unique_ptr<TopMetadataProgressNavigationController> window;
};

TEST_F(UploadPodcastViewControllerTest, UploadsWhenShownAndNextThenClosesTheWindow)
{
    const qint64 account = addAccount(QStringLiteral("Morning Show"));
    const QString path = addEpisode(QStringLiteral("Morning 1.mp3"), 2);
    present(PodcastHost::Libsyn, account, path);

    EXPECT_FALSE(window->backButton()->isEnabled()) << "no way back from an upload";
    EXPECT_FALSE(window->nextButton()->isEnabled())
        << "Next must not close the window under a starting upload";
    EXPECT_EQ(upload.fileLabel()->text(), QStringLiteral("Morning 1.mp3"));
    EXPECT_EQ(upload.accountLabel()->text(), QString::fromUtf8("Morning Show\xE2\x80\x94Libsyn"));
    EXPECT_EQ(upload.fileURL(), QUrl::fromLocalFile(path)) << "read from the workflow";
    EXPECT_EQ(upload.episodeTitle(), QStringLiteral("Episode"));

    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(upload.viewModel()->uploadState(), UploadPodcastState::Successful);
    EXPECT_EQ(upload.statusTextField()->text(), Uploaded);
    // What a screen reader reads is what is on screen, for the status and every value shown.
    for (QLabel* label : {upload.statusTextField(), upload.fileLabel(), upload.accountLabel()})
        EXPECT_EQ(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), label->text());
    EXPECT_EQ(upload.progressIndicator()->value(), 100);
    EXPECT_TRUE(upload.transferredLabel()->text().isEmpty());
    EXPECT_EQ(window->nextButton()->text(), QStringLiteral("Done"));
    EXPECT_TRUE(window->nextButton()->isEnabled());
    EXPECT_EQ(libsynServer().fileContents(QStringLiteral("Morning Show/quickcast/Morning 1.mp3")),
              readFile(path));

    QTest::mouseClick(window->nextButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

struct MissingCase
{
    const char* label;
    bool host;
    bool account;
    bool file;
};

void PrintTo(const MissingCase& testCase, std::ostream* stream)
{
    *stream << testCase.label;
}

class UploadPodcastViewControllerMissingTest : public UploadPodcastViewControllerTest,
                                               public ::testing::WithParamInterface<MissingCase>
{
};

TEST_P(UploadPodcastViewControllerMissingTest, SaysTheUploadFailedAndCancelLeadsBack)
{
    const qint64 account = addAccount(QStringLiteral("Evening Show"));
    const QString path = GetParam().file ? addEpisode(QStringLiteral("Evening.mp3"), 1) : QString();
    window->setCancelButtonEnabled(true);
    present(GetParam().host ? std::optional(PodcastHost::Libsyn) : std::nullopt,
            GetParam().account ? std::optional(account) : std::nullopt, path);

    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(upload.statusTextField()->text(), QStringLiteral("Upload failed"));
    EXPECT_EQ(window->nextButton()->text(), QStringLiteral("Upload failed"));
    EXPECT_FALSE(window->nextButton()->isEnabled());
    EXPECT_TRUE(window->cancelButton()->isEnabled());

    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(window->contentNavigationController()->visibleViewController(), &root);
}

INSTANTIATE_TEST_SUITE_P(Missing, UploadPodcastViewControllerMissingTest,
                         ::testing::Values(MissingCase{"NoHost", false, true, true},
                                           MissingCase{"NoAccount", true, false, true},
                                           MissingCase{"NoFile", true, true, false}),
                         [](const auto& testParam) { return std::string(testParam.param.label); });

TEST_F(UploadPodcastViewControllerTest, ASecondEpisodeGoesToTheSecondAccount)
{
    const qint64 first = addAccount(QStringLiteral("First Show"));
    const qint64 second = addAccount(QStringLiteral("Second Show"));
    const QString firstPath = addEpisode(QStringLiteral("One.mp3"), 1);
    const QString secondPath = addEpisode(QStringLiteral("Two.mp3"), 2);
    window->setCancelButtonEnabled(true);

    present(PodcastHost::Libsyn, first, firstPath);
    ASSERT_TRUE(waitForEnd());
    const std::weak_ptr<UploadPodcastViewModel> firstViewModel = upload.viewModel();
    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);

    present(PodcastHost::Libsyn, second, secondPath);
    ASSERT_TRUE(waitForEnd());
    EXPECT_NE(upload.viewModel(), firstViewModel.lock());
    EXPECT_EQ(upload.accountLabel()->text(), QString::fromUtf8("Second Show\xE2\x80\x94Libsyn"));
    EXPECT_EQ(libsynServer().fileContents(QStringLiteral("Second Show/quickcast/Two.mp3")),
              readFile(secondPath));
    EXPECT_TRUE(libsynServer().fileContents(QStringLiteral("First Show/quickcast/Two.mp3")).isEmpty());
    EXPECT_EQ(libsynServer().fileContents(QStringLiteral("First Show/quickcast/One.mp3")),
              readFile(firstPath));

    // A report of the earlier upload no longer reaches the screen.
    if (const auto earlier = firstViewModel.lock()) {
        earlier->setUploadState(UploadPodcastState::Failed);
        drainMainQueue();
    }
    EXPECT_EQ(upload.statusTextField()->text(), Uploaded);
}

TEST_F(UploadPodcastViewControllerTest, AnEndInTheBackgroundIsNotifiedAndTheNoticeBringsTheWindowBack)
{
    NotificationServerStandIn server;
    const qint64 account = addAccount(QStringLiteral("Night Show"));
    const QString path = addEpisode(QStringLiteral("Night.mp3"), 1);
    window->setCancelButtonEnabled(true);
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(waitFor([&] { return !window->isActiveWindow(); }));

    present(PodcastHost::Libsyn, account, path);
    ASSERT_TRUE(waitForEnd());
    ASSERT_TRUE(waitFor([&] { return server.notices.size() == 1; }, std::chrono::seconds(5)));
    EXPECT_EQ(server.notices[0].summary, QStringLiteral("Episode published"));
    EXPECT_EQ(server.notices[0].body,
              QString::fromUtf8("Night.mp3 was uploaded to Night Show\xE2\x80\x94Libsyn."));
    EXPECT_TRUE(server.notices[0].actions.contains(QStringLiteral("default")));
    server.click(1);
    EXPECT_TRUE(waitFor([&] { return window->isActiveWindow(); }, std::chrono::seconds(5)));

    // A failure seen as it happens needs no notification.
    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
    present(std::nullopt, account, path);
    ASSERT_TRUE(waitForEnd());
    QTest::qWait(200);
    EXPECT_EQ(server.notices.size(), 1u);
}

TEST_F(UploadPodcastViewControllerTest, MirrorsEveryReportOnTheWizard)
{
    const qint64 account = addAccount(QStringLiteral("Mirror Show"));
    present(PodcastHost::Libsyn, account, addEpisode(QStringLiteral("Mirror.mp3"), 1));
    ASSERT_TRUE(waitForEnd());

    // Replayed by hand: the upload partway through.
    auto& viewModel = *upload.viewModel();
    viewModel.setUploadState(UploadPodcastState::InProgress);
    viewModel.setUploadProgress(42);
    drainMainQueue();
    EXPECT_EQ(upload.progressIndicator()->value(), 42);
    EXPECT_EQ(window->nextButton()->text(), QString::fromUtf8("Uploading\xE2\x80\xA6"));
    EXPECT_FALSE(window->nextButton()->isEnabled());
    EXPECT_EQ(upload.statusTextField()->text(), QString::fromUtf8("Uploading\xE2\x80\xA6"));
    EXPECT_FALSE(window->backButton()->isEnabled());
}

} // namespace
} // namespace airlark::test
