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
    const QUrl target = standIn.url(path + QStringLiteral("?moved=1"), 1);
    const auto redirect = [&] {
        standIn.route("POST", path, reply(status, {{"Location", target.toString()}}), 0);
    };
    if (refresh) {
        cloud({{"lifetime", 30}}); // every use of the token refreshes it
        ASSERT_TRUE(signIn(QStringLiteral("50")));
        redirect();
        const auto viewModel = uploadStep(50);
        EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Failed);
        EXPECT_EQ(viewModel->statusText(),
                  QStringLiteral("Upload failed: ") + SoundCloudSigningFailedMessage);
    } else {
        redirect();
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
    storeTokens(QStringLiteral("41"), firstTokens);
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
    QStringList completions;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(completions),
                 [](const QString& l) { return l.startsWith(QStringLiteral("bldfhjsa ")); });
    ASSERT_EQ(completions.size(), 4);
    EXPECT_LT(completions.last().size(), 1000) << "server text is cut short";
    EXPECT_EQ(requestsTo(QStringLiteral("/tracks")).size(), 2u);
}

} // namespace
} // namespace airlark::test
