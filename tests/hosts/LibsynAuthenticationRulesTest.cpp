#include "hosts/LibsynAuthenticationViewModel.h"

#include <gtest/gtest.h>

namespace airlark {
namespace {

const FTPFailure LoggedIn;
const FTPFailure Refused{FTPFailureKind::LogInRefused, {}, {}, {}};

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
