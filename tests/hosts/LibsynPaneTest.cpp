#include "LibsynPaneFixture.h"
#include "hosts/LibsynAuthenticationViewModel.h"
#include "support/StandardOutputCapture.h"

#include <QAccessible>

namespace airlark {
namespace {

using test::LibsynPaneTest;
using test::LibsynServerEnvironment;

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

const char* const Accepted = "Logged in; show folder found";

struct CheckCase
{
    const char* name;
    const char* password; // none: the right one
    bool folders;
    bool unencrypted;
    bool serverDown;
    const char* status;
    QJsonObject script = {}; // not empty: a scripted server in Libsyn's place plays it
};

class LibsynPaneCheckTest : public LibsynPaneTest, public ::testing::WithParamInterface<CheckCase>
{
};

// The check logs in and finds the show's folder; each way it can fail says what to fix.
TEST_P(LibsynPaneCheckTest, SaysWhatTheCheckFound)
{
    const CheckCase& c = GetParam();
    AddPodcastHostViewController& window = presentLibsyn();
    EXPECT_EQ(window.popUpButton()->nextInFocusChain(), libsynPane_->emailTextField())
        << "host, then the form";
    EXPECT_FALSE(addEnabled());
    EXPECT_FALSE(libsynPane_->unencryptedCheckBox()->isChecked()) << "encrypted unless chosen";
    if (c.unencrypted)
        libsynPane_->unencryptedCheckBox()->click();
    fill(QStringLiteral("show-%1").arg(QLatin1String(c.name)),
         c.password ? QString::fromUtf8(c.password) : LibsynServerEnvironment::Password, c.folders);
    const qsizetype logStart = LibsynServerEnvironment::server().protocolLog().size();
    std::optional<test::FtpTestServer> scripted;
    if (c.serverDown || !c.script.isEmpty())
        LibsynServerEnvironment::stop();
    if (!c.script.isEmpty()) {
        test::FtpTestServer::Options options;
        options.port = LibsynServerEnvironment::server().port();
        options.script = c.script;
        ASSERT_TRUE(scripted.emplace(options).isRunning());
    }
    logIn();
    if (c.serverDown || !c.script.isEmpty()) {
        scripted.reset();
        ASSERT_TRUE(LibsynServerEnvironment::restart());
    }
    const bool accepted = c.status == Accepted;
    EXPECT_EQ(libsynPane_->statusLabel()->text(), QString::fromUtf8(c.status));
    // What the screen (and a screen reader) shows is the text itself, even when it looks like markup.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(libsynPane_->statusLabel())->text(QAccessible::Name),
              QString::fromUtf8(c.status));
    EXPECT_EQ(libsynPane_->viewModel().hasLoggedIn(), accepted);
    EXPECT_EQ(addEnabled(), accepted);
    EXPECT_FALSE(libsynPane_->progressIndicator()->isVisible());
    if (accepted) {
        // The server saw TLS asked for unless the account chose plain FTP.
        EXPECT_EQ(LibsynServerEnvironment::server().protocolLog().mid(logStart).contains("AUTH TLS"),
                  !c.unencrypted);
        test::NotificationCounter changes(Account::availableAccountsDidChangeNotificationName);
        window.addButton()->click();
        ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
        EXPECT_EQ(changes.count(), 1) << "every list of accounts hears of the new one";
        const auto accounts = Account::selectAll(*database);
        ASSERT_EQ(accounts.size(), 1u);
        const auto credential = Account::loadCredential(QStringLiteral("Libsyn"), accounts[0].id);
        ASSERT_TRUE(credential);
        EXPECT_EQ(credential->allowsUnencryptedFTP, c.unencrypted);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Outcomes, LibsynPaneCheckTest, ::testing::Values(
    CheckCase{"accepted", nullptr, true, false, false, Accepted},
    CheckCase{"plain", nullptr, true, true, false, Accepted},
    CheckCase{"wrongPassword", "not the password", true, false, false,
              "Log in failed: Libsyn refused the e-mail address or the FTP password"},
    CheckCase{"noFolder", nullptr, false, false, false,
              "Log in failed: the folder show-noFolder/quickcast does not exist on Libsyn: check the show folder and the feed type"},
    CheckCase{"serverDown", nullptr, true, false, true, "Log in failed: cannot reach 127.0.0.1: check the internet connection"},
    CheckCase{"markupGreeting", nullptr, true, false, false,
              "Log in failed: 127.0.0.1 closed the session (421 <img src=/dev/zero> <b>busy</b>)",
              {{"greeting", "421 <img src=/dev/zero> <b>busy</b>"}}},
    CheckCase{"markupReply", nullptr, true, true, false,
              "Log in failed: 127.0.0.1 closed the session (421 <a href=\"https://example.com/\">Sign in</a>)",
              {{"replies", QJsonObject{{"PASS", "421 <a href=\"https://example.com/\">Sign in</a>"}}}}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

// Checking a saved account again, or adding the same e-mail and show again, replaces its password
// and keeps its row: no second account, and standard output says which happened.
TEST_F(LibsynPaneTest, CheckingAnAccountAgainReplacesItsPasswordInPlace)
{
    const QString folder = QStringLiteral("show-again");
    const qint64 id = Account::createAccount(*database, folder, QStringLiteral("Libsyn"),
                                             LibsynAccountFeedType::Libsyn, LibsynServerEnvironment::Email)
                          ->id;
    for (const bool checkAgain : {true, false}) {
        ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), id, QStringLiteral("old password")));
        AddPodcastHostViewController& window = presentLibsyn();
        if (checkAgain) {
            libsynPane_->recheck(Account::find(*database, id));
            EXPECT_EQ(libsynPane_->emailTextField()->text(), LibsynServerEnvironment::Email);
        }
        fill(folder, LibsynServerEnvironment::Password);
        logIn();
        test::StandardOutputCapture output;
        window.addButton()->click();
        ASSERT_TRUE(test::waitFor([this] { return !window_ || !window_->isVisible(); }));
        EXPECT_EQ(output.release(), QStringList{checkAgain ? QStringLiteral("Check passed")
                                                           : QStringLiteral("show-again is already added: "
                                                                            "its sign-in was renewed")});
        EXPECT_EQ(Account::selectAll(*database).size(), 1u);
        EXPECT_EQ(Account::loadPassword(QStringLiteral("Libsyn"), id), LibsynServerEnvironment::Password);
    }
}

// The view model's side of the check: only a check of the credentials as they stand counts.
const FTPFailure LoggedIn;
const FTPFailure Refused{FTPFailureKind::LogInRefused, {}, {}, {}, -1, {}};

TEST(LibsynLogInTicketTest, OnlyTheLatestCheckForUnchangedCredentialsCounts)
{
    LibsynAuthenticationViewModel viewModel;
    viewModel.setEmail(QStringLiteral("a@b.c"));
    viewModel.setUsername(QStringLiteral("show"));
    viewModel.setPassword(QStringLiteral("pw"));

    const auto first = viewModel.logInStarted();
    const auto second = viewModel.logInStarted();
    EXPECT_FALSE(viewModel.logInCompleted(first, LoggedIn)) << "an earlier check is overtaken by a later one";
    EXPECT_FALSE(viewModel.hasLoggedIn());
    EXPECT_TRUE(viewModel.isCheckingLogIn());
    EXPECT_TRUE(viewModel.logInCompleted(second, LoggedIn));
    EXPECT_TRUE(viewModel.canSave());
    viewModel.setEmail(QStringLiteral("b@b.c"));
    EXPECT_FALSE(viewModel.canSave()) << "the e-mail is the log-in name";
    EXPECT_TRUE(viewModel.logInCompleted(viewModel.logInStarted(), Refused));
    viewModel.setUsername(QStringLiteral("show2"));
    EXPECT_EQ(viewModel.statusText(), std::nullopt) << "an edit clears the last check's message";
    viewModel.setUsername(QStringLiteral("show"));

    const auto third = viewModel.logInStarted();
    viewModel.setPassword(QStringLiteral("pw2"));
    EXPECT_FALSE(viewModel.isCheckingLogIn());
    EXPECT_FALSE(viewModel.logInCompleted(third, LoggedIn));
    EXPECT_FALSE(viewModel.canSave());

    // An unchanged value is no edit; the feed type and the encryption choice are, since the check
    // enters the feed type's folder over the chosen connection.
    const auto fourth = viewModel.logInStarted();
    EXPECT_TRUE(viewModel.logInCompleted(fourth, LoggedIn));
    viewModel.setUsername(QStringLiteral("show"));
    EXPECT_TRUE(viewModel.canSave());
    viewModel.selectFeedTypeAtIndex(1);
    EXPECT_FALSE(viewModel.canSave());
    EXPECT_TRUE(viewModel.logInCompleted(viewModel.logInStarted(), LoggedIn));
    viewModel.setAllowsUnencryptedFTP(true);
    EXPECT_FALSE(viewModel.canSave());
}

} // namespace
} // namespace airlark
