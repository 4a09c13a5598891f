// The smaller pieces of the SoundCloud sign-in: the loopback listener, the credentials files,
// the pane's view model reports, and what reaches standard output and the log.
#include "SoundCloudFixture.h"
#include "hosts/LoopbackRedirectListener.h"
#include "hosts/SoundCloudAuthenticationViewModel.h"
#include "publish/SoundCloudTrackUpload.h"
#include "store/CredentialStore.h"
#include "support/LogCapture.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace airlark::test {
namespace {

// A GET on a thread of its own, so that a server on the main thread's loop can answer it.
class BackgroundGet
{
public:
    explicit BackgroundGet(QUrl url)
        : thread_([this, url] {
              status_ = 0;
              int status = 0;
              response_ = SoundCloudStandIn::get(url, &status).value_or(QByteArray());
              status_ = status;
              done_ = true;
          })
    {
    }
    ~BackgroundGet() { thread_.join(); }
    bool wait()
    {
        return waitFor([this] { return done_.load(); });
    }
    int status() const { return status_; }
    const QByteArray& response() const { return response_; }

private:
    std::atomic<bool> done_ = false;
    std::atomic<int> status_ = 0;
    QByteArray response_;
    std::thread thread_;
};

TEST(LoopbackRedirectListenerTest, AnswersOtherPathsWith404AndHandsOnTheRedirectOnce)
{
    LoopbackRedirectListener listener;
    std::vector<QUrl> redirects;
    const QUrl bound = listener.listen(QUrl(QStringLiteral("http://127.0.0.1:0/soundcloud/callback")),
                                       [&](const QUrl& url) { redirects.push_back(url); });
    ASSERT_FALSE(bound.isEmpty());
    ASSERT_GT(bound.port(), 0);

    QUrl favicon = bound;
    favicon.setPath(QStringLiteral("/favicon.ico"));
    {
        BackgroundGet get(favicon);
        ASSERT_TRUE(get.wait());
        EXPECT_EQ(get.status(), 404);
    }
    EXPECT_TRUE(listener.isListening());
    EXPECT_TRUE(redirects.empty());

    QUrl redirect = bound;
    redirect.setQuery(QStringLiteral("code=abc&state=x%2By"));
    {
        BackgroundGet get(redirect);
        ASSERT_TRUE(get.wait());
        EXPECT_EQ(get.status(), 200);
        EXPECT_TRUE(get.response().contains("You can close this tab"));
    }
    ASSERT_TRUE(waitFor([&] { return !redirects.empty(); }));
    EXPECT_EQ(redirects.front().toString(QUrl::FullyEncoded), redirect.toString(QUrl::FullyEncoded));
    EXPECT_FALSE(listener.isListening());
}

TEST(LoopbackRedirectListenerTest, KnowsLoopbackRedirectURIs)
{
    EXPECT_TRUE(
        LoopbackRedirectListener::isLoopbackRedirectURI(QUrl(QStringLiteral("http://127.0.0.1:8080/cb"))));
    EXPECT_TRUE(LoopbackRedirectListener::isLoopbackRedirectURI(QUrl(QStringLiteral("http://localhost/cb"))));
    EXPECT_FALSE(
        LoopbackRedirectListener::isLoopbackRedirectURI(QUrl(QStringLiteral("https://127.0.0.1/cb"))));
    EXPECT_FALSE(
        LoopbackRedirectListener::isLoopbackRedirectURI(QUrl(QStringLiteral("airlark://soundcloud/cb"))));
    EXPECT_FALSE(
        LoopbackRedirectListener::isLoopbackRedirectURI(QUrl(QStringLiteral("http://192.0.2.1/cb"))));
}

using SoundCloudPiecesTest = SoundCloudTest;

TEST_F(SoundCloudPiecesTest, ABusyRedirectPortFailsTheSignInWithoutOpeningTheBrowser)
{
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    writeCredentials(QStringLiteral("http://127.0.0.1:%1/soundcloud/callback").arg(occupant.serverPort()));
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("40"))};
    client.authenticate();
    ASSERT_TRUE(waitFor([&] { return notifications.failed() > 0; }));
    EXPECT_EQ(notifications.authorized(), 0);
    EXPECT_TRUE(browser.openedURLs().empty());
}

TEST_F(SoundCloudPiecesTest, TheUsersCredentialsFileWinsKeyByKeyOverTheShippedOne)
{
    QFile::remove(SoundCloudAPIClientCredentials::userFilePath());
    const SoundCloudAPIClientCredentials shipped(QStringLiteral("7"));
    EXPECT_EQ(shipped.clientID, QStringLiteral("YOUR_SOUNDCLOUD_CLIENT_ID"));
    EXPECT_EQ(shipped.clientSecret, QStringLiteral("YOUR_SOUNDCLOUD_CLIENT_SECRET"));
    EXPECT_TRUE(QUrl(shipped.redirectURI).isValid());
    EXPECT_EQ(shipped.userIdentifier, QStringLiteral("7"));

    QFile file(SoundCloudAPIClientCredentials::userFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"client_id": "mine", "client_secret": 42})");
    file.close();
    const SoundCloudAPIClientCredentials mixed(QStringLiteral("8"));
    EXPECT_EQ(mixed.clientID, QStringLiteral("mine"));
    EXPECT_EQ(mixed.clientSecret, shipped.clientSecret); // not a string: the shipped value stays
    EXPECT_EQ(mixed.redirectURI, shipped.redirectURI);
}

