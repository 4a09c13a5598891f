// File facts of the metadata step and the drop-target rules.
#include "metadata/FileDropRule.h"
#include "metadata/FileSystemMetadata.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

TEST(FileSystemMetadataTest, NameAndSizeFromTheFileSystemDurationFromTheStream)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Folge \u00e9ins.mp3"));
    const QByteArray bytes = test::repeatedMp3Bytes(std::chrono::milliseconds(3725900));
    ASSERT_TRUE(test::writeFile(path, bytes));

    const FileSystemMetadata metadata(QUrl::fromLocalFile(path));
    EXPECT_EQ(metadata.fileName(), QStringLiteral("Folge \u00e9ins.mp3"));
    EXPECT_EQ(metadata.fileSize(), bytes.size());
    ASSERT_TRUE(metadata.durationSeconds());
    EXPECT_EQ(*metadata.durationSeconds(), 3725) << "3725.9 seconds, truncated";
    EXPECT_EQ(formattedDuration(*metadata.durationSeconds()), QStringLiteral("01:02:05"));
}

TEST(FileSystemMetadataTest, FiftyNineSeconds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.mp3"));
    ASSERT_TRUE(test::writeFile(path, test::repeatedMp3Bytes(std::chrono::milliseconds(59000))));
    EXPECT_EQ(FileSystemMetadata(QUrl::fromLocalFile(path)).durationSeconds(), 59);
}

TEST(FileSystemMetadataTest, AMissingFileYieldsNothing)
{
    const FileSystemMetadata metadata(QUrl::fromLocalFile(QStringLiteral("/nonexistent/episode.mp3")));
    EXPECT_FALSE(metadata.fileName());
    EXPECT_FALSE(metadata.fileSize());
    EXPECT_FALSE(metadata.durationSeconds());
}

TEST(FileSystemMetadataTest, AFileWithoutAudioHasNameAndSizeButNoDuration)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.mp3"));
    ASSERT_TRUE(test::writeFile(path, QByteArray(640, 'x')));
    const FileSystemMetadata metadata(QUrl::fromLocalFile(path));
    EXPECT_EQ(metadata.fileSize(), 640);
    EXPECT_FALSE(metadata.durationSeconds());
}

TEST(FormattedDurationTest, HoursMinutesSeconds)
{
    const std::pair<qint64, const char*> cases[] = {{0, "00:00:00"},      {59, "00:00:59"},
                                                    {60, "00:01:00"},     {3725, "01:02:05"},
                                                    {359999, "99:59:59"}, {360000, "100:00:00"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(formattedDuration(seconds), QString::fromLatin1(text)) << seconds;
}

struct DropCase
{
    const char* name;
    FileDropRule rule;
    QList<QUrl> urls;
    bool accepted;
};

class FileDropRuleTest : public ::testing::TestWithParam<DropCase>
{
};

TEST_P(FileDropRuleTest, JudgesTheFirstFileByItsExtension)
{
    const auto accepted = GetParam().rule.acceptedFile(GetParam().urls);
    EXPECT_EQ(accepted.has_value(), GetParam().accepted);
    if (accepted) {
        EXPECT_EQ(*accepted, GetParam().urls.front());
    }
}

QUrl file(const char* path)
{
    return QUrl::fromLocalFile(QString::fromUtf8(path));
}

INSTANTIATE_TEST_SUITE_P(
    Drags, FileDropRuleTest,
    ::testing::Values(
        DropCase{"Mp3", FileDropRule::audio(), {file("/a/episode.mp3")}, true},
        DropCase{"Mp3InCapitals", FileDropRule::audio(), {file("/a/EPISODE.MP3")}, true},
        DropCase{"Wav", FileDropRule::audio(), {file("/a/episode.wav")}, false},
        DropCase{"WavBeforeMp3", FileDropRule::audio(), {file("/a/one.wav"), file("/a/two.mp3")}, false},
        DropCase{"Mp3BeforeWav", FileDropRule::audio(), {file("/a/one.mp3"), file("/a/two.wav")}, true},
        DropCase{"NoExtension", FileDropRule::audio(), {file("/a/episode")}, false},
        DropCase{"DotFile", FileDropRule::audio(), {file("/a/.mp3")}, false},
        DropCase{"Nothing", FileDropRule::audio(), {}, false},
        DropCase{
            "RemoteUrl", FileDropRule::audio(), {QUrl(QStringLiteral("https://example.org/a.mp3"))}, false},
        DropCase{"PngOnImageTarget", FileDropRule::image(), {file("/a/cover.png")}, false},
        DropCase{"JpegOnImageTarget", FileDropRule::image(), {file("/a/cover.jpeg")}, false},
        DropCase{"Mp3OnImageTarget", FileDropRule::image(), {file("/a/episode.mp3")}, false},
        DropCase{"PlainTargetAcceptsNothing", FileDropRule({}, true), {file("/a/episode.mp3")}, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace airlark
