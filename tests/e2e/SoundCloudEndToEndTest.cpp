// The whole workflow to a SoundCloud account: template, dropped MP3 file, saved tags, an account
// added through the OAuth2 sign-in in the pane (the browser played by the test, SoundCloud by the
// local stand-in), and the track upload, with what step 4 shows for each answer SoundCloud gives. Real
// widgets (offscreen), the real Secret Service, a real SQLite store and real MP3 files.
#include "WorkflowDriver.h"
#include "metadata/TagReader.h"
#include "publish/SoundCloudTrackUpload.h"
#include "soundcloud/SoundCloudFixture.h"
#include "store/Account.h"
#include "store/Database.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace airlark::test {
namespace {

const QString Uploaded = QString::fromUtf8("\xF0\x9F\x8E\x89 Uploaded \xF0\x9F\x8E\x89");

class SoundCloudEndToEndTest : public SoundCloudTest
{
protected:
    void SetUp() override
    {
        SoundCloudTest::SetUp();
        driver = std::make_unique<WorkflowDriver>();
    }

    void TearDown() override
    {
        driver.reset();
        SoundCloudTest::TearDown();
    }

    // Steps 1 to 3 for a new episode and a new SoundCloud account named `username`; ends with
    // the account chosen on step 3.
    void prepare(const QString& podcast, const QString& fileName, const QString& username,
                 const QByteArray& audio = mp3Bytes(2))
    {
        episodePath = driver->path(fileName);
        ASSERT_TRUE(driver->tagEpisode(podcast, episodePath, audio, QStringLiteral("Signals"),
                                       QStringLiteral("Radio birds")));
        cloud({{"username", username}});
        ASSERT_TRUE(driver->addSoundCloudAccount(username));
        ASSERT_TRUE(driver->chooseAccount(username + QStringLiteral("\u2014SoundCloud")));
    }

    // The track SoundCloud took last: every part from the tagged episode and its template, with
    // the account's token; then its address, and Done.
    void expectPublished()
    {
        EXPECT_EQ(WorkflowDriver::step4().progressIndicator()->value(), 100);
        const auto tracks = requestsTo(QStringLiteral("/tracks"));
        ASSERT_FALSE(tracks.empty());
        const StandInRequest& track = tracks.back();
        ASSERT_TRUE(track.parts.has_value());
        EXPECT_EQ(track.query.queryItemValue(QStringLiteral("client_id")),
                  cloud().value(QStringLiteral("client_id")).toString());
        EXPECT_EQ(track.header("Authorization"),
                  "OAuth " + cloud().value(QStringLiteral("access_token")).toString().toLatin1());
        QByteArrayList names;
        for (const auto& part : *track.parts)
            names << part.name;
        ASSERT_EQ(names.join(','), "track[description],track[tag_list],track[title],track[track_type],"
                                   "track[asset_data],track[artwork_data]");
        const auto& parts = *track.parts;
        EXPECT_EQ((QByteArrayList{parts[0].body, parts[2].body, parts[3].body, parts[4].fileName,
                                  parts[5].contentType}),
                  (QByteArrayList{"Radio birds", "Signals", "podcast", "Heron 1.mp3", "image/jpeg"}));
        EXPECT_EQ(parts[4].body, readFile(episodePath)) << "the tagged audio, byte for byte";
        EXPECT_EQ(readTags(episodePath).title, QStringLiteral("Signals"));
        const auto artworkURL = driver->workflow().artworkURL();
        ASSERT_TRUE(artworkURL.has_value());
        EXPECT_EQ(parts[5].body, readFile(artworkURL->toLocalFile()));
        // The new track's address, shown as a link and copied on request.
        const QString page = QStringLiteral("https://soundcloud.com/standin/track-1234");
        EXPECT_TRUE(WorkflowDriver::step4().publishedLabel()->text().contains(page));
        QTest::mouseClick(WorkflowDriver::step4().copyLinkButton(), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), page);
        QTest::mouseClick(&driver->next(), Qt::LeftButton);
        EXPECT_TRUE(driver->window().isVisible());
        EXPECT_EQ(driver->visible(), &WorkflowDriver::step1());
    }

    std::unique_ptr<WorkflowDriver> driver;
    QString episodePath;
};

// What step 4 shows for what SoundCloud does, and what the upload asked of it.
struct CloudCase
{
    const char* name;
    QJsonObject settings; // how the stand-in answers
    bool revoke;          // every token issued so far is refused from now on
    bool large;           // large enough for a dead token to be looked for with "/me" first
    QJsonObject tracks;   // the answer to the upload, when not the stand-in's own
    QString status;
    int refreshes; // token refreshes the upload made
    int me;        // "/me" requests it made
    int uploads;   // "/tracks" requests it made
};

class SoundCloudOutcomeTest : public SoundCloudEndToEndTest, public ::testing::WithParamInterface<CloudCase>
{
};

