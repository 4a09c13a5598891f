// Step 2 on screen, reached from step 1 in the real workflow frame, writing real MP3 files.
#include "TagReader.h"
#include "WorkflowFixture.h"
#include "metadata/FileSystemMetadata.h"
#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/QuestionSheet.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTime>
#include <atomic>
#include <map>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <thread>

namespace airlark {
namespace {

class EditMetadataScreenTest : public test::WorkflowFixture
{
protected:
    // Chooses `episode` and the first template in step 1, moves on to step 2 and waits until the
    // template's artwork is read.
    void reachStep2(const QString& episode)
    {
        if (visible() != step1.get())
            QTest::mouseClick(&cancel(), Qt::LeftButton);
        ASSERT_TRUE(dropOnStep1({QUrl::fromLocalFile(episode)}));
        clickTemplateRow(0);
        QTest::mouseClick(&next(), Qt::LeftButton);
        ASSERT_EQ(visible(), step2.get());
        ASSERT_TRUE(test::waitFor([this] {
            return !step2->viewModel().isLoadingTemplate() && !step2->viewModel().isLoadingArtwork();
        }));
        EXPECT_TRUE(next().isEnabled());
    }

    qint64 lastEpisodeTemplate()
    {
        cover = imageFile(QStringLiteral("cover.jpg"), 300, 300);
        return insertTemplate(QStringLiteral("Lark"), cover, QStringLiteral("Untitled"),
                              QStringLiteral("Episode 41"));
    }

    std::optional<QString> lastEpisodeTitle(qint64 id)
    {
        const auto found = ID3Template::find(*database, id);
        return found ? found->lastEpisodeTitle : std::nullopt;
    }

    void type(QLineEdit* field, const QString& text)
    {
        // As typed (QTest's key clicks take ASCII only).
        field->selectAll();
        field->insert(text);
    }

    // Presses Save and waits for the save to end.
    void save()
    {
        QTest::mouseClick(&next(), Qt::LeftButton);
        ASSERT_TRUE(test::waitFor([this] { return !step2->viewModel().isSaving(); }));
    }

    // An episode of `seconds` that already carries a title, a cover and two chapters.
    QString taggedEpisode(int seconds = 1)
    {
        const QString episode = mp3File(QStringLiteral("episode.mp3"), seconds);
        PodcastID3TagWriter earlier(QUrl::fromLocalFile(episode));
        earlier.setTitle(QStringLiteral("Episode 7: Already tagged"));
        earlier.setDescription(QStringLiteral("Notes from the file"));
        earlier.setArtwork(EmbeddedArtwork::fromBytes(test::pngBytes(20, 20)));
        earlier.values.podcast.chapters = {{0, 500, QStringLiteral("Old opening")},
                                           {500, 900, QStringLiteral("Old end")}};
        EXPECT_TRUE(earlier.write());
        return episode;
    }

