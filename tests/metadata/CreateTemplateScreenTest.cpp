// The template window, opened from step 1, with real widgets over a real store and real images
// made in the test.
#include "WorkflowFixture.h"
#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace airlark {
namespace {

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
    const TemplatePodcastFields fields{QStringLiteral("Natur & Wissen"), 3,
                                       QStringLiteral("https://lark.example/feed.xml"), true};
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
    EXPECT_EQ(edited->artist, QStringLiteral(" "));
    EXPECT_TRUE(edited->artworkURL->toLocalFile().endsWith(QLatin1String(".png")));
    EXPECT_FALSE(TemplatePodcastFields::find(*database, stored.id).season);
    EXPECT_EQ(ID3Template::selectAll(*database).size(), 1u) << "rewritten, not added";
    EXPECT_TRUE(test::waitFor([&] {
        const auto& shown = step1->viewModel().cachedTemplates;
        return !shown.empty() && shown.front().artworkURL == edited->artworkURL;
    }));
}

QByteArray cmykJpeg()
{
    QTemporaryDir dir;
    const QString rgb = dir.filePath(QStringLiteral("rgb.jpg"));
    const QString cmyk = dir.filePath(QStringLiteral("cmyk.jpg"));
    test::writeFile(rgb, test::jpegBytes(1400, 1400));
    QProcess::execute(QStringLiteral("/usr/bin/convert"),
                      {rgb, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), cmyk});
    return test::readFile(cmyk);
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
        {"NotAnImage",
         "notes.jpg",
         [] { return QByteArray("Show notes, not a picture.\n"); },
         {},
         "\u201cnotes.jpg\u201d is not an image: choose a JPEG or PNG file."},
        {"CMYK", "print.jpg", cmykJpeg, "1400\u00d71400 JPEG in CMYK",
         "1400\u00d71400 JPEG in CMYK: directories ask for RGB colour"},
        {"Greyscale", "grey.png", [] { return test::imageBytes(1400, 1400, "PNG", true); },
         "1400\u00d71400 PNG in greyscale",
         "1400\u00d71400 PNG in greyscale: directories ask for RGB colour"},
        {"Bitmap", "cover.png", [] { return test::imageBytes(1400, 1400, "BMP"); }, "1400\u00d71400 BMP",
         "1400\u00d71400 BMP: directories ask for JPEG or PNG"},
        {"TooLargeAndNotSquare", "huge.jpg", [] { return test::jpegBytes(3200, 3000); },
         "3200\u00d73000 JPEG",
         "3200\u00d73000 JPEG: directories ask for a square image, at most 3000\u00d73000"},
        {"Largest", "cover.jpg", [] { return test::jpegBytes(3000, 3000); }, "3000\u00d73000 JPEG", {}}};
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
