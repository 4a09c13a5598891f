#include "platform/ui/TopMetadataProgressNavigationController.h"

#include "support/StandardOutputCapture.h"

#include <gtest/gtest.h>

using namespace airlark;

namespace {

TEST(TopMetadataProgressNavigationController, FieldsStartAbsent)
{
    TopMetadataProgressNavigationController workflow([] { return nullptr; });
    EXPECT_FALSE(workflow.fileURL());
    EXPECT_FALSE(workflow.artworkURL());
    EXPECT_FALSE(workflow.episodeTitle());
    EXPECT_FALSE(workflow.podcastTitle());
    EXPECT_FALSE(workflow.episodeDescription());
    EXPECT_FALSE(workflow.artist());
}

TEST(TopMetadataProgressNavigationController, EveryAssignmentWritesItsLine)
{
    TopMetadataProgressNavigationController workflow([] { return nullptr; });
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/home/ann/Episode 12.mp3"));
    const QUrl artwork = QUrl::fromLocalFile(QStringLiteral("/home/ann/artwork/cover.png"));

    test::StandardOutputCapture capture;
    workflow.setFileURL(file);
    workflow.setArtworkURL(artwork);
    workflow.setEpisodeTitle(QStringLiteral("Twelve"));
    workflow.setPodcastTitle(QStringLiteral("Ann's Show"));
    workflow.setEpisodeDescription(QStringLiteral("About larks"));
    workflow.setArtist(QStringLiteral("Ann"));
    workflow.setFileURL(std::nullopt);
    workflow.setPodcastTitle(QStringLiteral("Ann's Show")); // the same value again is still an assignment
    const QStringList lines = capture.release();

    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral("Set fileURL file:///home/ann/Episode 12.mp3"),
                         QStringLiteral("Set artworkURL file:///home/ann/artwork/cover.png"),
                         QStringLiteral("Set episode title Twelve"),
                         QStringLiteral("Set podcast title Ann's Show"),
                         QStringLiteral("Episode description is About larks"),
                         QStringLiteral("Artist is Ann"),
                         QStringLiteral("Set fileURL (none)"),
                         QStringLiteral("Set podcast title Ann's Show"),
                     }));
    EXPECT_FALSE(workflow.fileURL());
    EXPECT_EQ(workflow.artworkURL(), artwork);
    EXPECT_EQ(workflow.episodeTitle(), QStringLiteral("Twelve"));
    EXPECT_EQ(workflow.artist(), QStringLiteral("Ann"));
}

TEST(TopMetadataProgressNavigationController, AMultiLineValueStaysOnOneLine)
{
    TopMetadataProgressNavigationController workflow([] { return nullptr; });
    test::StandardOutputCapture capture;
    workflow.setEpisodeDescription(QStringLiteral("First line\nSecond line\r\nThird \\ last"));
    workflow.setEpisodeTitle(QString());
    EXPECT_EQ(capture.release(), (QStringList{QStringLiteral("Episode description is First line\\nSecond "
                                                             "line\\nThird \\\\ last"),
                                              QStringLiteral("Set episode title ")}));
    EXPECT_EQ(workflow.episodeDescription(), QStringLiteral("First line\nSecond line\r\nThird \\ last"))
        << "only the printed form is escaped";
}

} // namespace
