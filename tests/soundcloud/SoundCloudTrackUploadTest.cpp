// The SoundCloud track upload against the stand-in: what the upload step shows for each answer,
// the token renewed after a 401, and redirects on every leg of the way. The form SoundCloud
// receives is the end-to-end test's.
#include "publish/SoundCloudTrackUpload.h"

#include "SoundCloudFixture.h"
#include "publish/UploadPodcastViewModel.h"
#include "support/Mp3Fixtures.h"
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

    // The upload step's view model after an upload of `bytes` bytes (the MP3 when 0) to `account`.
    std::shared_ptr<UploadPodcastViewModel> uploadStep(qint64 bytes = 0, qint64 account = 30)
    {
        if (bytes > 0) {
            EXPECT_TRUE(writeFile(audioPath, QByteArray(bytes, 'x')));
        }
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

// What the upload step shows for what SoundCloud does, and what it took.
struct OutcomeCase
{
    const char* label;
    std::function<void(HttpStandIn&)> arrange; // after the sign-in
    qint64 bytes;                              // 0: a small MP3
    QString status;
    int meRequests;
    int trackRequests;
    int refreshes;
};

const QString Uploaded = QStringLiteral("\U0001F389 Uploaded \U0001F389");

class UploadOutcomeTest : public SoundCloudTrackUploadTest, public ::testing::WithParamInterface<OutcomeCase>
{
};

TEST_P(UploadOutcomeTest, ShowsWhatHappened)
{
    const OutcomeCase& c = GetParam();
    ASSERT_TRUE(signIn(QStringLiteral("30")));
    if (c.arrange)
        c.arrange(standIn);
    const auto viewModel = uploadStep(c.bytes);
    EXPECT_EQ(viewModel->statusText(), c.status);
    EXPECT_EQ(viewModel->uploadState(),
              c.status == Uploaded ? UploadPodcastState::Successful : UploadPodcastState::Failed);
    EXPECT_EQ(viewModel->signInExpired(), c.status.endsWith(SoundCloudNeedsNewSignInMessage));
    EXPECT_EQ(requestsTo(QStringLiteral("/me")).size(), static_cast<size_t>(c.meRequests));
    EXPECT_EQ(requestsTo(QStringLiteral("/tracks")).size(), static_cast<size_t>(c.trackRequests));
    EXPECT_EQ(cloud().value(QStringLiteral("refreshes")).toInt(), c.refreshes);
}

void revoke(HttpStandIn& standIn)
{
    standIn.soundCloud({}, true);
}

void respond(HttpStandIn& standIn, int status, const char* type, const char* body)
{
    standIn.route("POST", QStringLiteral("/tracks"),
                  page(status, QString::fromLatin1(type), QString::fromLatin1(body)));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Answers, UploadOutcomeTest, ::testing::Values(
    OutcomeCase{"Created", {}, 0, Uploaded, 0, 1, 0},
    OutcomeCase{"LargeFileAsksMeFirst", {}, 2 << 20, Uploaded, 1, 1, 0},
    OutcomeCase{"RevokedTokenRenewedForTheUpload", revoke, 0, Uploaded, 0, 2, 1},
    OutcomeCase{"RevokedTokenRenewedBeforeALargeUpload", revoke, 2 << 20, Uploaded, 2, 1, 1},
    OutcomeCase{"RefusedRefresh", [](HttpStandIn& standIn) { standIn.soundCloud({{"token", "refuse"}}, true); },
                2 << 20, QStringLiteral("Upload failed: Sign in to SoundCloud again"), 1, 0, 0},
    OutcomeCase{"AnswerIsOneSpace", [](HttpStandIn& standIn) { respond(standIn, 201, "application/json", " "); }, 0,
                QStringLiteral("Upload failed: SoundCloud's answer did not describe the uploaded track"), 0, 1, 0},
    OutcomeCase{"PageWithOk", [](HttpStandIn& standIn) { respond(standIn, 200, "text/html", "<html></html>"); }, 0,
                QStringLiteral("Upload failed: Request failed: unacceptable content-type: text/html"), 0, 1, 0},
    OutcomeCase{"BadGatewayPage", [](HttpStandIn& standIn) { standIn.soundCloud({{"tracks", "bad_gateway"}}); }, 0,
                QStringLiteral("Upload failed: Request failed: bad gateway (502)"), 0, 1, 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });
// clang-format on

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
        const auto viewModel = uploadStep(0, 50);
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

} // namespace
} // namespace airlark::test
