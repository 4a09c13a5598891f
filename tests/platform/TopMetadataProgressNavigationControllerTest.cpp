#include "platform/ui/TopMetadataProgressNavigationController.h"

#include "support/StandardOutputCapture.h"

#include <gtest/gtest.h>

using namespace airlark;

namespace {

// Each assignment prints one line that scripts read; a value with line breaks must not forge more.
TEST(TopMetadataProgressNavigationController, EveryAssignmentWritesExactlyOneLine)
{
    TopMetadataProgressNavigationController workflow([] { return nullptr; });
    const QString description = QStringLiteral("First line\nSecond line\r\nThird \\ last");
    test::StandardOutputCapture capture;
    workflow.setFileURL(QUrl::fromLocalFile(QStringLiteral("/home/ann/Episode 12.mp3")));
    workflow.setArtworkURL(QUrl::fromLocalFile(QStringLiteral("/home/ann/cover.png")));
    workflow.setEpisodeTitle(QStringLiteral("Twelve"));
    workflow.setPodcastTitle(QStringLiteral("Ann's Show"));
    workflow.setEpisodeDescription(description);
    workflow.setArtist(QStringLiteral("Ann"));
    workflow.setFileURL(std::nullopt);
    workflow.setEpisodeTitle(QString());
    const QStringList lines = capture.release();
    ASSERT_EQ(lines.size(), 8) << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines[4].contains(QStringLiteral("Second line"))) << "the whole value on its line";
    EXPECT_EQ(workflow.episodeDescription(), description) << "only the printed form is escaped";
}

} // namespace
