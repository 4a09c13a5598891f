// The SoundCloud pane driven through its real widgets in the add-account window, against the
// stand-in: the sign-in by a second `airlark` process, a fixed loopback port used twice, the
// failure messages, and the view model's reports. The loopback sign-in to a saved account is the end-to-end
// test's.
#include "SoundCloudFixture.h"
#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "hosts/SoundCloudAuthenticationViewModel.h"
#include "hosts/ui/AddPodcastHostViewController.h"
#include "hosts/ui/SoundCloudAuthenticationViewController.h"
#include "platform/ApplicationIdentity.h"
#include "store/Account.h"
#include "store/SQLite.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace airlark::test {
namespace {

// The account table's ids, rows reserved for a sign-in included (the list of accounts leaves them out).
std::vector<qint64> accountRows(const Database& database)
{
    return sqlite::selectRows<qint64>(database.connection(),
                                      QStringLiteral("SELECT id FROM account ORDER BY id"),
                                      [](sqlite::Statement& row) { return row.int64(0); });
}

// A Libsyn pane stand-in: these tests never choose Libsyn.
class OtherPane : public HostAuthenticationViewController
{
};

class SoundCloudPaneTest : public SoundCloudTest
{
protected:
    void SetUp() override
    {
        SoundCloudTest::SetUp();
        database = Database::open();
        ASSERT_TRUE(database.has_value());
        ASSERT_FALSE(database->createTables().has_value());
        pane = new SoundCloudAuthenticationViewController([this](std::shared_ptr<RedirectURLHandler> client) {
            pendingClients.push_back(std::dynamic_pointer_cast<SoundCloudAPIClient>(client));
            if (appDelegate)
                appDelegate->setPendingAuthenticationSoundCloudAPIClient(client);
        });
        otherPane = new OtherPane;
    }

    void TearDown() override
    {
        delete window;
        delete pane;
        delete otherPane;
        SoundCloudTest::TearDown();
    }

    void openWindow()
    {
        delete window;
        window = new AddPodcastHostViewController([this] { return otherPane; }, [this] { return pane; });
        window->show();
        ASSERT_TRUE(waitFor([this] { return pane->isVisible(); }));
    }

    // The sign-in starts once its account row is reserved, in the background.
    void connect()
    {
        const std::size_t before = pendingClients.size();
        QTest::mouseClick(pane->connectButton(), Qt::LeftButton);
        waitFor(
            [&] { return pendingClients.size() > before || !pane->viewModel().networkRequestInProgress(); });
    }

    QString label() const { return pane->errorMessageLabel()->text(); }
    bool addEnabled() const { return window->addButton()->isEnabled(); }

    bool waitForLabel(const QString& text)
    {
        return waitFor([&] { return label() == text; }, std::chrono::seconds(20));
    }

    std::optional<Database> database;
    SoundCloudAuthenticationViewController* pane = nullptr;
    OtherPane* otherPane = nullptr;
    AddPodcastHostViewController* window = nullptr;
    std::vector<std::shared_ptr<SoundCloudAPIClient>> pendingClients;
    std::unique_ptr<AppDelegate> appDelegate;
};

TEST_F(SoundCloudPaneTest, ConnectSignsInWithTheRedirectDeliveredByASecondAirlarkProcess)
{
    // This process plays the running instance; the browser hands the "airlark:" redirect to a
    // new `airlark` process, which forwards it here over the single-instance socket.
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    appDelegate = std::make_unique<AppDelegate>();
    SingleInstance instance(runtime.filePath(QStringLiteral("%1.socket").arg(applicationIdentifier())));
    ASSERT_EQ(instance.start({}), SingleInstance::Start::Primary);
    QObject::connect(&instance, &SingleInstance::urlReceived, appDelegate.get(),
                     [this](const QString& url) { appDelegate->handleURLEvent(url); });

    writeCredentials(QStringLiteral("airlark://soundcloud/callback"));
    browser.followRedirects = false;
    openWindow();
    connect();
    ASSERT_TRUE(browser.waitUntilIdle());
    ASSERT_EQ(browser.lastRedirect()->scheme(), QStringLiteral("airlark"));
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(binaryPath(QStringLiteral("src/app/airlark")),
                 {browser.lastRedirect()->toString(QUrl::FullyEncoded)});
    ASSERT_TRUE(waitForLabel(QStringLiteral("Connected")));
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(appDelegate->pendingAuthenticationSoundCloudAPIClient(), pendingClients.back());
    EXPECT_TRUE(addEnabled());

    QTest::mouseClick(window->addButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));
    EXPECT_EQ(Account::find(*database, *pane->viewModel().accountID())->host, QStringLiteral("SoundCloud"));
}

