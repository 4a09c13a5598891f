// Step 1 on screen, and the template window it opens: real widgets in the real workflow frame, over
// a real store, with real images made in the test.
#include "WorkflowFixture.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "store/SQLite.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <set>

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
    ASSERT_TRUE(test::waitFor([this] {
        return step1->tableView()->model()->index(2, 0).data().toString() == QStringLiteral("Later");
    })) << "appears at the end";
    EXPECT_FALSE(thumbnail(0).isNull() || thumbnail(1).isNull());
}

// A taken drop chooses its first file; a refused one leaves step 1 as it was (which drops the rule
// takes is MetadataRulesTest's table).
TEST_F(SelectTemplateScreenTest, TakesOnlyALocalMP3File)
{
    const auto file = [this](const char* name) {
        return QUrl::fromLocalFile(mp3File(QString::fromUtf8(name)));
    };
    const QUrl episode = file("Episode 7.MP3");
    // The drop area draws its picture when painted, and another once it holds an episode.
    const auto picture = [this] { return step1->dropLocationView()->grab().toImage().scaled(24, 24); };
    const auto colours = [](const QImage& image) {
        std::set<QRgb> seen;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                seen.insert(image.pixel(x, y));
        return seen.size();
    };
    const QImage waiting = picture();
    EXPECT_GT(colours(waiting), 2u);
    EXPECT_TRUE(dropOnStep1({episode, file("notes.txt")}));
    EXPECT_FALSE(dropOnStep1({file("one.wav"), file("two.mp3")}));
    EXPECT_EQ(frame->fileURL(), episode);
    EXPECT_NE(picture(), waiting);
    EXPECT_FALSE(step1->dropLocationView()->highlight());
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
    // Step 1 read the list when it came on screen: the lock is taken once that read is over, and
    // waits out any other read of the store still under way (readers keep writers out).
    ASSERT_TRUE(test::waitFor([this] { return !step1->viewModel().isReadingTemplates(); }));
    sqlite::Connection holder = std::move(sqlite::Connection::open(databasePath())).value();
    holder.setBusyTimeout(std::chrono::seconds(20));
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

// The template window, opened from step 1.
class CreateTemplateScreenTest : public test::WorkflowFixture
{
protected:
    void SetUp() override
    {
        WorkflowFixture::SetUp();
        QTest::mouseClick(step1->newTemplateButton(), Qt::LeftButton);
        window = step1->createTemplateWindow();
        screen = qobject_cast<CreateID3TemplateViewController*>(window.data());
        ASSERT_TRUE(screen && window->isWindow() && window->isVisible());
        step1->newTemplateAction()->trigger();
        ASSERT_EQ(step1->createTemplateWindow(), window) << "the menu item raises the same window";
    }
    void TearDown() override
    {
        delete window.data();
        WorkflowFixture::TearDown();
    }

    // Chooses `url` in the artwork panel (nothing: cancelled) and waits for its check.
    void chooseArtwork(std::optional<QUrl> url)
    {
        answerOpenPanel(url ? std::optional<QList<QUrl>>(QList<QUrl>{*url}) : std::nullopt);
        QTest::mouseClick(screen->chooseArtworkButton(), Qt::LeftButton);
        if (url) {
            // The image is read on a worker: the window answers while it is.
            EXPECT_TRUE(screen->viewModel().isCheckingArtwork());
            EXPECT_FALSE(screen->saveButton()->isEnabled());
        }
        ASSERT_TRUE(test::waitFor([this] { return !screen->viewModel().isCheckingArtwork(); }));
    }

    void fill(const QString& podcast, const QString& artist)
    {
        screen->albumField()->clear();
        QTest::keyClicks(screen->albumField(), podcast);
        screen->artistField()->clear();
        QTest::keyClicks(screen->artistField(), artist);
    }

    // Presses Save and waits for the window to close or the save to end.
    void save()
    {
        QTest::mouseClick(screen->saveButton(), Qt::LeftButton);
        ASSERT_TRUE(test::waitFor([this] { return window.isNull() || !screen->viewModel().isSaving(); }));
    }

    QPointer<QWidget> window;
    CreateID3TemplateViewController* screen = nullptr;
};

// Keeps a copy of the artwork, so that the template survives its original being moved, and the
// podcast fields beside the template (filling the form and saving a new template is also the
// end-to-end runs'). Edited from step 1, the template shows what it keeps and takes new values and
// new artwork, and step 1's list reads them.
TEST_F(CreateTemplateScreenTest, SavingKeepsACopyOfTheArtworkAndThePodcastFieldsAndEditingRewritesThem)
{
    const QString cover = imageFile(QStringLiteral("cover.jpg"), 3000, 3000);
    const QByteArray bytes = test::readFile(cover);
    fill(QStringLiteral("The Lark"), QStringLiteral("Ada"));
    screen->genreField()->setText(QStringLiteral("Natur & Wissen"));
    QTest::keyClicks(screen->seasonField(), QStringLiteral("3x"));
    QTest::keyClicks(screen->feedURLField(), QStringLiteral("https://lark.example/feed.xml"));
    screen->explicitCheckBox()->setChecked(true);
    EXPECT_FALSE(screen->saveButton()->isEnabled()) << "no artwork yet";
    chooseArtwork(QUrl::fromLocalFile(cover));
    EXPECT_FALSE(screen->saveButton()->isEnabled()) << "a season that is not a number";
    QTest::keyClick(screen->seasonField(), Qt::Key_Backspace);
    save();

    EXPECT_TRUE(test::waitFor([this] { return window.isNull(); })) << "closed and deleted";
    const auto list = ID3Template::selectAll(*database);
    ASSERT_EQ(list.size(), 1u);
    const auto stored = list.front();
    ASSERT_TRUE(stored.artworkURL);
    PodcastTagValues fields;
    fields.genre = QStringLiteral("Natur & Wissen");
    fields.seasonNumber = 3;
    fields.feedURL = QStringLiteral("https://lark.example/feed.xml");
    fields.explicitContent = true;
    EXPECT_EQ(TemplatePodcastFields::find(*database, stored.id), fields);
    ASSERT_TRUE(QFile::rename(cover, files.filePath(QStringLiteral("moved.jpg"))));
    EXPECT_EQ(test::readFile(stored.artworkURL->toLocalFile()), bytes);

    clickTemplateRow(0);
    step1->editTemplateAction()->trigger();
    window = step1->editTemplateWindow();
    screen = qobject_cast<CreateID3TemplateViewController*>(window.data());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(test::waitFor([this] {
        return !screen->viewModel().isLoadingTemplate() && !screen->viewModel().isCheckingArtwork();
    }));
    EXPECT_EQ(screen->albumField()->text(), QStringLiteral("The Lark"));
    EXPECT_EQ(screen->viewModel().podcastFields().templateFields(), fields);
    EXPECT_EQ(screen->artworkFactsLabel()->text(), QStringLiteral("3000\u00d73000 JPEG"));
    chooseArtwork(std::nullopt);
    ASSERT_TRUE(screen->saveButton()->isEnabled())
        << "the stored artwork counts as chosen; cancelling keeps it";
    screen->artistField()->selectAll();
    QTest::keyClick(screen->artistField(), Qt::Key_Backspace);
    EXPECT_FALSE(screen->saveButton()->isEnabled()) << "no artist";

    QTest::keyClicks(screen->artistField(), QStringLiteral(" "));
    EXPECT_TRUE(screen->saveButton()->isEnabled()) << "white space counts as content";
    screen->seasonField()->clear();
    chooseArtwork(QUrl::fromLocalFile(imageFile(QStringLiteral("new.png"), 1400, 1400)));
    save();
    EXPECT_TRUE(test::waitFor([this] { return window.isNull(); }));
    const auto edited = ID3Template::find(*database, stored.id);
    ASSERT_TRUE(edited && edited->artworkURL);
    EXPECT_EQ(edited->tags.artist, QStringLiteral(" "));
    EXPECT_TRUE(edited->artworkURL->toLocalFile().endsWith(QLatin1String(".png")));
    EXPECT_FALSE(TemplatePodcastFields::find(*database, stored.id).seasonNumber);
    EXPECT_EQ(ID3Template::selectAll(*database).size(), 1u) << "rewritten, not added";
    EXPECT_TRUE(test::waitFor([&] {
        const auto& shown = step1->viewModel().cachedTemplates;
        return !shown.empty() && shown.front().artworkURL == edited->artworkURL;
    }));
}

// Every file is chosen after an image that meets every rule: a refused file leaves that choice in
// place, an image that breaks a rule replaces it with a warning.
TEST_F(CreateTemplateScreenTest, ChecksTheChosenImageAgainstTheDirectoriesRules)
{
    const struct
    {
        const char* name;
        const char* fileName;
        std::function<QByteArray()> bytes;
        QString facts;  // empty: refused
        QString notice; // what the window says about it
    } rules[] = {
        // clang-format off
        {"NotAnImage", "notes.jpg", [] { return QByteArray("Show notes, not a picture.\n"); }, {},
         "\u201cnotes.jpg\u201d is not an image: choose a JPEG or PNG file."},
        {"Bitmap", "cover.png", [] { return test::imageBytes(1400, 1400, "BMP"); }, "1400\u00d71400 BMP",
         "1400\u00d71400 BMP: directories ask for JPEG or PNG"},
        {"Largest", "cover.jpg", [] { return test::jpegBytes(3000, 3000); }, "3000\u00d73000 JPEG", {}}};
    // clang-format on
    fill(QStringLiteral("Lark"), QStringLiteral("Ada"));
    for (const auto& rule : rules) {
        SCOPED_TRACE(rule.name);
        chooseArtwork(QUrl::fromLocalFile(imageFile(QStringLiteral("earlier.png"), 1400, 1400)));
        ASSERT_EQ(screen->artworkFactsLabel()->text(), QStringLiteral("1400\u00d71400 PNG"));
        ASSERT_TRUE(screen->artworkNoticeLabel()->isHidden());

        const QString path = files.filePath(QString::fromLatin1(rule.fileName));
        ASSERT_TRUE(test::writeFile(path, rule.bytes()));
        chooseArtwork(QUrl::fromLocalFile(path));

        const bool accepted = !rule.facts.isEmpty();
        EXPECT_EQ(QStringList({screen->artworkFileLabel()->text(), screen->artworkFactsLabel()->text(),
                               screen->artworkNoticeLabel()->text()}),
                  QStringList({accepted ? QString::fromLatin1(rule.fileName) : "earlier.png",
                               accepted ? rule.facts : QStringLiteral("1400\u00d71400 PNG"), rule.notice}));
        EXPECT_EQ(screen->artworkNoticeLabel()->isHidden(), rule.notice.isEmpty());
        EXPECT_FALSE(screen->artworkImageView()->image().isNull());
        EXPECT_TRUE(screen->saveButton()->isEnabled());
        // Whatever the file's type, a tag gets a JPEG or a PNG (a bitmap is re-encoded).
        const std::optional<EmbeddedArtwork>& tagged = screen->viewModel().artworkCheck()->artwork;
        ASSERT_TRUE(tagged);
        EXPECT_TRUE(tagged->mimeType() == QLatin1String("image/png") ||
                    tagged->data() == test::readFile(path));
    }
}

// A name that is empty or taken, a feed not on the web, or a store that cannot be written keeps the
// window open and says why.
TEST_F(CreateTemplateScreenTest, ARefusedSaveKeepsTheWindowOpenAndSaysWhy)
{
    insertTemplate(QStringLiteral("Taken"));
    ASSERT_TRUE(test::waitFor([this] { return step1->viewModel().cachedTemplates.size() == 1; }));
    chooseArtwork(QUrl::fromLocalFile(imageFile(QStringLiteral("cover.png"))));
    const struct
    {
        QString podcast, feedURL;
        const char* error;
    } refusals[] = {{"", {}, "Name"},
                    {"Taken", {}, "Save"},
                    {"Elsewhere", "ftp://lark.example/feed.xml", "Fields"},
                    {"Elsewhere", {}, "Database"}}; // a file where the data directory should be
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.error);
        fill(refusal.podcast, QStringLiteral("Ada"));
        screen->feedURLField()->setText(refusal.feedURL);
        if (refusal.error == std::string("Database")) {
            QDir(test::dataDirectory()).removeRecursively();
            ASSERT_TRUE(test::writeFile(test::dataDirectory(), "not a folder"));
        }
        test::StandardOutputCapture output;
        screen->savePressed(); // the button is off for an empty name; the action still refuses it
        ASSERT_TRUE(test::waitFor([this] { return !screen->viewModel().isSaving(); }));
        EXPECT_EQ(output.release(),
                  QStringList{QStringLiteral("Handle error ID3TemplateFieldValidationError.") +
                              QLatin1String(refusal.error)});
        EXPECT_TRUE(window && window->isVisible());
        EXPECT_FALSE(screen->errorLabel()->isHidden() || screen->errorLabel()->text().isEmpty());
    }
    QFile::remove(test::dataDirectory());
    EXPECT_EQ(ID3Template::selectAll(*database).size(), 1u);
}

} // namespace
} // namespace airlark
