// The application's own workflow, as the storyboard register builds it: a first launch, a template
// made with artwork, an MP3 file picked, the metadata saved into the file, and step 3 shown.
// Each test runs in a process of its own with an empty private data directory.
#include "TableStatements.h"
#include "TagReader.h"
#include "app/MainWindow.h"
#include "app/StoryboardRegister.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/OpenPanel.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "store/Database.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace airlark {
namespace {

namespace Register = StoryboardRegister;

class WorkflowEndToEndTest : public ::testing::Test
{
protected:
    WorkflowEndToEndTest() { QApplication::setQuitOnLastWindowClosed(false); }
    ~WorkflowEndToEndTest() override
    {
        OpenPanel::setPresenterForTesting({});
        QApplication::setQuitOnLastWindowClosed(true);
    }

    void SetUp() override
    {
        window = std::make_unique<MainWindow>(
            [] { return static_cast<QWidget*>(Register::Main::selectTemplateViewController()); });
        window->show();
    }

    TopMetadataProgressNavigationController& workflow() { return *window->workflow(); }
    QWidget* visible() { return workflow().contentNavigationController()->visibleViewController(); }

    static void answerOpenPanel(const QUrl& url)
    {
        OpenPanel::setPresenterForTesting(
            [url](QWidget*, const OpenPanelOptions&, const OpenPanel::Completion& completion) {
                completion(QList<QUrl>{url});
            });
    }

    std::unique_ptr<MainWindow> window;
    QTemporaryDir files;
};

TEST_F(WorkflowEndToEndTest, AFirstLaunchShowsAnEmptyListAndCreatesBothTables)
{
    SelectTemplateViewController* step1 = Register::Main::selectTemplateViewController();
    EXPECT_EQ(visible(), step1);
    EXPECT_EQ(step1->tableView()->model()->rowCount(), 0);
    EXPECT_FALSE(workflow().nextButton()->isEnabled());

    const auto database = Database::open();
    ASSERT_TRUE(database);
    EXPECT_TRUE(QFile::exists(test::dataDirectory() + QStringLiteral("/database.sqlite3")));
    EXPECT_EQ(test::tableStatements(test::dataDirectory() + QStringLiteral("/database.sqlite3")),
              test::expectedTableStatements());
}

TEST_F(WorkflowEndToEndTest, ATemplateWithArtworkAndAnMP3FileEndInTaggedAudio)
{
    SelectTemplateViewController* step1 = Register::Main::selectTemplateViewController();
    const QString cover = files.filePath(QStringLiteral("Lark cover.jpg"));
    ASSERT_TRUE(test::writeFile(cover, test::jpegBytes(600, 600)));
    const QString episode = files.filePath(QStringLiteral("Episode 42.mp3"));
    ASSERT_TRUE(test::writeFile(episode, test::mp3Bytes(2)));

    // Create a template with artwork in its window.
    QTest::mouseClick(step1->newTemplateButton(), Qt::LeftButton);
    QPointer<QWidget> templateWindow = step1->createTemplateWindow();
    auto* creation = qobject_cast<CreateID3TemplateViewController*>(templateWindow.data());
    ASSERT_TRUE(creation);
    QTest::keyClicks(creation->albumField(), QStringLiteral("The Lark"));
    QTest::keyClicks(creation->artistField(), QStringLiteral("Ada"));
    answerOpenPanel(QUrl::fromLocalFile(cover));
    QTest::mouseClick(creation->chooseArtworkButton(), Qt::LeftButton);
    QTest::mouseClick(creation->saveButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return templateWindow.isNull(); }));
    ASSERT_EQ(step1->tableView()->model()->rowCount(), 1);

    // Pick the MP3 file and the template, then go to step 2.
    answerOpenPanel(QUrl::fromLocalFile(episode));
    QTest::mouseClick(step1->chooseFileButton(), Qt::LeftButton);
    QListView* list = step1->tableView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(list->model()->index(0, 0)).center());
    ASSERT_TRUE(workflow().nextButton()->isEnabled());
    QTest::mouseClick(workflow().nextButton(), Qt::LeftButton);

    EditMetadataViewController* step2 = Register::EditMetadata::editMetadataViewController();
    ASSERT_EQ(visible(), step2);
    EXPECT_EQ(workflow().nextButton()->text(), QStringLiteral("Save"));
    EXPECT_EQ(step2->podcastField()->text(), QStringLiteral("The Lark"));
    EXPECT_EQ(step2->artistField()->text(), QStringLiteral("Ada"));
    EXPECT_EQ(step2->fileNameField()->text(), QStringLiteral("Episode 42.mp3"));
    EXPECT_EQ(step2->durationField()->text(), QStringLiteral("00:00:02"));
    QTest::keyClicks(step2->titleField(), QStringLiteral("Episode 42: Larks at dawn"));
    QTest::keyClicks(step2->descriptionTextView(), QStringLiteral("Notes for the episode."));
    QTest::mouseClick(workflow().nextButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return visible() != step2; })) << "the save ends and step 3 comes";

    // The file on disk carries the tags; step 3 is on screen.
    const auto tags = test::readTags(episode);
    EXPECT_EQ(tags.id3v2Version, 3);
    EXPECT_EQ(tags.title, QStringLiteral("Episode 42: Larks at dawn"));
    EXPECT_EQ(tags.comment, QStringLiteral("Notes for the episode."));
    EXPECT_EQ(tags.album, QStringLiteral("The Lark"));
    EXPECT_EQ(tags.artist, QStringLiteral("Ada"));
    EXPECT_EQ(tags.albumArtist, QStringLiteral("Ada"));
    EXPECT_EQ(tags.year, static_cast<unsigned>(QDate::currentDate().year()));
    EXPECT_EQ(tags.picture, test::readFile(cover));
    EXPECT_EQ(tags.pictureMimeType, QStringLiteral("image/jpeg"));
    EXPECT_NE(visible(), step2);
    EXPECT_NE(progressNavigationControllerChild(visible()), nullptr);
    EXPECT_EQ(workflow().currentStep(), 2);
    EXPECT_EQ(workflow().episodeTitle(), QStringLiteral("Episode 42: Larks at dawn"));
    EXPECT_EQ(workflow().fileURL(), QUrl::fromLocalFile(episode));
}

} // namespace
} // namespace airlark
