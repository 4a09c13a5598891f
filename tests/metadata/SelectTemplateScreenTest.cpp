// Step 1 on screen: real widgets in the real workflow frame, over a real store.
#include "WorkflowFixture.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "store/SQLite.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QDir>
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

// A dropped file and a chosen template enable Next; a new template clears the choice.
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

    const QUrl episode = QUrl::fromLocalFile(mp3File(QStringLiteral("Folge 3 \u00fcber Lerchen.mp3")));
    ASSERT_TRUE(dropOnStep1({episode}));
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
    EXPECT_TRUE(step1->tableView()->selectionModel()->selectedRows().isEmpty());
    ASSERT_TRUE(test::waitFor([this] {
        return step1->tableView()->model()->index(2, 0).data().toString() == QStringLiteral("Later");
    })) << "appears at the end";
    EXPECT_FALSE(thumbnail(0).isNull() || thumbnail(1).isNull());

    clickTemplateRow(0);
    EXPECT_TRUE(next().isEnabled());
    clickTemplateRow(-1);
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(frame->podcastTitle());

    // The button and the menu item open the same window.
    QTest::mouseClick(step1->newTemplateButton(), Qt::LeftButton);
    QWidget* window = step1->createTemplateWindow();
    ASSERT_TRUE(window && window->isVisible() && window->isWindow());
    step1->newTemplateAction()->trigger();
    EXPECT_EQ(step1->createTemplateWindow(), window);
    window->close();
}

struct Drop
{
    const char* name;
    QStringList files; // in the test's folder; a web address as it is
    bool accepted;
};

class SelectTemplateDropTest : public SelectTemplateScreenTest, public ::testing::WithParamInterface<Drop>
{
};

// Only a local MP3 file is taken (the first of several); anything else leaves step 1 as it was.
TEST_P(SelectTemplateDropTest, TakesOnlyALocalMP3File)
{
    QList<QUrl> urls;
    for (const QString& name : GetParam().files)
        urls << (name.startsWith(QLatin1String("https:")) ? QUrl(name) : QUrl::fromLocalFile(mp3File(name)));
    EXPECT_EQ(dropOnStep1(urls), GetParam().accepted);
    EXPECT_EQ(frame->fileURL(), GetParam().accepted ? std::optional<QUrl>(urls.front()) : std::nullopt);
    EXPECT_FALSE(step1->dropLocationView()->highlight());
}