TEST_F(SoundCloudPaneTest, ASecondConnectOnTheSameFixedLoopbackPortCompletes)
{
    // A registered redirect URI names one port: the abandoned first sign-in must give it up.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    writeCredentials(QStringLiteral("http://127.0.0.1:%1/soundcloud/callback").arg(port));
    openWindow();
    const size_t before = accountRows(*database).size();
    browser.followRedirects = false; // the user leaves the first tab alone
    connect();
    ASSERT_TRUE(waitForLabel(QStringLiteral("Connecting to SoundCloud…")));
    EXPECT_FALSE(addEnabled());
    ASSERT_TRUE(browser.waitUntilIdle());
    browser.followRedirects = true;
    connect();
    ASSERT_TRUE(waitForLabel(QStringLiteral("Connected")));
    EXPECT_TRUE(addEnabled());
    // Each attempt reserved its row; only the latest client waits, for the latest row.
    const auto rows = accountRows(*database);
    ASSERT_EQ(rows.size(), before + 2);
    EXPECT_EQ(*pane->viewModel().accountID(), rows.back());
    EXPECT_EQ(pane->pendingClient(), pendingClients.back());
}

TEST_F(SoundCloudPaneTest, WithoutAnAppRegistrationConnectSaysWhatIsMissingAndReservesNothing)
{
    QFile::remove(SoundCloudAPIClientCredentials::userFilePath()); // only the shipped placeholders
    const size_t before = accountRows(*database).size();
    openWindow();
    connect();
    ASSERT_TRUE(waitFor([this] { return label().contains(SoundCloudAPIClientCredentials::userFilePath()); }));
    EXPECT_EQ(accountRows(*database).size(), before);
    EXPECT_TRUE(browser.openedURLs().empty());
    EXPECT_FALSE(addEnabled());
}

struct UserDetailsCase
{
    const char* name;
    const char* mode; // of the stand-in's "/me"
    const char* message;
    bool addEnabled;
};

class SoundCloudPaneUserDetailsTest : public SoundCloudPaneTest,
                                      public ::testing::WithParamInterface<UserDetailsCase>
{
};

TEST_P(SoundCloudPaneUserDetailsTest, ShowsWhatTheUserRequestGave)
{
    cloud({{"me", GetParam().mode}});
    openWindow();
    connect();
    ASSERT_TRUE(waitForLabel(QString::fromUtf8(GetParam().message)));
    EXPECT_FALSE(pane->isSpinning());
    EXPECT_EQ(addEnabled(), GetParam().addEnabled);
    EXPECT_EQ(pane->userNameLabel()->text().contains(QStringLiteral("Standin Podcaster")),
              GetParam().addEnabled);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Me, SoundCloudPaneUserDetailsTest, ::testing::Values(
    UserDetailsCase{"NumericUsername", "numeric", "Unable to retrieve this account", false},
    UserDetailsCase{"ErrorStatusWithStringUsername", "error_status", "Connected", true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

TEST_F(SoundCloudPaneTest, AReopenedWindowStartsClearedAndASecondConnectWaitsForItsOwnUser)
{
    openWindow();
    connect();
    ASSERT_TRUE(waitForLabel(QStringLiteral("Connected")));
    ASSERT_TRUE(addEnabled());
    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));

    browser.followRedirects = false;
    openWindow();
    EXPECT_EQ(label(), QString());
    EXPECT_FALSE(addEnabled());
    EXPECT_TRUE(pane->viewModel().canAdvance()); // the state survives; only the next report shows it
    connect();
    ASSERT_TRUE(waitForLabel(QStringLiteral("Connecting to SoundCloud…")));
    EXPECT_FALSE(addEnabled());
    EXPECT_FALSE(pane->viewModel().canAdvance());
}

// The pane's view model reports on the main loop, later, and never once it is gone.
TEST(SoundCloudAuthenticationViewModelTest, ReportsLaterAndNeverForAViewModelThatIsGone)
{
    struct Recorder : SoundCloudAuthenticationViewModelDelegate
    {
        void soundCloudAuthenticationViewModelViewStateDidChange(SoundCloudAuthenticationViewModel&) override
        {
            ++reports;
        }
        int reports = 0;
    } recorder;

    auto doomed = std::make_unique<SoundCloudAuthenticationViewModel>();
    doomed->delegate = &recorder;
    doomed->setAuthenticated(false); // message, spinner, then its own report
    EXPECT_EQ(recorder.reports, 0) << "nothing inline";
    doomed.reset();
    QTest::qWait(50);
    EXPECT_EQ(recorder.reports, 0);
}

} // namespace
} // namespace airlark::test
