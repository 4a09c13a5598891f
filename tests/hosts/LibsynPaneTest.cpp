#include "LibsynPaneFixture.h"
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
    EXPECT_EQ(window->popUpButton()->nextInFocusChain(), libsynPane_->emailTextField())
        << "host, then the form";
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
        test::AccountChangeCounter changes;
        window->addButton()->click();
        ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
        EXPECT_EQ(changes.count(), 1) << "every list of accounts hears of the new one";
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

// Checking a saved account again replaces its password and keeps its row: no second account.
TEST_F(LibsynPaneTest, CheckingAnAccountAgainReplacesItsPasswordInPlace)
{
    const QString folder = QStringLiteral("show-again");
    const qint64 id = addAccount(folder, QStringLiteral("Libsyn"), LibsynAccountFeedType::Libsyn,
                                 LibsynServerEnvironment::Email);
    ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), id, QStringLiteral("old password")));
    auto* window = presentWindow();
    chooseLibsyn(*window);
    libsynPane_->recheck(Account::find(database(), id));
    EXPECT_EQ(libsynPane_->emailTextField()->text(), LibsynServerEnvironment::Email);
    fill(LibsynServerEnvironment::Email, folder, LibsynServerEnvironment::Password);
    logIn();
    window->addButton()->click();
    ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
    EXPECT_EQ(Account::selectAll(database()).size(), 1u);
    EXPECT_EQ(Account::loadPassword(QStringLiteral("Libsyn"), id), LibsynServerEnvironment::Password);
}

} // namespace
} // namespace airlark
