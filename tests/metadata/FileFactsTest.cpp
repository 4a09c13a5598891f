// File facts of the metadata step. An ordinary episode's facts are shown on step 2's screen; here,
// the files that have none to give.
#include "metadata/FileSystemMetadata.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

TEST(FileSystemMetadataTest, AMissingFileHasNoFactsAndOneWithoutAudioNoDuration)
{
    EXPECT_FALSE(FileSystemMetadata(QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.mp3"))).fileSize());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.mp3"));
    ASSERT_TRUE(test::writeFile(path, QByteArray(640, 'x')));
    const FileSystemMetadata metadata(QUrl::fromLocalFile(path));
    EXPECT_EQ(metadata.fileSize(), 640);
    EXPECT_FALSE(metadata.durationSeconds());
    // Episodes of more than 99 hours exist (live streams recorded whole).
    EXPECT_EQ(formattedDuration(360000), QStringLiteral("100:00:00"));
}

} // namespace
} // namespace airlark