    QString cover;
};

struct PodcastField
{
    const char* name; // the field's object name
    QString value;
    QString fromTemplate; // what the field shows before: the template's value
    QStringList frames;   // that mutagen finds while it is set; the first holds the value
};

const PodcastField PodcastFields[] = {
    {"genreField", "H\u00f6rspiel", "Natur", {"TCON"}},
    {"episodeNumberField", "12", {}, {"TRCK"}},
    {"seasonNumberField", "3", "2", {"TPOS"}},
    {"longDescriptionTextView", "Long notes \U0001F426\nwith links: https://lark.example/12", {}, {"TDES"}},
    {"feedURLField", "https://lark.example/feed.xml", "https://lark.example/t", {"TGID", "WFED", "PCST"}},
    {"explicitCheckBox", "1", "1", {"TXXX:ITUNESADVISORY"}}, // any text ticks it
};

// Sets a line, a text view or a check box (any text ticks it), and returns what it held before.
QString replaceText(QWidget* field, const QString& text)
{
    const bool box = field->inherits("QCheckBox");
    const char* property = box ? "checked" : field->inherits("QLineEdit") ? "text" : "plainText";
    const QVariant was = field->property(property);
    field->setProperty(property, box ? QVariant(!text.isEmpty()) : QVariant(text));
    return box ? QString(was.toBool() ? "1" : "") : was.toString();
}

// Each field starts from the template, is written, shown again from the file when the step is
// reached anew, and removed when cleared; the other frames stay.
TEST_F(EditMetadataScreenTest, PodcastFieldsAreWrittenShownFromTheFileAndRemovedWhenCleared)
{
    PodcastTagValues fields;
    fields.genre = QStringLiteral("Natur");
    fields.seasonNumber = 2;
    fields.feedURL = QStringLiteral("https://lark.example/t");
    fields.explicitContent = true;
    ASSERT_FALSE(TemplatePodcastFields::save(*database, lastEpisodeTemplate(), fields));
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    for (const bool set : {true, false}) {
        reachStep2(episode);
        for (const PodcastField& field : PodcastFields) {
            const QString was = replaceText(step2->findChild<QWidget*>(QString::fromLatin1(field.name)),
                                            set ? field.value : QString());
            EXPECT_EQ(was, set ? field.fromTemplate : field.value) << field.name;
        }
        save();
        ASSERT_EQ(visible(), step3.data());
        const auto mutagen = test::readTagsWithMutagen(episode);
        EXPECT_EQ(mutagen.title, QStringLiteral("Untitled"));
        for (const PodcastField& field : PodcastFields) {
            for (const QString& key : field.frames)
                EXPECT_EQ(mutagen.frameKeys.contains(key), set) << key.toStdString();
            EXPECT_EQ(mutagen.texts.value(field.frames.front()), set ? field.value : QString()) << field.name;
        }
    }
}

struct ChapterList
{
    const char* name;
    std::optional<QString> file; // none: no file loaded
    QStringList chapters;        // "start-end title" in the file after the save; "end" for the episode's end
    QStringList problems;
};

class EditMetadataChapterTest : public EditMetadataScreenTest,
                                public ::testing::WithParamInterface<ChapterList>
{
};

// The episode starts with two chapters of its own: a valid list replaces them, anything else keeps them.
TEST_P(EditMetadataChapterTest, AValidListIsShownAndWrittenAnInvalidOneNamesItsLines)
{
    const ChapterList& list = GetParam();
    lastEpisodeTemplate();
    const QString episode = taggedEpisode(10);
    // The episode's length as TagLib measures it, which the last chapter ends at.
    const TagLib::MPEG::File measured(QFile::encodeName(episode).constData(), true,
                                      TagLib::AudioProperties::Accurate);
    const QString end = QString::number(measured.audioProperties()->lengthInMilliseconds());
    reachStep2(episode);
    if (list.file) {
        const QString path = files.filePath(QStringLiteral("chapters.txt"));
        ASSERT_TRUE(test::writeFile(path, list.file->toUtf8()));
        answerOpenPanel(QList<QUrl>{QUrl::fromLocalFile(path)});
        QTest::mouseClick(step2->loadChaptersButton(), Qt::LeftButton);
        EXPECT_FALSE(next().isEnabled()) << "no save before the list is read";
        ASSERT_TRUE(test::waitFor([this] { return !step2->viewModel().isLoadingChapters(); }));
    }
    const QString endTime =
        QTime::fromMSecsSinceStartOfDay(end.toInt()).toString(QStringLiteral("hh:mm:ss.zzz"));
    EXPECT_EQ(step2->chapterProblemsLabel()->text(),
              list.problems.join(QLatin1Char('\n'))
                  .replace(QStringLiteral("(end)"), QLatin1Char('(') + endTime + QLatin1Char(')')));
    EXPECT_EQ(step2->chapterListView()->count(), list.problems.isEmpty() ? list.chapters.size() : 2);
    save();
    ASSERT_EQ(visible(), step3.data());
    const QStringList expected =
        QStringList(list.chapters)
            .replaceInStrings(QStringLiteral("-end "), QLatin1Char('-') + end + QLatin1Char(' '));
    EXPECT_EQ(test::readTagsWithMutagen(episode).chapters, expected);
    QTest::mouseClick(&back(), Qt::LeftButton);
    EXPECT_EQ(step2->chapterListView()->count(), expected.size())
        << "back at once: the list shows what was written";
}

const QStringList OldChapters{"0-500 Old opening", "500-900 Old end"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lists, EditMetadataChapterTest, ::testing::Values(
    ChapterList{"NoneLoaded", std::nullopt, OldChapters, {}},
    ChapterList{"Clock", "\ufeff00:00:00 Intro\r\n00:00:04.25 Caf\u00e9 talk\r\n\r\n0:00:08 The end\r\n",
                {"0-4250 Intro", "4250-8000 Caf\u00e9 talk", "8000-end The end"}, {}},
    ChapterList{"Empty", "\n \n", OldChapters, {"The file holds no chapters."}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

// A template made before artwork was copied, whose image has since been deleted, and a read-only
// episode with tags of its own: a save that does not go through stays on the step and leaves the
// file alone (the writer's own error cases are its tests'), and once the file can be written, it
// goes through.
TEST_F(EditMetadataScreenTest, ASaveThatDoesNotGoThroughStaysOnTheStepAndCanBeRetried)
{
    const qint64 id = lastEpisodeTemplate();
    QFile::remove(cover);
    const QString episode = taggedEpisode();
    const QByteArray before = test::readFile(episode);
    ASSERT_TRUE(dropOnStep1({QUrl::fromLocalFile(episode)}));
    clickTemplateRow(0);
    EXPECT_TRUE(
        !step1->missingArtworkLabel()->isHidden() &&
        step1->missingArtworkLabel()->text().contains(QStringLiteral("\u201ccover.jpg\u201d, is missing")));
    reachStep2(episode);
    EXPECT_TRUE(step2->artworkImageView()->image().isNull());
    EXPECT_EQ(step2->artworkNoticeLabel()->text(),
              QStringLiteral("The artwork file \u201ccover.jpg\u201d is missing: it was moved or deleted."));
    EXPECT_EQ(step2->podcastField()->text(), QStringLiteral("Lark album"))
        << "the file has none: the template's";
    QFile::setPermissions(episode, QFile::ReadOwner | QFile::ReadOther);
    bool withoutArtwork = false;
    QString asked;
    QuestionSheet::setAnswererForTesting([&](QWidget*, const QuestionSheet::Question& question, auto answer) {
        asked = question.text;
        answer(withoutArtwork);
    });
    const auto answerer = qScopeGuard([] { QuestionSheet::setAnswererForTesting({}); });

    save();
    EXPECT_TRUE(asked.startsWith(step2->artworkNoticeLabel()->text()));
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode 41")) << "declined: nothing is saved";

    withoutArtwork = true;
    type(step2->titleField(), QStringLiteral("Episode 42: L\u00e4rchen"));
    save();
    EXPECT_TRUE(step2->errorLabel()->isVisible() &&
                step2->errorLabel()->text().startsWith(QStringLiteral("Unable to write ID3 tags.")));
    EXPECT_TRUE(test::waitFor([&] {
        return lastEpisodeTitle(id) == QStringLiteral("Episode 42: L\u00e4rchen");
    })) << "recorded whether or not the write works";
    EXPECT_EQ(visible(), step2.get()) << "an untagged episode must not move on to publishing";
    EXPECT_FALSE(step3) << "nor a declined one";

    type(step2->titleField(), QStringLiteral("  "));
    save();
    EXPECT_EQ(step2->errorLabel()->text(), EditMetadataViewModel::EpisodeTitleMissing);
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode 42: L\u00e4rchen"))
        << "no title: nothing is recorded";
    EXPECT_EQ(test::readFile(episode), before);

    QFile::setPermissions(episode, QFile::ReadOwner | QFile::WriteOwner);
    type(step2->titleField(), QStringLiteral("Episode 42: L\u00e4rchen"));
    save();
    ASSERT_EQ(visible(), step3.data());
    const auto tags = test::readTags(episode);
    EXPECT_EQ(tags.title, QStringLiteral("Episode 42: L\u00e4rchen"));
    EXPECT_EQ(test::readTagsWithMutagen(episode).texts.value("COMM::eng"),
              QStringLiteral("Notes from the file"))
        << "the form started from the file";
    EXPECT_EQ(tags.picture, test::pngBytes(20, 20)) << "the episode's own picture stays";
    EXPECT_FALSE(frame->artworkURL()) << "the upload does not look for the missing file";
}

// The facts of the file; what was typed survives a visit to step 3; back on step 1 the choice is
// cleared, and another template's values replace the first one's.
TEST_F(EditMetadataScreenTest, ShowsTheFileKeepsWhatWasTypedAndTakesAnotherTemplate)
{
    lastEpisodeTemplate();
    const qint64 owl = insertTemplate(QStringLiteral("Owl"));
    const QString episode = files.filePath(QStringLiteral("long one.mp3"));
    ASSERT_TRUE(test::writeFile(episode, test::repeatedMp3Bytes(std::chrono::milliseconds(3725900))));
    // The hour is measured on a worker: the bar moves while the step goes on answering.
    int measuredPercent = 0;
    QObject::connect(step2->checkProgressBar(), &QProgressBar::valueChanged, step2.get(), [&](int value) {
        if (step2->viewModel().isChecking() && value > 0 && value < 100)
            measuredPercent = value;
    });
    reachStep2(episode);
    ASSERT_TRUE(test::waitFor([&] { return !step2->viewModel().isChecking(); }, std::chrono::seconds(60)));
    EXPECT_GT(measuredPercent, 0);
    EXPECT_TRUE(step2->checkProgressBar()->isHidden());
    EXPECT_TRUE(next().isEnabled()) << "the report never holds up Save";
    // 8 kHz fails, 8 kbit/s is warned of; each line carries its advice.
    std::map<QString, QString> verdicts;
    for (int row = 0; row < step2->checkListView()->count(); ++row) {
        const QListWidgetItem* item = step2->checkListView()->item(row);
        verdicts[item->text().section(QLatin1Char(':'), 0, 0)] = item->data(Qt::UserRole).toString();
    }
    EXPECT_EQ(verdicts[QStringLiteral("Sample rate")], QStringLiteral("failure"));
    EXPECT_EQ(verdicts[QStringLiteral("Bit rate")], QStringLiteral("warning"));
    EXPECT_TRUE(step2->checkSummaryLabel()->text().contains(QStringLiteral("failures")))
        << step2->checkSummaryLabel()->text().toStdString();
    EXPECT_EQ(step2->previousEpisodeField()->text(), QStringLiteral("Episode 41"));
    EXPECT_EQ(step2->durationField()->text(), QStringLiteral("01:02:05"));
    EXPECT_EQ(step2->lengthField()->text(), QString::number(QFileInfo(episode).size()));
    EXPECT_EQ(step2->artworkNoticeLabel()->text(),
              QStringLiteral("300\u00d7300 JPEG: directories ask for at least 1400\u00d71400"));
    type(step2->titleField(), QStringLiteral("Typed title"));
    step2->descriptionTextView()->setPlainText(QStringLiteral("Typed notes"));
    save();
    ASSERT_EQ(visible(), step3.data());

    QTest::mouseClick(&back(), Qt::LeftButton);
    ASSERT_EQ(visible(), step2.get());
    EXPECT_EQ(step2->titleField()->text(), QStringLiteral("Typed title"));
    EXPECT_EQ(step2->descriptionTextView()->toPlainText(), QStringLiteral("Typed notes"));
    EXPECT_TRUE(test::waitFor([&] {
        return step2->lengthField()->text() == QString::number(QFileInfo(episode).size());
    })) << "the tagged file's, read again in the background";

    QTest::mouseClick(&back(), Qt::LeftButton);
    ASSERT_EQ(visible(), step1.get());
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(frame->fileURL() || frame->podcastTitle() || frame->artworkURL());
    // A file with an MP3's name but no audio in it has no duration.
    const QUrl notes = QUrl::fromLocalFile(files.filePath(QStringLiteral("notes.mp3")));
    ASSERT_TRUE(test::writeFile(notes.toLocalFile(), QByteArray(640, 'x')));
    ASSERT_TRUE(dropOnStep1({notes}));
    clickTemplateRow(1);
    QTest::mouseClick(&next(), Qt::LeftButton);
    ASSERT_EQ(visible(), step2.get());
    EXPECT_EQ(step2->selectedTemplateID(), owl);
    EXPECT_EQ(step2->fileURL(), notes);
    EXPECT_TRUE(test::waitFor([&] { return frame->podcastTitle() == QStringLiteral("Owl album"); }))
        << "step 2 copied its form once the template and the file were read";
    EXPECT_EQ(step2->durationField()->text(), QString());
    EXPECT_EQ(step2->lengthField()->text(), QStringLiteral("640"));
    // A file gone has no facts; an episode of more than 99 hours (a live stream recorded whole)
    // keeps its hours.
    EXPECT_FALSE(FileSystemMetadata(QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.mp3"))).fileSize());
    EXPECT_EQ(formattedDuration(360000), QStringLiteral("100:00:00"));
    EXPECT_TRUE(step2->artworkImageView()->image().isNull());
    EXPECT_EQ(step2->previousEpisodeField()->text(), QString());

    // A template added meanwhile (in the template window) reloads step 1 under step 2, whose
    // buttons it leaves alone.
    insertTemplate(QStringLiteral("Wren"));
    ASSERT_TRUE(test::waitFor([this] { return step1->tableView()->model()->rowCount() == 3; }));
    EXPECT_TRUE(next().isEnabled());
}

// The write waits in the middle until released, so that the screen can be watched while it saves
// and Cancel pressed (quitting and closing are the end-to-end test's; a save let run to its end is
// every other case's).
TEST_F(EditMetadataScreenTest, ShowsThatItSavesAndACancelledSaveLeavesTheFileAlone)
{
    lastEpisodeTemplate();
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    reachStep2(episode);
    const QByteArray before = test::readFile(episode);
    std::atomic<bool> reached = false;
    std::atomic<bool> release = false;
    const test::ProbeForTest probe({[&] {
                                        reached = true;
                                        for (int i = 0; i < 20000 && !release; ++i)
                                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                    },
                                    {}});
    QTest::mouseClick(&next(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return reached.load(); }));

    // The indicator shows; title, description, Next and Back are off; Cancel is on.
    EXPECT_EQ((std::vector<bool>{step2->savingIndicator()->isVisible(), step2->titleField()->isEnabled(),
                                 step2->descriptionTextView()->isEnabled(), next().isEnabled(),
                                 back().isEnabled(), cancel().isEnabled()}),
              (std::vector<bool>{true, false, false, false, false, true}));

    QTest::mouseClick(&cancel(), Qt::LeftButton);
    EXPECT_EQ(visible(), step1.get());
    release = true;
    ASSERT_TRUE(test::waitFor([this] { return !step2->viewModel().isSaving(); }));
    EXPECT_TRUE(step2->savingIndicator()->isHidden() && step2->titleField()->isEnabled());
    EXPECT_FALSE(step3);
    EXPECT_EQ(test::readFile(episode), before) << "a save stopped before its end leaves the file alone";
    EXPECT_TRUE(step2->errorLabel()->isHidden());
}
} // namespace
} // namespace airlark
