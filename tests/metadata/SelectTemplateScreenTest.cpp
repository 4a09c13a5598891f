// Step 1 on screen: real widgets in the real workflow frame, over a real store.
#include "WorkflowFixture.h"
#include "metadata/ui/FileDropLocationView.h"
#include "store/SQLite.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace airlark {
namespace {

using SelectTemplateScreenTest = test::WorkflowFixture;

// A chosen file and a chosen template enable Next; a new template clears the choice.
TEST_F(SelectTemplateScreenTest, AFileAndATemplateEnableNextUntilTheListChanges)
{
    EXPECT_FALSE(step1->emptyListLabel()->isHidden()) << "says how to make the first template";
    const QString cover = imageFile(QStringLiteral("cover.jpg"), 3000, 3000);
    insertTemplate(QStringLiteral("First"), files.filePath(QStringLiteral("later.png")));
    insertTemplate(QStringLiteral("Second"), cover);
    // The list was read when the step came on screen; a new template reloads it.
    ASSERT_TRUE(test::waitFor([this] { return step1->tableView()->model()->rowCount() == 2; }));
    EXPECT_TRUE(step1->emptyListLabel()->isHidden());
    const auto thumbnail = [this](int row) {
        return step1->tableView()->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
    };
    EXPECT_TRUE(thumbnail(0).isNull());
    const QSize side = thumbnail(1).availableSizes().value(0);
    EXPECT_TRUE(!side.isEmpty() &&
                qMax(side.width(), side.height()) <= SelectTemplateViewModel::ThumbnailSide);

    // Space on the drop area opens the panel, which asks for one MP3 file (dropping is the table's).
    const QUrl episode = QUrl::fromLocalFile(mp3File(QStringLiteral("Folge 3 \u00fcber Lerchen.mp3")));
    answerOpenPanel(QList<QUrl>{episode});
    step1->dropLocationView()->setFocus();
    QTest::keyClick(step1->dropLocationView(), Qt::Key_Space);
    ASSERT_TRUE(lastPanelOptions);
    EXPECT_EQ(lastPanelOptions->allowedFileTypes, QStringList{QStringLiteral("mp3")});
    EXPECT_FALSE(lastPanelOptions->allowsMultipleSelection);
    EXPECT_FALSE(next().isEnabled());
    EXPECT_EQ(frame->fileURL(), episode);

    // The arrow keys choose a template as a click does, from the first row on.
    step1->tableView()->setFocus();
    QTest::keyClick(step1->tableView(), Qt::Key_Down);
    EXPECT_EQ(frame->podcastTitle(), QStringLiteral("First"));
    QTest::keyClick(step1->tableView(), Qt::Key_Down);
    EXPECT_TRUE(next().isEnabled());
    EXPECT_EQ(frame->podcastTitle(), QStringLiteral("Second"));
    EXPECT_EQ(frame->artworkURL(), QUrl::fromLocalFile(cover));

    // A thumbnail is read once; one that failed is tried again.
    ASSERT_TRUE(QFile::remove(cover));
    imageFile(QStringLiteral("later.png"));
    insertTemplate(QStringLiteral("Later"));
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(frame->podcastTitle());
    EXPECT_TRUE(step1->tableView()->selectionModel()->selectedRows().isEmpty());
    ASSERT_TRUE(test::waitFor([this] {
        return step1->tableView()->model()->index(2, 0).data().toString() == QStringLiteral("Later");
    })) << "appears at the end";
    EXPECT_FALSE(thumbnail(0).isNull() || thumbnail(1).isNull());
}

// Only a local MP3 file is taken (the first of several); anything else leaves step 1 as it was.
TEST_F(SelectTemplateScreenTest, TakesOnlyALocalMP3File)
{
    const struct
    {
        QStringList files; // in the test's folder; a web address as it is
        bool accepted;
    } drops[] = {{{"Episode 7.MP3", "notes.txt"}, true},
                 {{"episode.wav"}, false},
                 {{"one.wav", "two.mp3"}, false},
                 {{"episode"}, false},
                 {{".mp3"}, false},
                 {{}, false},
                 {{"https://example.org/episode.mp3"}, false}};
    std::optional<QUrl> chosen;
    for (const auto& drop : drops) {
        SCOPED_TRACE(drop.files.join(u',').toStdString());
        QList<QUrl> urls;
        for (const QString& name : drop.files)
            urls << (name.startsWith(QLatin1String("https:")) ? QUrl(name)
                                                              : QUrl::fromLocalFile(mp3File(name)));
        EXPECT_EQ(dropOnStep1(urls), drop.accepted);
        if (drop.accepted)
            chosen = urls.front();
        EXPECT_EQ(frame->fileURL(), chosen);
        EXPECT_FALSE(step1->dropLocationView()->highlight());
    }
}

// From the keyboard, on the chosen template, and the choice follows its template. The list learns
// of the change as every open list does, from the store's notice. (Keep, and Return never deleting,
// are the account list's: both lists share the actions.)
TEST_F(SelectTemplateScreenTest, RenamesAndDeletesTheChosenTemplate)
{
    insertTemplate(QStringLiteral("First"));
    insertTemplate(QStringLiteral("Second"));
    const auto shown = [&](const QStringList& expected) {
        return test::waitFor([&] {
            QStringList names;
            for (int row = 0; row < step1->tableView()->model()->rowCount(); ++row)
                names << step1->tableView()->model()->index(row, 0).data().toString();
            return names == expected;
        });
    };
    clickTemplateRow(1);
    QListView* list = step1->tableView();
    list->activateWindow();
    list->setFocus();
    for (const QString& name : {QStringLiteral("First"), QStringLiteral("Third")}) {
        QTest::keyClick(list, Qt::Key_F2);
        auto* editor = list->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, name);
        QTest::keyClick(editor, Qt::Key_Return);
        if (name == QStringLiteral("First")) {
            EXPECT_TRUE(test::waitFor([&] {
                return step1->templateProblemLabel()->text() ==
                       QStringLiteral(
                           "A template named \u201cFirst\u201d already exists. Choose another name.");
            }));
            EXPECT_TRUE(shown({"First", "Second"}));
        }
    }
    EXPECT_TRUE(shown({"First", "Third"}));
    EXPECT_TRUE(test::waitFor([&] { return step1->templateProblemLabel()->text().isEmpty(); }));
    EXPECT_TRUE(step1->viewModel().selectedTemplate());

