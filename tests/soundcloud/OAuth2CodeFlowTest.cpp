// The sign-in and token handling of the SoundCloud client against the stand-in: PKCE, the loopback
// listener and what it lets other pages do, a redirect handed back as an "airlark:" URL, a busy
// redirect port, token exchange, the single refresh, a redirected token endpoint, and secrets kept
// out of standard output and the log. The form SoundCloud receives is the end-to-end test's.
#include "hosts/OAuth2CodeFlow.h"

#include "SoundCloudFixture.h"
#include "hosts/LoopbackRedirectListener.h"
#include "publish/SoundCloudTrackUpload.h"
#include "publish/UploadPodcastViewModel.h"
#include "store/Database.h"
#include "support/LogCapture.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <list>

namespace airlark::test {
namespace {

QString queryValue(const QUrl& url, const char* name)
{
    return QUrlQuery(url).queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

using OAuth2CodeFlowTest = SoundCloudTest;

// Through the loopback listener, or with the redirect handed back as an "airlark:" URL (by a second
// `airlark` process, which the application tests show).
class SignInTest : public SoundCloudTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(SignInTest, ExchangesTheCodeWithItsVerifierAndKeepsTheTokensInTheKeyringOnly)
{
    const bool viaScheme = GetParam();
    if (viaScheme)
        writeCredentials(QStringLiteral("airlark://soundcloud/callback"));
    browser.followRedirects = !viaScheme;
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("11"))};
    // A redirect that no sign-in waits for is ignored.
    client.handleRedirectURL(QUrl(QStringLiteral("airlark://soundcloud/callback?code=x&state=y")));
    client.authenticate();
    if (viaScheme) {
        ASSERT_TRUE(browser.waitUntilIdle());
        ASSERT_EQ(browser.lastRedirect()->scheme(), QStringLiteral("airlark"));
        client.handleRedirectURL(*browser.lastRedirect());
    }
    ASSERT_TRUE(waitFor([&] { return notifications.authorized.count() + notifications.failed.count() > 0; }));
    EXPECT_EQ(notifications.authorized.count(), 1);

    // The stand-in gave the tokens only for PKCE S256 with the matching verifier, the client
    // secret and the same redirect URI; a fresh state, no scope and the verifier's size are ours.
    ASSERT_EQ(browser.openedURLs().size(), 1u);
    const QUrl authorize = browser.openedURLs().front();
    EXPECT_FALSE(QUrlQuery(authorize).hasQueryItem(QStringLiteral("scope")));
    EXPECT_GE(queryValue(authorize, "state").size(), 32);
    const QJsonObject state = cloud();
    const QJsonArray exchanges = state.value(QStringLiteral("token_requests")).toArray();
    ASSERT_EQ(exchanges.size(), 1) << "only the redirect of the sign-in was exchanged";
    const QByteArray verifier = exchanges.first()[QStringLiteral("code_verifier")].toString().toLatin1();
    EXPECT_TRUE(verifier.size() >= 43 && verifier.size() <= 128) << verifier.size();
    // The page opened in the browser, and so the command line that opens it, holds no secret.
    EXPECT_FALSE(authorize.toString().contains(state.value(QStringLiteral("client_secret")).toString()));
    EXPECT_FALSE(authorize.toString().contains(QString::fromLatin1(verifier)));

    // The tokens are in the keyring, not in the database file.
    EXPECT_EQ(
        storedTokens(QStringLiteral("11")).value_or(QVariantMap()).value(QStringLiteral("refresh_token")),
        state.value(QStringLiteral("refresh_token")).toString());
    const QByteArray database = readFile(Database::open()->url().toLocalFile());
    for (const char* secret : {"access_token", "refresh_token", "client_secret"})
        EXPECT_FALSE(database.contains(state.value(QLatin1String(secret)).toString().toLatin1())) << secret;
    if (viaScheme)
        return;