TEST_F(SoundCloudPiecesTest, ViewModelReportsEveryAssignmentLaterOnTheMainQueue)
{
    struct Recorder : SoundCloudAuthenticationViewModelDelegate
    {
        void
        soundCloudAuthenticationViewModelViewStateDidChange(SoundCloudAuthenticationViewModel& model) override
        {
            messages.push_back(model.message().value_or(QStringLiteral("<none>")));
        }
        std::vector<QString> messages;
    } recorder;

    SoundCloudAuthenticationViewModel model;
    model.delegate = &recorder;
    model.setUsername(QStringLiteral("x"));
    model.setUsername(QStringLiteral("x"));
    EXPECT_TRUE(recorder.messages.empty()); // nothing inline
    model.setAuthenticated(false);          // message, spinner, then its own report
    EXPECT_EQ(model.message(), SoundCloudAuthenticationViewModel::AuthenticationFailedMessage);
    EXPECT_FALSE(model.networkRequestInProgress());
    EXPECT_FALSE(model.canAdvance());
    ASSERT_TRUE(waitFor([&] { return recorder.messages.size() == 5; }));
    QTest::qWait(20);
    EXPECT_EQ(recorder.messages.size(), 5u);

    EXPECT_TRUE(model.authenticationProgressBegan());
    EXPECT_TRUE(model.accountID().has_value());
    EXPECT_EQ(model.message(), SoundCloudAuthenticationViewModel::ConnectingMessage);
    EXPECT_TRUE(model.networkRequestInProgress());
    model.setAuthenticated(true);
    EXPECT_FALSE(model.canAdvance()); // a new sign-in forgets the earlier user until "/me" answers
    model.setUsername(QStringLiteral("x"));
    EXPECT_TRUE(model.canAdvance());

    QTest::qWait(50); // let the reports above arrive

    // Reports queued for a view model that is gone are dropped.
    const size_t before = recorder.messages.size();
    auto doomed = std::make_unique<SoundCloudAuthenticationViewModel>();
    doomed->delegate = &recorder;
    doomed->setUsername(QStringLiteral("y"));
    doomed.reset();
    QTest::qWait(50);
    EXPECT_EQ(recorder.messages.size(), before);
}

class NullDelegate : public SoundCloudAPIClientUploadDelegate
{
public:
    void soundCloudUploadDidProgress(HTTPSession&, HTTPSessionTask&, qint64, qint64, qint64) override {}
    void soundCloudUploadDidComplete(const std::optional<HTTPResponse>&, const QVariant&,
                                     const std::optional<HTTPError>&) override
    {
        ++completions;
    }
    std::atomic<int> completions = 0;
};

TEST_F(SoundCloudPiecesTest, TokensAndTheClientSecretNeverReachStandardOutputOrTheLog)
{
    QTemporaryDir folder;
    const QString audio = folder.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(writeFile(audio, mp3Bytes(1)));
    standIn.setAccessTokenLifetime(30); // every use refreshes

    StandardOutputCapture output;
    LogCapture log;
    ASSERT_TRUE(signIn(QStringLiteral("41")));
    const QVariantMap firstTokens = *storedTokens(QStringLiteral("41"));
    auto uploadOnce = [&] {
        auto delegate = std::make_shared<NullDelegate>();
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("41"))};
        const SoundCloudFileUploadEntity entity(QStringLiteral("T"), QUrl::fromLocalFile(audio), std::nullopt,
                                                {}, std::nullopt);
        EXPECT_EQ(upload(client, entity, delegate), std::nullopt);
        EXPECT_TRUE(waitFor([&] { return delegate->completions > 0; }));
    };
    uploadOnce(); // refreshed, then sent
    standIn.setTokenMode(SoundCloudStandIn::TokenMode::ServerError);
    uploadOnce(); // the refresh fails
    standIn.setTokenMode(SoundCloudStandIn::TokenMode::Issue);
    ASSERT_FALSE(
        CredentialStore::updateData(firstTokens, QStringLiteral("41"),
                                    SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())));
    uploadOnce(); // a used refresh token is refused
    const QStringList lines = output.release();

    QStringList everything = lines + log.messages();
    const QStringList secrets{SoundCloudStandIn::ClientSecret, QStringLiteral("access-"),
                              QStringLiteral("refresh-"), QStringLiteral("code-"),
                              QStringLiteral("code_verifier")};
    for (const QString& line : everything) {
        for (const QString& secret : secrets)
            EXPECT_FALSE(line.contains(secret))
                << "leaked " << secret.toStdString() << " in: " << line.toStdString();
    }

    // The upload's own diagnostic lines are there, as given.
    const QRegularExpression progress(QStringLiteral("^yeah progress \\d+ \\d+ \\d+$"));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const QString& l) { return progress.match(l).hasMatch(); }));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const QString& l) { return l.startsWith(QStringLiteral("bldfhjsa ")); }),
              3);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("bldfhjsa <HTTPResponse: ")) && l.endsWith(QStringLiteral(" nil"));
    }));
    EXPECT_EQ(standIn.tracks().size(), 1u);
}

} // namespace
} // namespace airlark::test
