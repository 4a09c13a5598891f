// The SoundCloud pane driven through its real widgets in the add-account window, against the
// stand-in: a fixed loopback port used twice, a reopened window, what connect shows for each
// answer, and the view model's reports. The sign-in to a saved account is the end-to-end test's.
#include "SoundCloudFixture.h"
#include "hosts/SoundCloudAuthenticationViewModel.h"
#include "hosts/ui/AddPodcastHostViewController.h"
#include "hosts/ui/SoundCloudAuthenticationViewController.h"
#include "store/Account.h"
#include "store/SQLite.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
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
    }

    void openWindow()
    {
        window.reset(); // the panes belong to one window at a time
        window = std::make_unique<AddPodcastHostViewController>([this] { return &otherPane; },
                                                                [this] { return pane.get(); });
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
    std::vector<std::shared_ptr<SoundCloudAPIClient>> pendingClients;
    // The window does not own its panes, and goes first.
    OtherPane otherPane;
    std::unique_ptr<SoundCloudAuthenticationViewController> pane =
        std::make_unique<SoundCloudAuthenticationViewController>(
            [this](std::shared_ptr<RedirectURLHandler> client) {
                pendingClients.push_back(std::dynamic_pointer_cast<SoundCloudAPIClient>(client));
            });
    std::unique_ptr<AddPodcastHostViewController> window;
};

// A registered redirect URI names one port: the abandoned first sign-in must give it up. A window
// opened again starts cleared, and its connect waits for its own user.
TEST_F(SoundCloudPaneTest, ASecondConnectOnTheSameFixedLoopbackPortCompletesAndAReopenedWindowStartsCleared)
{
    QTcpServer probe; // for a free port
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
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

// What connect shows for the application's registration and the stand-in's "/me" answer.
struct ConnectCase
{
    const char* name;
    const char* me;      // how "/me" answers; none: no registration, only the shipped placeholders
    const char* message; // none: one that names the registration file
    bool addEnabled;
    bool addedTwice = false; // the user adds the same SoundCloud user again
};

class SoundCloudPaneConnectTest : public SoundCloudPaneTest, public ::testing::WithParamInterface<ConnectCase>
{
};

TEST_P(SoundCloudPaneConnectTest, ShowsWhatTheSignInGaveAndReservesARowOnlyForASignIn)
{
    const ConnectCase& c = GetParam();
    if (c.me)
        cloud({{"me", c.me}});
    else
        QFile::remove(SoundCloudAPIClientCredentials::userFilePath());
    const size_t before = accountRows(*database).size();
    openWindow();
    connect();
    const QString message =
        c.message ? QString::fromUtf8(c.message) : SoundCloudAPIClientCredentials::userFilePath();
    ASSERT_TRUE(waitFor([&] { return label().contains(message); }, std::chrono::seconds(20)))
        << label().toStdString();
    EXPECT_FALSE(pane->isSpinning());
    EXPECT_EQ(addEnabled(), c.addEnabled);
    EXPECT_EQ(pane->userNameLabel()->text().contains(QStringLiteral("Standin Podcaster")), c.addEnabled);
    EXPECT_EQ(accountRows(*database).size(), before + (c.me ? 1 : 0));
    EXPECT_EQ(browser.openedURLs().size(), c.me ? 1u : 0u);
    if (!c.addedTwice)
        return;
    // The second time renews the first account's sign-in: one row, and the pane says so.
    QString lastTokens;
    for (const bool again : {false, true}) {
        if (again) {
            openWindow();
            connect();
            ASSERT_TRUE(waitForLabel(QStringLiteral("Connected")));
        }
        QTest::mouseClick(window->addButton(), Qt::LeftButton);
        if (again) {
            ASSERT_TRUE(
                waitForLabel(QStringLiteral("Standin Podcaster is already added: its sign-in was renewed")));
            EXPECT_FALSE(addEnabled()) << "nothing is left to add";
        } else {
            ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));
        }
        const auto accounts = Account::selectAll(*database);
        ASSERT_EQ(accounts.size(), 1u);
        EXPECT_EQ(accountRows(*database).size(), before + 1) << "the second sign-in's row went";
        const auto tokens = [&] {
            return storedTokens(QString::number(accounts[0].id)).value_or(QVariantMap());
        };
        ASSERT_TRUE(waitFor([&] { return tokens().contains(QStringLiteral("username")); }));
        EXPECT_NE(tokens().value(QStringLiteral("access_token")).toString(), lastTokens)
            << "the account holds the latest sign-in's tokens";
        lastTokens = tokens().value(QStringLiteral("access_token")).toString();
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Connect, SoundCloudPaneConnectTest, ::testing::Values(
    ConnectCase{"NoAppRegistration", nullptr, nullptr, false},
    ConnectCase{"NumericUsername", "numeric", "Unable to retrieve this account", false},
    ConnectCase{"ErrorStatusWithStringUsername", "error_status", "Connected", true},
    ConnectCase{"SameUserAddedTwice", "username", "Connected", true, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

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