    // Each sign-in makes its own verifier.
    ASSERT_TRUE(signIn(QStringLiteral("11")));
    EXPECT_NE(
        cloud().value(QStringLiteral("token_requests")).toArray().last()[QStringLiteral("code_verifier")],
        exchanges.first()[QStringLiteral("code_verifier")]);
}

INSTANTIATE_TEST_SUITE_P(Redirects, SignInTest, ::testing::Bool(),
                         [](const auto& testInfo) { return testInfo.param ? "AirlarkURL" : "Loopback"; });

// What reaches the loopback listener while a sign-in waits, from any page in the browser.
struct ListenerCase
{
    const char* label;
    // Path and query sent instead of the real redirect, where "{path}", "{code}" and "{state}"
    // stand for the real one's.
    const char* request;
    // None: `request` goes as it is on a connection of its own (nothing: an idle connection).
    QByteArray method;
    int times;
    int status;             // the listener's answer (0 on a connection of its own: it hangs up first)
    bool endsSignIn;        // else the real redirect still completes it
    bool viaScheme = false; // delivered as an "airlark:" URL instead
    std::chrono::milliseconds timeLimit = std::chrono::minutes(10);
    const char* redirectURI = nullptr; // the registered one, else the fixture's on 127.0.0.1
};

class ListenerTest : public SoundCloudTest, public ::testing::WithParamInterface<ListenerCase>
{
protected:
    void TearDown() override
    {
        OAuth2CodeFlow::setSignInTimeLimit(std::chrono::minutes(10));
        SoundCloudTest::TearDown();
    }
};

TEST_P(ListenerTest, OnlyTheRedirectOfThisSignInEndsIt)
{
    const ListenerCase& c = GetParam();
    OAuth2CodeFlow::setSignInTimeLimit(c.timeLimit);
    if (c.redirectURI)
        writeCredentials(QString::fromLatin1(c.redirectURI));
    browser.followRedirects = false;
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("13"))};
    client.authenticate();
    ASSERT_TRUE(browser.waitUntilIdle());
    const QUrl real = *browser.lastRedirect();
    const QUrl sent = real.resolved(QUrl(QString::fromLatin1(c.request)
                                             .replace(QStringLiteral("{path}"), real.path())
                                             .replace(QStringLiteral("{code}"), queryValue(real, "code"))
                                             .replace(QStringLiteral("{state}"), queryValue(real, "state"))));

    std::list<QTcpSocket> idle;
    for (int attempt = 0; attempt < c.times; ++attempt) {
        if (c.method.isEmpty()) {
            QTcpSocket& own = idle.emplace_back();
            own.connectToHost(QHostAddress(real.host()), static_cast<quint16>(real.port()));
            const QByteArray bytes = QByteArray(c.request).replace("{path}", real.path().toUtf8());
            if (bytes.isEmpty())
                continue;
            ASSERT_TRUE(own.waitForConnected(5000));
            own.write(bytes);
            if (c.status == 0) {
                own.disconnectFromHost();
                continue;
            }
            EXPECT_TRUE(waitFor([&] { return own.state() == QAbstractSocket::UnconnectedState; }));
            EXPECT_EQ(own.readAll().mid(9, 3).toInt(), c.status) << "the answer's status";
            continue;
        }
        if (c.viaScheme) {
            client.handleRedirectURL(QUrl(QStringLiteral("airlark://soundcloud/callback?") + sent.query()));
            continue;
        }
        const auto [status, page] = browser.fetch(sent, c.method);
        EXPECT_EQ(status, c.status) << attempt;
        EXPECT_EQ(page.contains("You can close this tab"), c.status == 200)
            << "only the sign-in's own redirect";
    }
    // Idle connections stay open while the real redirect arrives: it takes the place of the oldest.
    if (c.endsSignIn) {
        ASSERT_TRUE(waitFor([&] { return notifications.failed.count() > 0; }));
        EXPECT_EQ(browser.fetch(real).first, 0) << "the listener still answers";
    } else {
        EXPECT_EQ(notifications.failed.count(), 0);
        EXPECT_TRUE(client.oAuth2().isAuthorizing());
        const auto [status, page] = browser.fetch(real);
        EXPECT_EQ(status, 200);
        EXPECT_TRUE(page.contains("You can close this tab"));
        ASSERT_TRUE(waitFor([&] { return notifications.authorized.count() > 0; }));
    }
    const auto withinTheCap = [&] {
        const auto closed =
            std::ranges::count(idle, QAbstractSocket::UnconnectedState, &QAbstractSocket::state);
        return std::ssize(idle) - closed <= LoopbackRedirectListener::MaximumConnections;
    };
    EXPECT_TRUE(waitFor(withinTheCap, std::chrono::seconds(5))) << "the listener closes idle connections";
    EXPECT_EQ(cloud().value(QStringLiteral("exchanges")).toInt(), c.endsSignIn ? 0 : 1);
}