INSTANTIATE_TEST_SUITE_P(Drops, SelectTemplateDropTest,
                         ::testing::Values(Drop{"Mp3ThenText", {"Episode 7.MP3", "notes.txt"}, true},
                                           Drop{"Wav", {"episode.wav"}, false},
                                           Drop{"WavThenMp3", {"one.wav", "two.mp3"}, false},
                                           Drop{"NoExtension", {"episode"}, false},
                                           Drop{"OnlyAnExtension", {".mp3"}, false},
                                           Drop{"NoFiles", {}, false},
                                           Drop{"WebAddress", {"https://example.org/episode.mp3"}, false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The panel opens from the button and from the keyboard (Space on the drop area).
TEST_F(SelectTemplateScreenTest, TheOpenPanelAsksForOneMP3FileAndCancellingItChangesNothing)
{
    answerOpenPanel(std::nullopt);
    step1->dropLocationView()->setFocus();
    QTest::keyClick(step1->dropLocationView(), Qt::Key_Space);
    ASSERT_TRUE(lastPanelOptions);
    EXPECT_FALSE(step1->viewModel().fileURL());
    const QUrl episode = QUrl::fromLocalFile(mp3File(QStringLiteral("episode.mp3")));
    answerOpenPanel(QList<QUrl>{episode});
    QTest::mouseClick(step1->chooseFileButton(), Qt::LeftButton);
    EXPECT_EQ(lastPanelOptions->allowedFileTypes, QStringList{QStringLiteral("mp3")});
    EXPECT_FALSE(lastPanelOptions->allowsMultipleSelection);
    EXPECT_EQ(frame->fileURL(), episode);
}

struct TemplateChange
{
    const char* name;
    int key;        // F2 renames in place, Delete asks first
    QString answer; // the new name, or the confirmation's button
    QStringList after;
    QString problem; // what step 1 says under the list
};

class ManageTemplatesTest : public SelectTemplateScreenTest,
                            public ::testing::WithParamInterface<TemplateChange>
{
};

// From the keyboard, on the chosen template; every open list follows, and the choice follows its
// template.
TEST_P(ManageTemplatesTest, ChangesTheChosenTemplateInEveryOpenList)
{
    const TemplateChange& change = GetParam();
    insertTemplate(QStringLiteral("First"));
    insertTemplate(QStringLiteral("Second"));
    SelectTemplateViewController otherWindow({});
    const auto names = [](SelectTemplateViewController& screen) {
        QStringList shown;
        for (int row = 0; row < screen.tableView()->model()->rowCount(); ++row)
            shown << screen.tableView()->model()->index(row, 0).data().toString();
        return shown;
    };
    clickTemplateRow(1);
    QListView* list = step1->tableView();
    list->activateWindow();
    list->setFocus();
    QTest::keyClick(list, Qt::Key(change.key));
    if (change.key == Qt::Key_F2) {
        auto* editor = list->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, change.answer);
        QTest::keyClick(editor, Qt::Key_Return);
    } else {
        auto* box = frame->findChild<QMessageBox*>(QStringLiteral("deleteConfirmation"));
        ASSERT_TRUE(box);
        EXPECT_TRUE(box->text().contains(QStringLiteral("\u201cSecond\u201d")));
        box->findChild<QPushButton*>(change.answer)->click();
    }
    EXPECT_TRUE(test::waitFor([&] {
        return names(*step1) == change.after && names(otherWindow) == change.after;
    })) << names(*step1).join(u',').toStdString();
    EXPECT_TRUE(test::waitFor([&] { return step1->templateProblemLabel()->text() == change.problem; }));
    EXPECT_EQ(step1->viewModel().selectedTemplate().has_value(), change.after.size() == 2);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ManageTemplatesTest,
    ::testing::Values(TemplateChange{"Rename", Qt::Key_F2, "Third", {"First", "Third"}, {}},
                      TemplateChange{
                          "RenameToATakenName",
                          Qt::Key_F2,
                          "First",
                          {"First", "Second"},
                          "A template named \u201cFirst\u201d already exists. Choose another name."},
                      TemplateChange{"Delete", Qt::Key_Delete, "deleteButton", {"First"}, {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A store that cannot be read says so (not "No templates yet"), is left as it was, and is read
// off the main thread, which keeps handling events while a lock is waited out.
TEST_F(SelectTemplateScreenTest, AStoreThatCannotBeReadSaysSoAndIsLeftUntouched)
{
    const QString file = test::dataDirectory() + QStringLiteral("/database.sqlite3");
    for (const char* fault : {"folder", "corrupt", "locked"}) {
        SCOPED_TRACE(fault);
        QDir(test::dataDirectory()).removeRecursively();
        std::optional<sqlite::Connection> holder;
        if (fault == std::string("folder")) {
            ASSERT_TRUE(test::writeFile(test::dataDirectory(), "a file where the data directory should be"));
        } else if (fault == std::string("corrupt")) {
            ASSERT_TRUE(test::writeFile(file, QByteArray("SQLite format 3").append(4096, '\x5a')));
        } else {
            ASSERT_FALSE(Database::open()->createTables());
            holder.emplace(std::move(sqlite::Connection::open(file)).value());
            ASSERT_FALSE(holder->execute(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        const QByteArray before =
            test::readFile(fault == std::string("folder") ? test::dataDirectory() : file);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(50);
        SelectTemplateViewModel viewModel;
        viewModel.reloadTemplates();
        ASSERT_TRUE(test::waitFor([&] { return !viewModel.isReadingTemplates(); }));
        EXPECT_TRUE(viewModel.cachedTemplates.empty());
        EXPECT_TRUE(viewModel.templatesFailure());
        EXPECT_EQ(test::readFile(fault == std::string("folder") ? test::dataDirectory() : file), before);
        if (holder) {
            EXPECT_GT(ticks, 20) << "the window kept handling events while the lock was waited out";
        }
        QFile::remove(test::dataDirectory());
    }
}

} // namespace
} // namespace airlark
