// File facts of the metadata step.
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

} // namespace
} // namespace airlark