const char* const Forged = "{path}?code={code}&state=forged";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, ListenerTest, ::testing::Values(
    ListenerCase{"MissingCode", "{path}?state={state}", "GET", 1, 400, false},
    ListenerCase{"WrongMethod", "{path}?code={code}&state={state}", "POST", 3, 405, false},
    ListenerCase{"WrongPath", "/favicon.ico?code={code}&state={state}", "GET", 8, 404, false},
    ListenerCase{"RealRedirectAfterBadOnes", Forged, "GET", 10, 400, false},
    ListenerCase{"BadStatesByScheme", Forged, "GET", 10, 0, false, true},
    ListenerCase{"DeniedWithItsState", "{path}?error=access_denied&state={state}", "GET", 1, 200, true},
    ListenerCase{"TimeLimitPassed", Forged, "GET", 0, 0, true, false, std::chrono::milliseconds(300)},
    ListenerCase{"IdleConnectionsBeyondTheCap", "", "", LoopbackRedirectListener::MaximumConnections + 4, 0, false},
    ListenerCase{"MalformedRequests", "GET {path}\r\n\r\n", "", 2, 400, false},
    ListenerCase{"PeersHangingUpMidRequest", "GET {path}?code=", "", 3, 0, false},
    ListenerCase{"OnIPv6Loopback", Forged, "GET", 2, 400, false, false, std::chrono::minutes(10), "http://[::1]:0/soundcloud/callback"}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });
// clang-format on

TEST_F(OAuth2CodeFlowTest, ABusyRedirectPortFailsTheSignInWithoutOpeningTheBrowser)
{
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    writeCredentials(QStringLiteral("http://127.0.0.1:%1/soundcloud/callback").arg(occupant.serverPort()));
    EXPECT_FALSE(signIn(QStringLiteral("40")));
    EXPECT_TRUE(browser.openedURLs().empty());
}

TEST_F(OAuth2CodeFlowTest, AnExpiredAccessTokenIsRefreshedOnceAndTheRotatedRefreshTokenStored)
{
    cloud({{"lifetime", 30}}); // inside the client's one-minute margin: expired at once
    ASSERT_TRUE(signIn(QStringLiteral("17")));

    // Two clients of the same account sign at once, one of them after a 401: one refresh serves both.
    SoundCloudAPIClient a{SoundCloudAPIClientCredentials(QStringLiteral("17"))};
    SoundCloudAPIClient b{SoundCloudAPIClientCredentials(QStringLiteral("17"))};
    std::vector<OAuth2SigningResult> results;
    a.signer().sign(a.apiURL(QStringLiteral("/me")),
                    [&](const OAuth2SigningResult& r) { results.push_back(r); });
    b.signer().renew({b.apiURL(QStringLiteral("/tracks")), "OAuth stale"},
                     [&](const OAuth2SigningResult& r) { results.push_back(r); });
    ASSERT_TRUE(waitFor([&] { return results.size() == 2; }));

    const QJsonObject state = cloud();
    EXPECT_EQ(state.value(QStringLiteral("refreshes")).toInt(), 1);
    const QByteArray expected = "OAuth " + state.value(QStringLiteral("access_token")).toString().toLatin1();
    for (const auto& result : results) {
        ASSERT_TRUE(result.request.has_value());
        EXPECT_EQ(result.request->authorization, expected);
    }
    EXPECT_EQ(results.back().request->url, b.apiURL(QStringLiteral("/tracks")));
    EXPECT_EQ(storedTokens(QStringLiteral("17"))->value(QStringLiteral("refresh_token")),
              state.value(QStringLiteral("refresh_token")).toString());
}

// The token endpoint, what the upload step shows for it, and what reaches standard output and the
// log, with uploads through the upload step's view model.
class SoundCloudTrackUploadTest : public SoundCloudTest
{
protected:
    // The upload step's view model after it uploaded an episode to `account`.
    std::shared_ptr<UploadPodcastViewModel> uploadStep(qint64 account)
    {
        const QString audio = folder.filePath(QStringLiteral("Episode 12.mp3"));
        EXPECT_TRUE(writeFile(audio, mp3Bytes(2)));
        const auto viewModel =
            UploadPodcastViewModel::create(QUrl::fromLocalFile(audio), account, PodcastHost::SoundCloud,
                                           QStringLiteral("Episode 12"), std::nullopt, {}, std::nullopt);
        viewModel->beginUpload();
        EXPECT_TRUE(waitFor([&] { return viewModel->uploadState() != UploadPodcastState::InProgress; },
                            std::chrono::seconds(20)));
        return viewModel;
    }