TEST_P(SoundCloudOutcomeTest, ShowsWhatSoundCloudAnswered)
{
    const CloudCase& c = GetParam();
    prepare(QStringLiteral("Heron ") + c.name, QStringLiteral("Heron 1.mp3"),
            QStringLiteral("Heron FM ") + c.name,
            c.large ? repeatedMp3Bytes(std::chrono::seconds(90), 128) : mp3Bytes(2));
    if (!c.tracks.isEmpty())
        standIn.route("POST", QStringLiteral("/tracks"), c.tracks);
    const int refreshesBefore =
        standIn.soundCloud(c.settings, c.revoke).value(QStringLiteral("refreshes")).toInt();
    const size_t me = requestsTo(QStringLiteral("/me")).size();
    const size_t uploads = requestsTo(QStringLiteral("/tracks")).size();
    ASSERT_TRUE(driver->startUpload());
    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_EQ(driver->uploadStatus(), c.status);
    EXPECT_EQ(cloud().value(QStringLiteral("refreshes")).toInt() - refreshesBefore, c.refreshes);
    EXPECT_EQ(requestsTo(QStringLiteral("/me")).size() - me, size_t(c.me));
    EXPECT_EQ(requestsTo(QStringLiteral("/tracks")).size() - uploads, size_t(c.uploads));
    const bool failed = c.status.startsWith(QStringLiteral("Upload failed"));
    EXPECT_EQ(driver->nextTitle(), failed ? QStringLiteral("Retry") : QStringLiteral("Done"));
    QPushButton* signInAgain = WorkflowDriver::step4().signInAgainButton();
    EXPECT_EQ(signInAgain->isVisible(), c.status.endsWith(QStringLiteral("Sign in to SoundCloud again")));
    if (c.status == Uploaded)
        expectPublished();
    if (!signInAgain->isVisible())
        return;
    // Signing in again renews the same account, and Retry then goes through.
    const auto accounts = Account::selectAll(*Database::open()).size();
    QTest::mouseClick(signInAgain, Qt::LeftButton);
    AddPodcastHostViewController* window = nullptr;
    ASSERT_TRUE(waitFor([&] { return (window = AddPodcastHostViewController::presented()) != nullptr; }));
    EXPECT_EQ(window->parentWidget(), &driver->window());
    cloud({{"token", "issue"}});
    ASSERT_TRUE(driver->signInToSoundCloud(window, QStringLiteral("Heron FM ") + c.name));
    EXPECT_EQ(Account::selectAll(*Database::open()).size(), accounts) << "no second account";
    QTest::mouseClick(&driver->next(), Qt::LeftButton);
    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_EQ(driver->uploadStatus(), Uploaded);
}

const QString SignInAgain = QStringLiteral("Upload failed: Sign in to SoundCloud again");
const QJsonObject Own;
const QJsonObject Refuse{{"token", "refuse"}};
const QJsonObject TitleTooLong = reply(
    422, {}, QJsonObject{{"errors", QJsonArray{QJsonObject{{"error_message", "Track title is too long"}}}}});

// clang-format off
INSTANTIATE_TEST_SUITE_P(Answers, SoundCloudOutcomeTest, ::testing::Values(
    CloudCase{"created", {}, false, false, Own, Uploaded, 0, 0, 1},
    CloudCase{"refused", {}, false, false, TitleTooLong, QStringLiteral("Upload failed: Track title is too long"), 0, 0, 1},
    CloudCase{"badGatewayPage", {}, false, false, page(502, "text/html", "<h1>Bad Gateway</h1>"), QStringLiteral("Upload failed: Request failed: bad gateway (502)"), 0, 0, 1},
    CloudCase{"createdButAnswerIsOneSpace", {}, false, false, page(201, "application/json", " "), SoundCloudAnswerUnreadableMessage, 0, 0, 1},
    CloudCase{"okButNotATrack", {}, false, false, reply(200, {}, QJsonObject{{"kind", "track"}}), QStringLiteral("Upload failed: SoundCloud's answer did not describe the uploaded track"), 0, 0, 1},
    CloudCase{"pageWithOk", {}, false, false, page(200, "text/html", "<html></html>"), QStringLiteral("Upload failed: Request failed: unacceptable content-type: text/html"), 0, 0, 1},
    // A token revoked on SoundCloud's side is renewed once, and the upload goes through.
    CloudCase{"revoked", {}, true, false, Own, Uploaded, 1, 0, 2},
    CloudCase{"largeAsksMeFirst", {}, false, true, Own, Uploaded, 0, 1, 1},
    CloudCase{"revokedBeforeALargeUpload", {}, true, true, Own, Uploaded, 1, 2, 1},
    // A short Retry-After from the token endpoint is waited out once; any refusal but invalid_grant
    // keeps the sign-in and says what the endpoint answered.
    CloudCase{"tokenEndpointBusyOnce", {{"token", "busy_once"}}, true, false, Own, Uploaded, 1, 0, 2},
    CloudCase{"clientRefused", {{"token", "bad_client"}}, true, false, Own, QStringLiteral("Upload failed: ") + SoundCloudSigningFailedMessage + QStringLiteral(" (HTTP 401, invalid_client)"), 0, 0, 1},
    CloudCase{"expired", Refuse, true, false, Own, SignInAgain, 0, 0, 1},
    CloudCase{"expiredBeforeALargeUpload", Refuse, true, true, Own, SignInAgain, 0, 1, 0}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

} // namespace
} // namespace airlark::test
