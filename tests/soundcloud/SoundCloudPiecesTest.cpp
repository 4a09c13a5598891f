// The smaller pieces of the SoundCloud sign-in: a busy redirect port, the pane's view model
// reports, and what reaches standard output and the log.
#include "SoundCloudFixture.h"
#include "hosts/SoundCloudAuthenticationViewModel.h"
#include "publish/SoundCloudTrackUpload.h"
#include "store/CredentialStore.h"
#include "support/LogCapture.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace airlark::test {
namespace {

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

TEST_F(SoundCloudPiecesTest, ViewModelReportsLaterAndNeverForAViewModelThatIsGone)
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

TEST_F(SoundCloudPiecesTest, SecretsNeverReachStandardOutputOrTheLogAndServerTextIsCutShort)
{
    QTemporaryDir folder;
    const QString audio = folder.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(writeFile(audio, mp3Bytes(1)));
    cloud({{"lifetime", 30}}); // every use refreshes

    StandardOutputCapture output;
    LogCapture log;
    ASSERT_TRUE(signIn(QStringLiteral("41")));
    const QVariantMap firstTokens = *storedTokens(QStringLiteral("41"));
    auto uploadOnce = [&] {
        auto delegate = std::make_shared<NullDelegate>();
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("41"))};
        const SoundCloudFileUploadEntity entity(QStringLiteral("T"), QUrl::fromLocalFile(audio), std::nullopt,
                                                {}, std::nullopt);
        EXPECT_TRUE(upload(client, entity, delegate).hasValue());
        EXPECT_TRUE(waitFor([&] { return delegate->completions > 0; }));
    };
    uploadOnce(); // refreshed, then sent
    cloud({{"token", "server_error"}});
    uploadOnce(); // the refresh fails
    cloud({{"token", "issue"}});
    storeTokens(QStringLiteral("41"), firstTokens);
    uploadOnce(); // a used refresh token is refused
    // An answer whose headers and body would fill the terminal.
    ASSERT_TRUE(signIn(QStringLiteral("41")));
    standIn.route("POST", QStringLiteral("/tracks"),
                  reply(201, {{"X-Padding", QString(5000, QLatin1Char('h'))}},
                        QJsonObject{{"id", 1}, {"padding", QString(100000, QLatin1Char('b'))}}));
    uploadOnce();
    const QStringList lines = output.release();

    const QJsonObject state = cloud();
    const QStringList secrets{state.value(QStringLiteral("client_secret")).toString(),
                              QStringLiteral("access-"), QStringLiteral("refresh-"), QStringLiteral("code-"),
                              QStringLiteral("code_verifier")};
    for (const QString& line : lines + log.messages()) {
        for (const QString& secret : secrets)
            EXPECT_FALSE(line.contains(secret))
                << "leaked " << secret.toStdString() << " in: " << line.toStdString();
    }

    // The upload's own diagnostic lines are there, each one line of a readable length.
    QStringList completions;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(completions),
                 [](const QString& l) { return l.startsWith(QStringLiteral("bldfhjsa ")); });
    ASSERT_EQ(completions.size(), 4);
    EXPECT_LT(completions.last().size(), 1000) << "server text is cut short";
    EXPECT_EQ(requestsTo(QStringLiteral("/tracks")).size(), 2u);
}

} // namespace
} // namespace airlark::test