    QTemporaryDir folder;
};

// The token endpoint's answer is a redirect to the stand-in's other port, at the sign-in's code
// exchange or at a refresh before an upload: the form with the secrets goes nowhere else. (The
// session layer's redirect table shows the same for the upload and for GET requests.)
class RedirectedTokenTest : public SoundCloudTrackUploadTest,
                            public ::testing::WithParamInterface<std::tuple<bool, int>>
{
};

TEST_P(RedirectedTokenTest, SendsNothingToTheTargetAndSaysSo)
{
    const auto [refresh, status] = GetParam();
    const QString path = QStringLiteral("/oauth/token");
    if (refresh) {
        cloud({{"lifetime", 30}}); // every use of the token refreshes it
        ASSERT_TRUE(signIn(QStringLiteral("50")));
    }
    standIn.route("POST", path,
                  reply(status, {{"Location", standIn.url(path + QStringLiteral("?moved=1"), 1).toString()}}),
                  0);
    if (refresh) {
        EXPECT_EQ(uploadStep(50)->statusText(),
                  QStringLiteral("Upload failed: ") + SoundCloudSigningFailedMessage);
    } else {
        EXPECT_FALSE(signIn(QStringLiteral("50"))); // the pane says "Unable to authenticate with SoundCloud"
        EXPECT_FALSE(storedTokens(QStringLiteral("50")).has_value());
    }
    EXPECT_TRUE(requestsTo(path, 1).empty()) << "something reached the redirect's target";
}

INSTANTIATE_TEST_SUITE_P(Redirects, RedirectedTokenTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(302, 308)),
                         [](const auto& testInfo) {
                             return (std::get<0>(testInfo.param) ? "Refresh" : "Exchange") +
                                    std::to_string(std::get<1>(testInfo.param));
                         });

TEST_F(SoundCloudTrackUploadTest, SecretsNeverReachStandardOutputOrTheLogAndServerTextIsCutShort)
{
    cloud({{"lifetime", 30}}); // every use refreshes
    StandardOutputCapture output;
    LogCapture log;
    ASSERT_TRUE(signIn(QStringLiteral("41")));
    const QVariantMap firstTokens = *storedTokens(QStringLiteral("41"));
    uploadStep(41); // refreshed, then sent
    cloud({{"token", "server_error"}});
    uploadStep(41); // the refresh fails
    cloud({{"token", "issue"}});
    ASSERT_FALSE(
        CredentialStore::updateData(firstTokens, QStringLiteral("41"),
                                    SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())));
    uploadStep(41); // a used refresh token is refused
    // An answer whose headers and body would fill the terminal.
    ASSERT_TRUE(signIn(QStringLiteral("41")));
    standIn.route("POST", QStringLiteral("/tracks"),
                  reply(201, {{"X-Padding", QString(5000, QLatin1Char('h'))}},
                        QJsonObject{{"id", 1}, {"padding", QString(100000, QLatin1Char('b'))}}));
    uploadStep(41);
    const QStringList lines = output.release();

    const QStringList secrets{cloud().value(QStringLiteral("client_secret")).toString(),
                              QStringLiteral("access-"), QStringLiteral("refresh-"), QStringLiteral("code-"),
                              QStringLiteral("code_verifier")};
    for (const QString& line : lines + log.messages()) {
        for (const QString& secret : secrets)
            EXPECT_FALSE(line.contains(secret))
                << "leaked " << secret.toStdString() << " in: " << line.toStdString();
    }

    // The upload's own diagnostic lines are there, each one line of a readable length.
    const QStringList completions = lines.filter(QStringLiteral("bldfhjsa "));
    ASSERT_EQ(completions.size(), 4);
    EXPECT_LT(completions.last().size(), 1000) << "server text is cut short";
    EXPECT_EQ(requestsTo(QStringLiteral("/tracks")).size(), 2u);
}

} // namespace
} // namespace airlark::test
