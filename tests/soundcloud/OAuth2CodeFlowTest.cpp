// The sign-in and token handling of the SoundCloud client against the local stand-in: PKCE,
// state checks, the loopback listener, token exchange, refresh and the credential store.
#include "hosts/OAuth2CodeFlow.h"

#include "SoundCloudFixture.h"
#include "store/CredentialStore.h"
#include "store/Database.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>
#include <QUrlQuery>

namespace airlark::test {
namespace {

QString queryValue(const QUrl& url, const char* name)
{
    return QUrlQuery(url).queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

OAuth2SigningResult sign(SoundCloudAPIClient& client, const QUrl& url)
{
    std::optional<OAuth2SigningResult> result;
    client.signedRequest(url, [&](const OAuth2SigningResult& r) { result = r; });
    EXPECT_TRUE(waitFor([&] { return result.has_value(); }));
    return result.value_or(OAuth2SigningResult{});
}

using OAuth2CodeFlowTest = SoundCloudTest;

TEST_F(OAuth2CodeFlowTest, LoopbackSignInExchangesTheCodeWithItsVerifierAndKeepsTheTokens)
{
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("11"))};
    client.authenticate();
    ASSERT_TRUE(waitFor([&] { return notifications.authorized() + notifications.failed() > 0; }));
    EXPECT_EQ(notifications.authorized(), 1);
    EXPECT_EQ(notifications.failed(), 0);
    EXPECT_EQ(notifications.lastSender(), &client);

    // The authorize page was asked for a code with PKCE S256, the loopback URI with its real port,
    // a fresh state and no scope.
    ASSERT_EQ(browser.openedURLs().size(), 1u);
    const QUrl authorize = browser.openedURLs().front();
    EXPECT_EQ(authorize.path(), QStringLiteral("/authorize"));
    EXPECT_EQ(queryValue(authorize, "client_id"), SoundCloudStandIn::ClientID);
    EXPECT_EQ(queryValue(authorize, "response_type"), QStringLiteral("code"));
    EXPECT_EQ(queryValue(authorize, "code_challenge_method"), QStringLiteral("S256"));
    EXPECT_FALSE(QUrlQuery(authorize).hasQueryItem(QStringLiteral("scope")));
    EXPECT_GE(queryValue(authorize, "state").size(), 32);
    const QUrl redirectURI(queryValue(authorize, "redirect_uri"));
    EXPECT_EQ(redirectURI.host(), QStringLiteral("127.0.0.1"));
    EXPECT_GT(redirectURI.port(), 0);
    EXPECT_EQ(redirectURI.path(), QStringLiteral("/soundcloud/callback"));

    // The code went back with the verifier whose S256 is the challenge, and the client secret.
    const auto tokenRequests = standIn.tokenRequests();
    ASSERT_EQ(tokenRequests.size(), 1u);
    const QUrlQuery& exchange = tokenRequests.front();
    EXPECT_EQ(exchange.queryItemValue(QStringLiteral("grant_type")), QStringLiteral("authorization_code"));
    EXPECT_EQ(exchange.queryItemValue(QStringLiteral("client_secret")), SoundCloudStandIn::ClientSecret);
    EXPECT_EQ(exchange.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded),
              redirectURI.toString());
    const QByteArray verifier = exchange.queryItemValue(QStringLiteral("code_verifier")).toLatin1();
    EXPECT_GE(verifier.size(), 43);
    EXPECT_LE(verifier.size(), 128);
    const QByteArray challenge =
        QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    EXPECT_EQ(QString::fromLatin1(challenge), queryValue(authorize, "code_challenge"));
    EXPECT_EQ(standIn.authorizationCodeExchanges(), 1);

