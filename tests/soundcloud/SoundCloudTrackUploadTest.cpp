// The SoundCloud track upload against the stand-in: what the upload step shows for the answers the
// end-to-end tests do not try, redirects on every leg of the way, and what reaches standard output
// and the log. The form SoundCloud receives is the end-to-end test's.
#include "publish/SoundCloudTrackUpload.h"

#include "SoundCloudFixture.h"
#include "publish/UploadPodcastViewModel.h"
#include "support/LogCapture.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>
#include <QTest>

namespace airlark::test {
namespace {

class SoundCloudTrackUploadTest : public SoundCloudTest
{
protected:
    void SetUp() override
    {
        SoundCloudTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        audioPath = folder.filePath(QStringLiteral("Episode 12.mp3"));
        ASSERT_TRUE(writeFile(audioPath, mp3Bytes(2)));
    }

    // The upload step's view model after an upload to `account`.
    std::shared_ptr<UploadPodcastViewModel> uploadStep(qint64 account)
    {
        const auto viewModel =
            UploadPodcastViewModel::create(QUrl::fromLocalFile(audioPath), account, PodcastHost::SoundCloud,
                                           QStringLiteral("Episode 12"), std::nullopt, {}, std::nullopt);
        viewModel->beginUpload();
        EXPECT_TRUE(waitFor([&] { return viewModel->uploadState() != UploadPodcastState::InProgress; },
                            std::chrono::seconds(20)));
        return viewModel;
    }

    QTemporaryDir folder;
    QString audioPath;
};

// Every request of the way answered by a redirect to the stand-in's other port.
enum class Leg
{
    Exchange,
    Refresh,
    Me,
    Upload
};

class RedirectedLegTest : public SoundCloudTrackUploadTest,
                          public ::testing::WithParamInterface<std::tuple<Leg, int>>
{
};

TEST_P(RedirectedLegTest, SendsNothingToTheTargetAndSaysSo)
{
    const auto [leg, status] = GetParam();
    const QString path = leg == Leg::Me       ? QStringLiteral("/me")
                         : leg == Leg::Upload ? QStringLiteral("/tracks")
                                              : QStringLiteral("/oauth/token");
    const QUrl target = standIn.url(path + QStringLiteral("?moved=1"), 1);
    const auto redirect = [&] {
        standIn.route(leg == Leg::Me ? "GET" : "POST", path, reply(status, {{"Location", target.toString()}}),
                      0);
    };
    if (leg == Leg::Refresh)
        cloud({{"lifetime", 30}}); // every use of the token refreshes it
    if (leg == Leg::Exchange) {
        redirect();
        EXPECT_FALSE(signIn(QStringLiteral("50"))); // the pane says "Unable to authenticate with SoundCloud"
        EXPECT_FALSE(storedTokens(QStringLiteral("50")).has_value());
    } else {
        ASSERT_TRUE(signIn(QStringLiteral("50")));
        redirect();
    }
    if (leg == Leg::Me) {
        // A GET may follow, but the token stays behind: SoundCloud's other port refuses it.
        std::optional<std::optional<QString>> username;
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("50"))};
        client.me([&](const std::optional<QString>& name) { username = name; });
        ASSERT_TRUE(waitFor([&] { return username.has_value(); }));
        EXPECT_EQ(*username, std::nullopt); // "Unable to retrieve this account"
        EXPECT_FALSE(requestsTo(path, 1).empty());
        for (const StandInRequest& request : requestsTo(path, 1))
            EXPECT_FALSE(request.hasHeader("Authorization"));
        return;
    }
    if (leg != Leg::Exchange) {
        const auto viewModel = uploadStep(50);
        EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Failed);
        EXPECT_EQ(viewModel->statusText(),
                  QStringLiteral("Upload failed: ") +
                      (leg == Leg::Refresh
                           ? SoundCloudSigningFailedMessage
                           : QStringLiteral("The server answered with a redirect to %1; nothing was uploaded")
                                 .arg(target.toString())));
    }
    EXPECT_TRUE(requestsTo(path, 1).empty()) << "something reached the redirect's target";
}

std::string legName(const ::testing::TestParamInfo<std::tuple<Leg, int>>& testInfo)
{
    static const char* const names[] = {"Exchange", "Refresh", "Me", "Upload"};
    return names[static_cast<int>(std::get<0>(testInfo.param))] + std::to_string(std::get<1>(testInfo.param));
}

INSTANTIATE_TEST_SUITE_P(Redirects, RedirectedLegTest,
                         ::testing::Combine(::testing::Values(Leg::Exchange, Leg::Refresh, Leg::Me,
                                                              Leg::Upload),
                                            ::testing::Values(302, 308)),
                         legName);

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

TEST_F(SoundCloudTrackUploadTest, SecretsNeverReachStandardOutputOrTheLogAndServerTextIsCutShort)
{
    cloud({{"lifetime", 30}}); // every use refreshes
    StandardOutputCapture output;
    LogCapture log;
    ASSERT_TRUE(signIn(QStringLiteral("41")));
    const QVariantMap firstTokens = *storedTokens(QStringLiteral("41"));
    auto uploadOnce = [&] {
        auto delegate = std::make_shared<NullDelegate>();
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(QStringLiteral("41"))};
        const SoundCloudFileUploadEntity entity(QStringLiteral("T"), QUrl::fromLocalFile(audioPath),
                                                std::nullopt, {}, std::nullopt);
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

    const QStringList secrets{cloud().value(QStringLiteral("client_secret")).toString(),
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
