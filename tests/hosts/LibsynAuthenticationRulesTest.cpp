#include "hosts/LibsynAuthenticationViewModel.h"

#include <gtest/gtest.h>

namespace airlark {
namespace {

TEST(LibsynFeedTypeTest, RawValuesAndStoredFeedTypes)
{
    EXPECT_EQ(rawValue(FeedType::Libsyn), QStringLiteral("Libsyn feed"));
    EXPECT_EQ(rawValue(FeedType::External), QStringLiteral("External feed"));
    EXPECT_EQ(feedTypeFromRawValue(QStringLiteral("Libsyn feed")), FeedType::Libsyn);
    EXPECT_EQ(feedTypeFromRawValue(QStringLiteral("External feed")), FeedType::External);
    for (const auto* text : {"libsyn feed", "External", "", "External feed "})
        EXPECT_EQ(feedTypeFromRawValue(QString::fromLatin1(text)), std::nullopt) << text;
    EXPECT_EQ(libsynAccountFeedType(FeedType::Libsyn), LibsynAccountFeedType::Libsyn);
    EXPECT_EQ(libsynAccountFeedType(FeedType::External), LibsynAccountFeedType::External);

    LibsynAuthenticationViewModel viewModel;
    EXPECT_EQ(viewModel.feedTypes(), (QStringList{QStringLiteral("Libsyn feed"), QStringLiteral("External feed")}));
    EXPECT_EQ(viewModel.selectedFeedType(), FeedType::Libsyn);
    viewModel.selectFeedTypeAtIndex(1);
    EXPECT_EQ(viewModel.selectedFeedType(), FeedType::External);
    viewModel.selectFeedTypeAtIndex(2);
    viewModel.selectFeedTypeAtIndex(-1);
    EXPECT_EQ(viewModel.selectedFeedType(), FeedType::External);
}

const FTPFailure LoggedIn;
const FTPFailure Refused{FTPFailureKind::LogInRefused, {}, {}, {}};

struct SaveCase
{
    const char* name;
    QString email;
    QString username;
    QString password;
    bool loggedIn;
    bool canSave;
};

class LibsynCanSaveTest : public ::testing::TestWithParam<SaveCase>
{
};

void PrintTo(const SaveCase& c, std::ostream* os)
{
    *os << c.name;
}

TEST_P(LibsynCanSaveTest, NeedsALogInAndThreeFilledFields)
{
    const auto& c = GetParam();
    LibsynAuthenticationViewModel viewModel;
    viewModel.setEmail(c.email);
    viewModel.setUsername(c.username);
    viewModel.setPassword(c.password);
    const auto ticket = viewModel.logInStarted();
    EXPECT_TRUE(viewModel.logInCompleted(ticket, c.loggedIn ? FTPFailure{} : Refused));
    EXPECT_EQ(viewModel.canSave(), c.canSave);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LibsynCanSaveTest,
    ::testing::Values(SaveCase{"allFilled", QStringLiteral("a@b.c"), QStringLiteral("show"), QStringLiteral("pw"), true, true},
                      SaveCase{"notLoggedIn", QStringLiteral("a@b.c"), QStringLiteral("show"), QStringLiteral("pw"), false, false},
                      SaveCase{"noEmail", QString(), QStringLiteral("show"), QStringLiteral("pw"), true, false},
                      SaveCase{"noUsername", QStringLiteral("a@b.c"), QString(), QStringLiteral("pw"), true, false},
                      SaveCase{"noPassword", QStringLiteral("a@b.c"), QStringLiteral("show"), QString(), true, false},
                      SaveCase{"combiningMark", QStringLiteral("a@b.c"), QStringLiteral("e\u0301"), QStringLiteral("\u00e9"), true, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// What the real checks cannot show in this process (its one server has a trusted certificate).
TEST(LibsynLogInStatusTest, TLSProblemsNameTheHostAndTheReason)
{
    const struct
    {
        FTPFailureKind kind;
        QString text;
    } cases[] = {
        {FTPFailureKind::CertificateRejected,
         QStringLiteral("Log in failed: the certificate of ftp.example is not valid: unknown issuer")},
        {FTPFailureKind::TLSHandshakeFailed,
         QStringLiteral("Log in failed: no secure connection to ftp.example: unknown issuer")},
        {FTPFailureKind::TLSNotOffered,
         QStringLiteral("Log in failed: ftp.example does not offer an encrypted connection")},
    };
    LibsynAuthenticationViewModel viewModel;
    for (const auto& c : cases) {
        EXPECT_TRUE(viewModel.logInCompleted(
            viewModel.logInStarted(),
            FTPFailure{c.kind, QStringLiteral("ftp.example"), {}, QStringLiteral("unknown issuer")}));
        EXPECT_EQ(viewModel.statusText(), c.text);
        EXPECT_FALSE(viewModel.hasLoggedIn());
    }
}

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
