#include "LibsynPaneFixture.h"

#include "hosts/LibsynHelpPage.h"
#include "hosts/ui/SelectPodcastHostViewController.h"
#include "platform/NotificationCenter.h"
#include "store/Database.h"

#include <QFile>
#include <QTableView>

namespace airlark {
namespace {

using test::LibsynPaneTest;
using test::LibsynServerEnvironment;

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

struct CheckCase
{
    const char* name;
    QString password;
    bool folders;
    bool unencrypted;
    bool serverDown;
    QString status;
};

void PrintTo(const CheckCase& c, std::ostream* out)
{
    *out << c.name;
}

class LibsynPaneCheckTest : public LibsynPaneTest, public ::testing::WithParamInterface<CheckCase>
{
};

// The check logs in and finds the show's folder; each way it can fail says what to fix.
TEST_P(LibsynPaneCheckTest, SaysWhatTheCheckFound)
{
    const CheckCase& c = GetParam();
    auto* window = presentWindow();
    chooseLibsyn(*window);
    EXPECT_FALSE(addEnabled());
    EXPECT_FALSE(libsynPane_->unencryptedCheckBox()->isChecked()) << "encrypted unless chosen";
    if (c.unencrypted)
        libsynPane_->unencryptedCheckBox()->click();
    fill(LibsynServerEnvironment::Email, QStringLiteral("show-%1").arg(QLatin1String(c.name)),
         c.password.isEmpty() ? LibsynServerEnvironment::Password : c.password, c.folders);
    const qsizetype logStart = LibsynServerEnvironment::server().protocolLog().size();
    if (c.serverDown)
        LibsynServerEnvironment::stop();
    logIn();
    if (c.serverDown) {
        ASSERT_TRUE(LibsynServerEnvironment::restart());
    }
    const bool accepted = c.status == QStringLiteral("Logged in; show folder found");
    EXPECT_EQ(status(), c.status);
    EXPECT_EQ(libsynPane_->viewModel().hasLoggedIn(), accepted);
    EXPECT_EQ(addEnabled(), accepted);
    EXPECT_FALSE(libsynPane_->progressIndicator()->isVisible());
    if (accepted) {
        // The server saw TLS asked for unless the account chose plain FTP.
        EXPECT_EQ(LibsynServerEnvironment::server().protocolLog().mid(logStart).contains("AUTH TLS"),
                  !c.unencrypted);
        window->addButton()->click();
        ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
        const auto accounts = Account::selectAll(database());
        ASSERT_EQ(accounts.size(), 1u);
        const auto credential = Account::loadCredential(QStringLiteral("Libsyn"), accounts[0].id);
        ASSERT_TRUE(credential);
        EXPECT_EQ(credential->allowsUnencryptedFTP, c.unencrypted);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LibsynPaneCheckTest,
    ::testing::Values(
        CheckCase{"accepted", {}, true, false, false, QStringLiteral("Logged in; show folder found")},
        CheckCase{"plain", {}, true, true, false, QStringLiteral("Logged in; show folder found")},
        CheckCase{"wrongPassword", QStringLiteral("not the password"), true, false, false,
                  QStringLiteral("Log in failed: Libsyn refused the e-mail address or the FTP password")},
        CheckCase{"noFolder",
                  {},
                  false,
                  false,
                  false,
                  QStringLiteral(
                      "Log in failed: the folder show-noFolder/quickcast does not exist on Libsyn: check "
                      "the show folder and the feed type")},
        CheckCase{"serverDown",
                  {},
                  true,
                  false,
                  true,
                  QStringLiteral("Log in failed: cannot reach 127.0.0.1: check the internet connection")}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(LibsynPaneTest, AddSavesTheAccountAndItsPasswordAndListsIt)
{
    // Step 3 is on screen while the account is added.
    SelectPodcastHostViewController hostSelection({});
    ASSERT_EQ(hostSelection.tableView()->model()->rowCount(), 0);
    test::AccountChangeCounter changes;

    auto* window = presentWindow();
    chooseLibsyn(*window);
    QComboBox* feedType = libsynPane_->feedTypePopUpButton();
    ASSERT_EQ(feedType->itemText(0), QStringLiteral("Libsyn feed"));
    ASSERT_EQ(feedType->itemText(1), QStringLiteral("External feed"));
    feedType->setFocus();
    QTest::keyClick(feedType, Qt::Key_Down);
    ASSERT_EQ(libsynPane_->viewModel().selectedFeedType(), FeedType::External);

    fill(LibsynServerEnvironment::Email, QStringLiteral("my show"), LibsynServerEnvironment::Password);
    logIn();
    ASSERT_TRUE(addEnabled());
    window->addButton()->click();

    ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
    const auto accounts = Account::selectAll(database());
    ASSERT_EQ(accounts.size(), 1u);
    const auto saved = Account::find(database(), accounts[0].id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->displayName, QStringLiteral("my show"));
    EXPECT_EQ(saved->host, QStringLiteral("Libsyn"));
    EXPECT_EQ(saved->feedType, LibsynAccountFeedType::External);
    EXPECT_EQ(saved->email, LibsynServerEnvironment::Email);
    EXPECT_EQ(Account::loadPassword(QStringLiteral("Libsyn"), saved->id), LibsynServerEnvironment::Password);
    EXPECT_EQ(changes.count(), 1);

    ASSERT_EQ(hostSelection.tableView()->model()->rowCount(), 1);
    const auto index = hostSelection.tableView()->model()->index(0, 0);
    EXPECT_EQ(index.data().toString(), QStringLiteral("my show—Libsyn"));

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window_) << "the closed window goes away";
    EXPECT_EQ(libsynPane_->parentWidget(), nullptr) << "the shared pane is given back";
}

// The pane is shared, the windows are not: Add must reach the pane in every window it is shown in.
TEST_F(LibsynPaneTest, AddReachesThePaneInEveryWindow)
{
    auto* first = presentWindow();
    chooseLibsyn(*first);
    fill(LibsynServerEnvironment::Email, QStringLiteral("first"), LibsynServerEnvironment::Password);
    first->cancelButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(window_);
    EXPECT_TRUE(Account::selectAll(database()).empty()) << "Cancel saves nothing";

    auto* second = presentWindow();
    EXPECT_NE(second->currentChildViewController(), libsynPane_.get()) << "a window opens on the SoundCloud pane";
    chooseLibsyn(*second);
    EXPECT_EQ(libsynPane_->usernameTextField()->text(), QStringLiteral("first")) << "the pane keeps its fields";
    logIn();
    ASSERT_TRUE(addEnabled());
    second->addButton()->click();
    ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
    EXPECT_EQ(Account::selectAll(database()).size(), 1u);
}

TEST_F(LibsynPaneTest, HelpButtonOpensTheLibsynFeedPage)
{
    QList<QUrl> opened;
    const auto previous = LibsynHelpPage::setOpener([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    auto* window = presentWindow();
    chooseLibsyn(*window);
    libsynPane_->helpButton()->click();
    LibsynHelpPage::setOpener(previous);

    ASSERT_EQ(opened.size(), 1);
    ASSERT_TRUE(opened[0].isLocalFile());
    EXPECT_EQ(opened[0].fileName(), QStringLiteral("libsyn-vs-external.html"));
    QFile page(opened[0].toLocalFile());
    QFile builtIn(LibsynHelpPage::ResourcePath);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    ASSERT_TRUE(builtIn.open(QIODevice::ReadOnly));
    const QByteArray text = page.readAll();
    EXPECT_EQ(text, builtIn.readAll());
    EXPECT_TRUE(text.contains("quickcast"));
    EXPECT_TRUE(text.contains("External feed"));
}

} // namespace
} // namespace airlark
