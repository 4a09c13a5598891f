// Step 1 on screen: real widgets in the real workflow frame, over a real store.
#include "WorkflowFixture.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>

namespace airlark {
namespace {

class SelectTemplateScreenTest : public test::WorkflowFixture
{
protected:
    QUrl episodeURL()
    {
        return QUrl::fromLocalFile(mp3File(QStringLiteral("Folge 3 \u00fcber Lerchen.mp3")));
    }
};

TEST_F(SelectTemplateScreenTest, ComesOnScreenWithAnEmptyListAndNextDisabled)
{
    EXPECT_EQ(visible(), step1.get());
    EXPECT_EQ(next().text(), QStringLiteral("Next"));
    EXPECT_FALSE(next().isEnabled());
    EXPECT_EQ(cancel().text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(cancel().isEnabled());
    EXPECT_EQ(back().text(), QStringLiteral("Back"));
    EXPECT_FALSE(back().isEnabled());
    EXPECT_EQ(step1->tableView()->model()->rowCount(), 0);
    EXPECT_FALSE(step1->emptyListLabel()->isHidden()) << "says how to make the first template";
    EXPECT_EQ(step1->viewModel().artworkName(), QStringLiteral("AudioDropzone"));
    EXPECT_FALSE(step1->dropLocationView()->image().isNull());
    EXPECT_FALSE(step1->chooseFileButton()->isHidden());
    EXPECT_TRUE(step1->chosenFileLabel()->isHidden());
}

TEST_F(SelectTemplateScreenTest, ADroppedFileThenAClickedTemplateEnableNext)
{
    const QString cover = imageFile(QStringLiteral("cover.png"));
    insertTemplate(QStringLiteral("First"));
    insertTemplate(QStringLiteral("Second"), cover);
    // The list was read when the step came on screen; a new template reloads it.
    ASSERT_TRUE(test::waitFor([this] { return step1->tableView()->model()->rowCount() == 2; }));
    EXPECT_TRUE(step1->emptyListLabel()->isHidden());
    EXPECT_FALSE(step1->tableView()->model()->index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(step1->tableView()->model()->index(1, 0).data().toString(), QStringLiteral("Second"));

    const QUrl episode = episodeURL();
    ASSERT_TRUE(dropOnStep1({episode}));
    EXPECT_EQ(step1->viewModel().state(), SelectTemplateInteractionState::FileSelectedAndTemplateNotSelected);
    EXPECT_TRUE(step1->chooseFileButton()->isHidden());
    EXPECT_FALSE(step1->chosenFileLabel()->isHidden());
    EXPECT_EQ(step1->chosenFileLabel()->text(), QStringLiteral("Folge 3 \u00fcber Lerchen.mp3"));
    EXPECT_EQ(step1->viewModel().artworkName(), QStringLiteral("ChooseYourPodcast"));
    EXPECT_FALSE(next().isEnabled());
    EXPECT_EQ(frame->fileURL(), episode);

    clickTemplateRow(1);
    EXPECT_EQ(step1->viewModel().selectedItemIndex(), 1);
    EXPECT_TRUE(next().isEnabled());
    EXPECT_EQ(step1->viewModel().artworkName(), QStringLiteral("AudioDropzoneFileOK"));
    EXPECT_EQ(frame->podcastTitle(), QStringLiteral("Second"));
    EXPECT_EQ(frame->artworkURL(), QUrl::fromLocalFile(cover));

    clickTemplateRow(-1);
    EXPECT_FALSE(step1->viewModel().selectedItemIndex());
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(frame->podcastTitle());
}

TEST_F(SelectTemplateScreenTest, TheOpenPanelAsksForOneMP3File)
{
    const QUrl episode = episodeURL();
    answerOpenPanel(QList<QUrl>{episode});
    QTest::mouseClick(step1->chooseFileButton(), Qt::LeftButton);
    ASSERT_TRUE(lastPanelOptions);
    EXPECT_EQ(lastPanelOptions->allowedFileTypes, QStringList{QStringLiteral("mp3")});
    EXPECT_TRUE(lastPanelOptions->canChooseFiles);
    EXPECT_FALSE(lastPanelOptions->canChooseDirectories);
    EXPECT_FALSE(lastPanelOptions->allowsMultipleSelection);
    EXPECT_EQ(step1->viewModel().fileURL(), episode);
    EXPECT_EQ(frame->fileURL(), episode);
}

TEST_F(SelectTemplateScreenTest, CancellingTheOpenPanelChangesNothing)
{
    answerOpenPanel(std::nullopt);
    QTest::mouseClick(step1->chooseFileButton(), Qt::LeftButton);
    EXPECT_TRUE(lastPanelOptions);
    EXPECT_FALSE(step1->viewModel().fileURL());
    EXPECT_FALSE(step1->chooseFileButton()->isHidden());
}

TEST_F(SelectTemplateScreenTest, ANewTemplateClearsTheSelectionAndAppearsAtTheEnd)
{
    insertTemplate(QStringLiteral("First"));
    ASSERT_TRUE(dropOnStep1({episodeURL()}));
    clickTemplateRow(0);
    ASSERT_TRUE(next().isEnabled());

    insertTemplate(QStringLiteral("Later"));
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(step1->viewModel().selectedItemIndex());
    EXPECT_TRUE(step1->tableView()->selectionModel()->selectedRows().isEmpty());
    ASSERT_TRUE(test::waitFor([this] { return step1->tableView()->model()->rowCount() == 2; }));
    EXPECT_EQ(step1->tableView()->model()->index(1, 0).data().toString(), QStringLiteral("Later"));
}

TEST_F(SelectTemplateScreenTest, NextHandsStep2TheTemplateAndComingBackClearsTheChoice)
{
    insertTemplate(QStringLiteral("First"));
    const qint64 second = insertTemplate(QStringLiteral("Second"));
    const QUrl episode = episodeURL();
    ASSERT_TRUE(dropOnStep1({episode}));
    clickTemplateRow(1);
    QTest::mouseClick(&next(), Qt::LeftButton);

    ASSERT_EQ(visible(), step2.get());
    EXPECT_EQ(step2->selectedTemplateID(), second);
    EXPECT_EQ(step2->fileURL(), episode);
    EXPECT_EQ(frame->podcastTitle(), QStringLiteral("Second album")) << "step 2 copied its form";

    QTest::mouseClick(&back(), Qt::LeftButton);
    ASSERT_EQ(visible(), step1.get());
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(cancel().isEnabled());
    EXPECT_FALSE(step1->viewModel().fileURL());
    EXPECT_FALSE(step1->viewModel().selectedItemIndex());
    EXPECT_FALSE(frame->fileURL());
    EXPECT_FALSE(frame->podcastTitle());
    EXPECT_FALSE(frame->artworkURL());
    EXPECT_EQ(frame->episodeTitle(), QStringLiteral("")) << "step 2's fields keep their values";
}

TEST_F(SelectTemplateScreenTest, TheNewTemplateButtonAndMenuItemOpenOneWindow)
{
    QTest::mouseClick(step1->newTemplateButton(), Qt::LeftButton);
    QWidget* window = step1->createTemplateWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    step1->newTemplateAction()->trigger();
    EXPECT_EQ(step1->createTemplateWindow(), window);
    window->close();
}

TEST_F(SelectTemplateScreenTest, ControlsCarryNamesForScreenReaders)
{
    for (QWidget* control : std::initializer_list<QWidget*>{step1->tableView(), step1->dropLocationView(),
                                                            step1->chosenFileLabel()})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
    EXPECT_EQ(step1->dropLocationView()->focusPolicy(), Qt::StrongFocus);
}

} // namespace
} // namespace airlark