    // The browser's tab was told it can be closed.
    EXPECT_TRUE(browser.lastPage().startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(browser.lastPage().contains("You can close this tab"));

    // A new client for the same account finds the tokens and signs with "OAuth <token>".
    const auto stored = storedTokens(QStringLiteral("11"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->value(QStringLiteral("refresh_token")).toString(), standIn.currentRefreshToken());
    SoundCloudAPIClient later{SoundCloudAPIClientCredentials(QStringLiteral("11"))};
    const OAuth2SigningResult signing = sign(later, later.apiURL(QStringLiteral("/me")));
    ASSERT_TRUE(signing.request.has_value());
    EXPECT_EQ(signing.request->authorization, "OAuth " + standIn.currentAccessToken().toLatin1());
}

TEST_F(OAuth2CodeFlowTest, TokensNeverReachTheDatabaseFile)
{
    ASSERT_TRUE(signIn(QStringLiteral("12")));
    const auto database = Database::open();
    ASSERT_TRUE(database.has_value());
    QFile file(database->url().toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains(standIn.currentAccessToken().toLatin1()));
    EXPECT_FALSE(bytes.contains(standIn.currentRefreshToken().toLatin1()));
    EXPECT_FALSE(bytes.contains(SoundCloudStandIn::ClientSecret.toLatin1()));
}

// Redirects that must fail the sign-in without any code being exchanged.
struct RefusedRedirect
{
    const char* name;
    SoundCloudStandIn::AuthorizeMode mode;
};

void PrintTo(const RefusedRedirect& value, std::ostream* os)
{
    *os << value.name;
}

class RefusedRedirectTest : public SoundCloudTest, public ::testing::WithParamInterface<RefusedRedirect>
{
};

TEST_P(RefusedRedirectTest, FailsTheSignInAndExchangesNothing)
{
    standIn.setAuthorizeMode(GetParam().mode);
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("13"))};
    client.authenticate();
    ASSERT_TRUE(waitFor([&] { return notifications.failed() > 0; }));
    EXPECT_EQ(notifications.authorized(), 0);
    EXPECT_TRUE(standIn.tokenRequests().empty());
    EXPECT_FALSE(storedTokens(QStringLiteral("13")).has_value());
    EXPECT_FALSE(client.oAuth2().isAuthorizing());
}

INSTANTIATE_TEST_SUITE_P(
    Redirects, RefusedRedirectTest,
    ::testing::Values(RefusedRedirect{"WrongState", SoundCloudStandIn::AuthorizeMode::WrongState},
                      RefusedRedirect{"ErrorParameter", SoundCloudStandIn::AuthorizeMode::Deny}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(OAuth2CodeFlowTest, AVerifierThatDoesNotMatchTheChallengeIsRefused)
{
    writeCredentials(QStringLiteral("airlark://soundcloud/callback"));
    browser.delivery = TestBrowser::Delivery::Keep;
    SignInNotifications notifications;
    SoundCloudAPIClient first{SoundCloudAPIClientCredentials(QStringLiteral("14"))};
    SoundCloudAPIClient second{SoundCloudAPIClientCredentials(QStringLiteral("14"))};
    first.authenticate();
    ASSERT_TRUE(browser.waitUntilIdle());
    const QUrl firstRedirect = *browser.lastRedirect();
    second.authenticate();
    ASSERT_TRUE(browser.waitUntilIdle());
    const QUrl secondRedirect = *browser.lastRedirect();

    // The second sign-in's state with the first sign-in's code: the state passes, but the code
    // was issued for the first challenge, so the second verifier does not match it.
    QUrlQuery crossed;
    crossed.addQueryItem(QStringLiteral("code"), queryValue(firstRedirect, "code"));
    crossed.addQueryItem(QStringLiteral("state"), queryValue(secondRedirect, "state"));
    QUrl redirect(QStringLiteral("airlark://soundcloud/callback"));
    redirect.setQuery(crossed);
    second.handleRedirectURL(redirect);

    ASSERT_TRUE(waitFor([&] { return notifications.failed() > 0; }));
    EXPECT_EQ(notifications.authorized(), 0);
    EXPECT_EQ(standIn.tokenRequests().size(), 1u);
    EXPECT_EQ(standIn.authorizationCodeExchanges(), 0);
    EXPECT_FALSE(storedTokens(QStringLiteral("14")).has_value());
}

TEST_F(OAuth2CodeFlowTest, ATokenEndpointErrorFailsTheSignIn)
{
    standIn.setTokenMode(SoundCloudStandIn::TokenMode::ServerError);
    EXPECT_FALSE(signIn(QStringLiteral("15")));
    EXPECT_EQ(standIn.tokenRequests().size(), 1u);
    EXPECT_FALSE(storedTokens(QStringLiteral("15")).has_value());
}

TEST_F(OAuth2CodeFlowTest, ARedirectWithoutAPendingSignInIsIgnored)
{
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("16"))};
    client.handleRedirectURL(QUrl(QStringLiteral("airlark://soundcloud/callback?code=x&state=y")));
    QTest::qWait(100);
    EXPECT_EQ(notifications.authorized() + notifications.failed(), 0);
    EXPECT_TRUE(standIn.tokenRequests().empty());
}

