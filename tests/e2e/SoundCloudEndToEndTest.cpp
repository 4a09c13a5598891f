// The whole workflow to a SoundCloud account: template, dropped MP3 file, saved tags, an account
// added through the OAuth2 sign-in in the pane (the browser played by the test, SoundCloud by the
// local stand-in), and the track upload. Real widgets (offscreen), the real Secret Service, a real
// SQLite store and real MP3 files.
#include "WorkflowDriver.h"
#include "metadata/TagReader.h"
#include "publish/UploadPodcastViewModel.h"
#include "soundcloud/SoundCloudFixture.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

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
        artworkPath = driver->path(QStringLiteral("cover.png"));
        ASSERT_TRUE(writeFile(artworkPath, pngBytes(48, 48)));
    }

    void TearDown() override
    {
        driver.reset();
        SoundCloudTest::TearDown();
    }

    // Steps 1 to 3 for a new episode and a new SoundCloud account named `username`; ends with
    // the account chosen on step 3.
    void prepare(const QString& podcast, const QString& fileName, const QString& username)
    {
        episodePath = driver->path(fileName);
        ASSERT_TRUE(writeFile(episodePath, mp3Bytes(2)));
        ASSERT_TRUE(driver->createTemplate(podcast, QStringLiteral("Ada Lark"), artworkPath));
        ASSERT_TRUE(driver->dropEpisode(episodePath));
        ASSERT_TRUE(driver->chooseTemplate(podcast));
        ASSERT_TRUE(driver->goToStep2());
        ASSERT_TRUE(driver->saveMetadata(QStringLiteral("Signals"), QStringLiteral("Radio birds")));
        cloud({{"username", username}});
        ASSERT_TRUE(driver->addSoundCloudAccount(username));
        ASSERT_TRUE(driver->chooseAccount(username + QStringLiteral("\u2014SoundCloud")));
    }

    std::unique_ptr<WorkflowDriver> driver;
    QString artworkPath;
    QString episodePath;
};

TEST_F(SoundCloudEndToEndTest, PublishesTheTaggedEpisodeAsATrackWithItsArtwork)
{
    prepare(QStringLiteral("Radio Lark"), QStringLiteral("Radio Lark 1.mp3"),
            QStringLiteral("Radio Lark FM"));
    ASSERT_TRUE(driver->startUpload());
    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_EQ(driver->uploadStatus(), Uploaded);
    EXPECT_EQ(driver->nextTitle(), QStringLiteral("Done"));
    EXPECT_EQ(WorkflowDriver::step4().progressIndicator()->value(), 100);

    const auto tracks = requestsTo(QStringLiteral("/tracks"));
    ASSERT_EQ(tracks.size(), 1u);
    const StandInRequest& track = tracks.front();
    ASSERT_TRUE(track.parts.has_value());
    QByteArrayList names;
    for (const auto& part : *track.parts)
        names << part.name;
    EXPECT_EQ(names.join(','), "track[description],track[tag_list],track[title],track[track_type],"
                               "track[asset_data],track[artwork_data]");
    EXPECT_EQ(track.query.queryItemValue(QStringLiteral("client_id")),
              cloud().value(QStringLiteral("client_id")).toString());
    EXPECT_EQ(track.header("Authorization"),
              "OAuth " + cloud().value(QStringLiteral("access_token")).toString().toLatin1());
    const auto* title = track.part("track[title]");
    const auto* type = track.part("track[track_type]");
    const auto* description = track.part("track[description]");
    const auto* audio = track.part("track[asset_data]");
    const auto* artwork = track.part("track[artwork_data]");
    ASSERT_TRUE(title && type && description && audio && artwork);
    EXPECT_EQ(title->body, "Signals");
    EXPECT_EQ(type->body, "podcast");
    EXPECT_EQ(description->body, "Radio birds");
    EXPECT_EQ(audio->fileName, "Radio Lark 1.mp3");
    EXPECT_EQ(audio->body, readFile(episodePath)) << "the tagged audio, byte for byte";
    EXPECT_EQ(readTags(episodePath).title, QStringLiteral("Signals"));
    const auto artworkURL = driver->workflow().artworkURL();
    ASSERT_TRUE(artworkURL.has_value());
    EXPECT_EQ(artwork->body, readFile(artworkURL->toLocalFile()));
    EXPECT_EQ(artwork->contentType, "image/jpeg");

    QTest::mouseClick(&driver->next(), Qt::LeftButton);
    EXPECT_FALSE(driver->window().isVisible());
}

TEST_F(SoundCloudEndToEndTest, ARefusedTrackShowsSoundCloudsMessageAndCancelLeadsBack)
{
    prepare(QStringLiteral("Heron Talk"), QStringLiteral("Heron 1.mp3"), QStringLiteral("Heron Talk FM"));
    cloud({{"tracks", "unprocessable"}});
    ASSERT_TRUE(driver->startUpload());
    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_EQ(driver->uploadStatus(), QStringLiteral("Upload failed: Track title is too long"));
    EXPECT_EQ(driver->nextTitle(), QStringLiteral("Upload failed"));
    EXPECT_FALSE(driver->next().isEnabled());
    QTest::mouseClick(&driver->cancel(), Qt::LeftButton);
    EXPECT_EQ(driver->visible(), &WorkflowDriver::step1());
}

} // namespace
} // namespace airlark::test