    QTest::keyClick(list, Qt::Key_Delete);
    auto* box = frame->findChild<QMessageBox*>(QStringLiteral("deleteConfirmation"));
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().contains(QStringLiteral("\u201cThird\u201d")));
    box->findChild<QPushButton*>(QStringLiteral("deleteButton"))->click();
    EXPECT_TRUE(shown({"First"}));
    EXPECT_FALSE(step1->viewModel().selectedTemplate());
}

// A store another program holds locked says so (not "No templates yet", the same failure any
// unreadable store gives), and is read off the main thread, which keeps handling events while the
// lock is waited out (what a corrupt store gives, and that it is left alone, are the store's tests').
TEST_F(SelectTemplateScreenTest, ALockedStoreSaysSoWithoutHoldingUpTheWindow)
{
    sqlite::Connection holder = std::move(sqlite::Connection::open(databasePath())).value();
    ASSERT_FALSE(holder.execute(QStringLiteral("BEGIN EXCLUSIVE")));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    SelectTemplateViewModel viewModel;
    viewModel.reloadTemplates();
    ASSERT_TRUE(test::waitFor([&] { return !viewModel.isReadingTemplates(); }));
    EXPECT_TRUE(viewModel.cachedTemplates.empty() && viewModel.templatesFailure());
    EXPECT_GT(ticks, 20) << "the window kept handling events while the lock was waited out";
}

} // namespace
} // namespace airlark