TEST_F(OAuth2CodeFlowTest, AnExpiredAccessTokenIsRefreshedOnceAndTheRotatedRefreshTokenStored)
{
    standIn.setAccessTokenLifetime(30); // inside the client's one-minute margin: expired at once
    ASSERT_TRUE(signIn(QStringLiteral("17")));
    const QString firstRefreshToken = standIn.currentRefreshToken();

    // Two clients of the same account sign at once: one refresh serves both.
    SoundCloudAPIClient a{SoundCloudAPIClientCredentials(QStringLiteral("17"))};
    SoundCloudAPIClient b{SoundCloudAPIClientCredentials(QStringLiteral("17"))};
    std::vector<OAuth2SigningResult> results;
    a.signedRequest(a.apiURL(QStringLiteral("/me")),
                    [&](const OAuth2SigningResult& r) { results.push_back(r); });
    b.signedRequest(b.apiURL(QStringLiteral("/tracks")),
                    [&](const OAuth2SigningResult& r) { results.push_back(r); });
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }));

    EXPECT_EQ(standIn.refreshes(), 1);
    EXPECT_EQ(standIn.refusedRefreshes(), 0);
    const QByteArray expected = "OAuth " + standIn.currentAccessToken().toLatin1();
    for (const auto& result : results) {
        ASSERT_TRUE(result.request.has_value());
        EXPECT_EQ(result.request->authorization, expected);
    }
    EXPECT_NE(standIn.currentRefreshToken(), firstRefreshToken);
    const auto stored = storedTokens(QStringLiteral("17"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->value(QStringLiteral("refresh_token")).toString(), standIn.currentRefreshToken());
}

TEST_F(OAuth2CodeFlowTest, AReusedRefreshTokenFailsCleanlyAndMarksTheAccount)
{
    standIn.setAccessTokenLifetime(30);
    ASSERT_TRUE(signIn(QStringLiteral("18")));
    const QVariantMap original = *storedTokens(QStringLiteral("18"));
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("18"))};
    ASSERT_TRUE(sign(client, client.apiURL(QStringLiteral("/me"))).request.has_value());
    ASSERT_EQ(standIn.refreshes(), 1);

    // Put the used refresh token back, as a stale copy would: the server refuses it.
    ASSERT_FALSE(
        CredentialStore::updateData(original, QStringLiteral("18"),
                                    SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())));
    const OAuth2SigningResult refused = sign(client, client.apiURL(QStringLiteral("/me")));
    EXPECT_FALSE(refused.request.has_value());
    EXPECT_EQ(refused.error, OAuth2SigningError::NeedsNewSignIn);
    EXPECT_EQ(standIn.refusedRefreshes(), 1);
    EXPECT_FALSE(client.oAuth2().hasTokens());

    // From then on nothing is sent until the account is signed in again.
    const OAuth2SigningResult again = sign(client, client.apiURL(QStringLiteral("/me")));
    EXPECT_EQ(again.error, OAuth2SigningError::NeedsNewSignIn);
    EXPECT_EQ(standIn.refusedRefreshes(), 1);
    EXPECT_EQ(standIn.tokenRequests().size(), 3u);
}

TEST_F(OAuth2CodeFlowTest, SigningWithoutTokensSaysSo)
{
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("19"))};
    const OAuth2SigningResult result = sign(client, client.apiURL(QStringLiteral("/me")));
    EXPECT_FALSE(result.request.has_value());
    EXPECT_EQ(result.error, OAuth2SigningError::NotSignedIn);
}

TEST_F(OAuth2CodeFlowTest, MeReturnsTheUsernameOnlyWhenItIsAString)
{
    ASSERT_TRUE(signIn(QStringLiteral("20")));
    auto me = [] {
        std::optional<std::optional<QString>> result;
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("20"))};
        client.me([&](const std::optional<QString>& username) { result = username; });
        EXPECT_TRUE(waitFor([&] { return result.has_value(); }));
        return result.value_or(std::nullopt);
    };
    standIn.setUsername(QStringLiteral("Ada Lovelace"));
    EXPECT_EQ(me(), QStringLiteral("Ada Lovelace"));
    standIn.setMeMode(SoundCloudStandIn::MeMode::NumericUsername);
    EXPECT_EQ(me(), std::nullopt);
    standIn.setMeMode(SoundCloudStandIn::MeMode::ErrorStatusWithUsername);
    EXPECT_EQ(me(), QStringLiteral("Ada Lovelace"));
    standIn.setMeMode(SoundCloudStandIn::MeMode::ServerError);
    EXPECT_EQ(me(), std::nullopt);

    // "/me" carries client_id and the exact header.
    const auto requests = standIn.server().requests();
    const auto meRequest = std::find_if(requests.begin(), requests.end(),
                                        [](const auto& r) { return r.path == QStringLiteral("/me"); });
    ASSERT_NE(meRequest, requests.end());
    EXPECT_EQ(meRequest->query.queryItemValue(QStringLiteral("client_id")), SoundCloudStandIn::ClientID);
    EXPECT_EQ(meRequest->header("Authorization"), "OAuth " + standIn.currentAccessToken().toLatin1());
}

} // namespace
} // namespace airlark::test
