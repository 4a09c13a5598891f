// Step 2 on screen, reached from step 1 in the real workflow frame, writing real MP3 files.
#include "TagReader.h"
#include "WorkflowFixture.h"
#include "metadata/ui/FileDropLocationView.h"
#include "support/Mp3Fixtures.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

namespace airlark {
namespace {

class EditMetadataScreenTest : public test::WorkflowFixture
{
protected:
    // Chooses `episode` and the only template in step 1 and moves on to step 2.
    void reachStep2(const QString& episode)
    {
        ASSERT_TRUE(dropOnStep1({QUrl::fromLocalFile(episode)}));
        clickTemplateRow(0);
        ASSERT_TRUE(next().isEnabled());
        QTest::mouseClick(&next(), Qt::LeftButton);
        ASSERT_EQ(visible(), step2.get());
    }

    qint64 lastEpisodeTemplate()
    {
        cover = imageFile(QStringLiteral("cover.jpg"), 300, 300);
        return insertTemplate(QStringLiteral("Lark"), cover, QStringLiteral("Untitled"),
                              QStringLiteral("Notes"), QStringLiteral("Episode 41"));
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

    QString cover;
};

TEST_F(EditMetadataScreenTest, ShowsTheTemplateAndTheFileFacts)
{
    lastEpisodeTemplate();
    const QString episode = files.filePath(QStringLiteral("long one.mp3"));
    ASSERT_TRUE(test::writeFile(episode, test::repeatedMp3Bytes(std::chrono::milliseconds(3725900))));
    reachStep2(episode);

    EXPECT_EQ(next().text(), QStringLiteral("Save"));
    EXPECT_TRUE(next().isEnabled());
    EXPECT_TRUE(back().isEnabled());
    EXPECT_TRUE(cancel().isEnabled());
    EXPECT_EQ(step2->titleField()->text(), QStringLiteral("Untitled"));
    EXPECT_EQ(step2->podcastField()->text(), QStringLiteral("Lark album"));
    EXPECT_EQ(step2->artistField()->text(), QStringLiteral("Lark artist"));
    EXPECT_EQ(step2->descriptionTextView()->toPlainText(), QStringLiteral("Notes"));
    EXPECT_EQ(step2->previousEpisodeField()->text(), QStringLiteral("Episode 41"));
    EXPECT_EQ(step2->fileNameField()->text(), QStringLiteral("long one.mp3"));
    EXPECT_EQ(step2->durationField()->text(), QStringLiteral("01:02:05"));
    EXPECT_EQ(step2->lengthField()->text(), QString::number(QFileInfo(episode).size()));
    EXPECT_TRUE(step2->durationField()->isReadOnly());
    EXPECT_EQ(step2->artworkImageView()->image().size(), QSize(300, 300));
    EXPECT_TRUE(step2->errorLabel()->isHidden());
}

TEST_F(EditMetadataScreenTest, TheKeyboardGoesTitlePodcastArtistDescription)
{
    lastEpisodeTemplate();
    reachStep2(mp3File(QStringLiteral("episode.mp3")));
    EXPECT_EQ(step2->titleField()->nextInFocusChain(), step2->podcastField());
    EXPECT_EQ(step2->podcastField()->nextInFocusChain(), step2->artistField());
    EXPECT_EQ(step2->artistField()->nextInFocusChain(), step2->descriptionTextView());
    for (QWidget* field : std::initializer_list<QWidget*>{step2->titleField(), step2->podcastField(),
                                                          step2->artistField(), step2->descriptionTextView(),
                                                          step2->durationField(), step2->artworkImageView()})
        EXPECT_FALSE(field->accessibleName().isEmpty()) << field->objectName().toStdString();
}

TEST_F(EditMetadataScreenTest, SaveWritesTheTagsAndMovesOn)
{
    const qint64 id = lastEpisodeTemplate();
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    reachStep2(episode);
    type(step2->titleField(), QStringLiteral("Episode 42: L\u00e4rchen"));
    step2->descriptionTextView()->setPlainText(QStringLiteral("Show notes\nwith two lines"));

    test::StandardOutputCapture output;
    save();
    const QStringList lines = output.release();

    ASSERT_TRUE(step3);
    EXPECT_EQ(visible(), step3.data());
    const auto tags = test::readTags(episode);
    EXPECT_EQ(tags.id3v2Version, 3);
    EXPECT_EQ(tags.title, QStringLiteral("Episode 42: L\u00e4rchen"));
    EXPECT_EQ(tags.album, QStringLiteral("Lark album"));
    EXPECT_EQ(tags.artist, QStringLiteral("Lark artist"));
    EXPECT_EQ(tags.albumArtist, QStringLiteral("Lark artist"));
    EXPECT_EQ(tags.comment, QStringLiteral("Show notes\nwith two lines"));
    EXPECT_EQ(tags.year, static_cast<unsigned>(QDate::currentDate().year()));
    EXPECT_EQ(tags.picture, test::readFile(cover)) << "the artwork file's own bytes";
    EXPECT_EQ(tags.pictureMimeType, QStringLiteral("image/jpeg"));
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode 42: L\u00e4rchen"));
    EXPECT_EQ(frame->episodeTitle(), QStringLiteral("Episode 42: L\u00e4rchen"));
    EXPECT_EQ(frame->episodeDescription(), QStringLiteral("Show notes\nwith two lines"));
    EXPECT_EQ(frame->artist(), QStringLiteral("Lark artist"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Set episode title Episode 42: L\u00e4rchen")));
    EXPECT_FALSE(lines.filter(QStringLiteral("Error saving")).size());
}

struct SaveFault
{
    const char* name;
    std::function<void(const QString& episode)> spoil;
    std::function<void(const QString& episode)> fix;
};

class EditMetadataSaveFaultTest : public EditMetadataScreenTest,
                                  public ::testing::WithParamInterface<SaveFault>
{
};

TEST_P(EditMetadataSaveFaultTest, AFailedSaveStaysOnTheStepLeavesTheFileAloneAndCanBeRetried)
{
    const qint64 id = lastEpisodeTemplate();
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    reachStep2(episode);
    GetParam().spoil(episode);
    const bool existed = QFile::exists(episode);
    const QByteArray before = test::readFile(episode);
    type(step2->titleField(), QStringLiteral("Episode 42"));

    test::StandardOutputCapture output;
    save();
    EXPECT_TRUE(output.release().contains(QStringLiteral("Error saving Unable to write ID3 tags.")));

    EXPECT_EQ(visible(), step2.get()) << "an untagged episode must not move on to publishing";
    EXPECT_FALSE(step3);
    EXPECT_FALSE(step2->errorLabel()->isHidden());
    EXPECT_TRUE(step2->errorLabel()->text().startsWith(QStringLiteral("Unable to write ID3 tags.")));
    EXPECT_EQ(QFile::exists(episode), existed);
    EXPECT_EQ(test::readFile(episode), before);
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode 42")) << "recorded before the write";

    GetParam().fix(episode);
    save();
    EXPECT_EQ(visible(), step3.data());
    EXPECT_EQ(test::readTags(episode).title, QStringLiteral("Episode 42"));
}

void restore(const QString& episode)
{
    test::writeFile(episode, test::mp3Bytes(1));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EditMetadataSaveFaultTest,
    ::testing::Values(
        SaveFault{"ReadOnly",
                  [](const QString& p) { QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadOther); },
                  [](const QString& p) { QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner); }},
        SaveFault{"DeletedAfterStep1", [](const QString& p) { QFile::remove(p); }, restore},
        SaveFault{"ReplacedByText", [](const QString& p) { test::writeFile(p, "not audio at all"); },
                  restore}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(EditMetadataScreenTest, MissingArtworkLeavesTheEpisodesPictureAlone)
{
    lastEpisodeTemplate();
    QFile::remove(cover);
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    reachStep2(episode);
    EXPECT_TRUE(step2->artworkImageView()->image().isNull());
    save();
    EXPECT_EQ(visible(), step3.data());
    EXPECT_EQ(test::readTags(episode).pictureCount, 0);
    EXPECT_EQ(test::readTags(episode).title, QStringLiteral("Untitled"));
}

TEST_F(EditMetadataScreenTest, BackFromStep3KeepsWhatTheUserTyped)
{
    lastEpisodeTemplate();
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    reachStep2(episode);
    const QString sizeBefore = step2->lengthField()->text();
    type(step2->titleField(), QStringLiteral("Typed title"));
    step2->descriptionTextView()->setPlainText(QStringLiteral("Typed notes"));
    save();
    ASSERT_EQ(visible(), step3.data());

    QTest::mouseClick(&back(), Qt::LeftButton);
    ASSERT_EQ(visible(), step2.get());
    EXPECT_EQ(step2->titleField()->text(), QStringLiteral("Typed title"));
    EXPECT_EQ(step2->descriptionTextView()->toPlainText(), QStringLiteral("Typed notes"));
    EXPECT_EQ(step2->lengthField()->text(), QString::number(QFileInfo(episode).size()));
    EXPECT_NE(step2->lengthField()->text(), sizeBefore) << "the tagged file's size";
    EXPECT_EQ(next().text(), QStringLiteral("Save"));
}

TEST_F(EditMetadataScreenTest, BackAndAnotherTemplateOverwriteThePodcastFields)
{
    lastEpisodeTemplate();
    insertTemplate(QStringLiteral("Owl"));
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    reachStep2(episode);
    QTest::mouseClick(&back(), Qt::LeftButton);
    ASSERT_EQ(visible(), step1.get());
    ASSERT_TRUE(dropOnStep1({QUrl::fromLocalFile(episode)}));
    clickTemplateRow(1);
    EXPECT_EQ(frame->podcastTitle(), QStringLiteral("Owl"));
    EXPECT_FALSE(frame->artworkURL());
    QTest::mouseClick(&next(), Qt::LeftButton);
    ASSERT_EQ(visible(), step2.get());
    EXPECT_EQ(step2->podcastField()->text(), QStringLiteral("Owl album"));
    EXPECT_TRUE(step2->artworkImageView()->image().isNull());
    EXPECT_EQ(step2->previousEpisodeField()->text(), QString());
}

TEST_F(EditMetadataScreenTest, StartsFromTheFilesOwnTagsAndNeverSavesAnEmptyTitle)
{
    const qint64 id = lastEpisodeTemplate();
    const QString episode = mp3File(QStringLiteral("episode.mp3"));
    PodcastID3TagWriter earlier(QUrl::fromLocalFile(episode));
    earlier.setTitle(QStringLiteral("Episode 7: Already tagged"));
    earlier.setDescription(QStringLiteral("Notes from the file"));
    ASSERT_TRUE(earlier.write());
    reachStep2(episode);
    EXPECT_EQ(step2->titleField()->text(), QStringLiteral("Episode 7: Already tagged"));
    EXPECT_EQ(step2->descriptionTextView()->toPlainText(), QStringLiteral("Notes from the file"));
    EXPECT_EQ(step2->podcastField()->text(), QStringLiteral("Lark album"))
        << "the file has none: the template's";

    const QByteArray tagged = test::readFile(episode);
    type(step2->titleField(), QStringLiteral("  "));
    save();
    EXPECT_EQ(visible(), step2.get());
    EXPECT_FALSE(step2->errorLabel()->isHidden());
    EXPECT_EQ(step2->errorLabel()->text(), EditMetadataViewModel::EpisodeTitleMissing);
    EXPECT_EQ(test::readFile(episode), tagged);
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode 41")) << "nothing is recorded for a refused save";

    type(step2->titleField(), QStringLiteral("Episode 7: Already tagged"));
    save();
    EXPECT_EQ(visible(), step3.data());
    const auto tags = test::readTags(episode);
    EXPECT_EQ(tags.title, QStringLiteral("Episode 7: Already tagged"));
    EXPECT_EQ(tags.comment, QStringLiteral("Notes from the file"));
}

enum class WhileSaving
{
    Wait,
    PressCancel,
    CloseWindow,
    DestroyStep,
};

class EditMetadataSavingTest : public EditMetadataScreenTest,
                               public ::testing::WithParamInterface<WhileSaving>
{
};

// The write waits in the middle until released, so that the screen can be watched while it saves.
TEST_P(EditMetadataSavingTest, ShowsThatItSavesAndStillAnswers)
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

    EXPECT_TRUE(step2->savingIndicator()->isVisible());
    EXPECT_FALSE(step2->titleField()->isEnabled());
    EXPECT_FALSE(step2->descriptionTextView()->isEnabled());
    EXPECT_FALSE(next().isEnabled());
    EXPECT_FALSE(back().isEnabled());
    EXPECT_TRUE(cancel().isEnabled());
    bool ticked = false;
    QTimer::singleShot(1, [&] { ticked = true; });
    EXPECT_TRUE(test::waitFor([&] { return ticked; })) << "the window keeps handling events";

    std::thread releaser;
    switch (GetParam()) {
    case WhileSaving::Wait:
        break;
    case WhileSaving::PressCancel:
        QTest::mouseClick(&cancel(), Qt::LeftButton);
        EXPECT_EQ(visible(), step1.get());
        break;
    case WhileSaving::CloseWindow:
        frame->close();
        break;
    case WhileSaving::DestroyStep:
        // Its write is stopped and waited for: released from another thread while the step goes.
        releaser = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            release = true;
        });
        frame.reset();
        step2.reset();
        releaser.join();
        EXPECT_EQ(test::readFile(episode), before);
        return;
    }
    release = true;
    ASSERT_TRUE(test::waitFor([this] { return !step2->viewModel().isSaving(); }));
    EXPECT_TRUE(step2->savingIndicator()->isHidden());
    EXPECT_TRUE(step2->titleField()->isEnabled());
    if (GetParam() == WhileSaving::Wait) {
        EXPECT_EQ(visible(), step3.data());
        EXPECT_EQ(test::readTags(episode).title, QStringLiteral("Untitled"));
    } else {
        EXPECT_FALSE(step3);
        EXPECT_EQ(test::readFile(episode), before) << "a save stopped before its end leaves the file alone";
        EXPECT_TRUE(step2->errorLabel()->isHidden());
    }
}

std::string actionName(const ::testing::TestParamInfo<WhileSaving>& info)
{
    static const char* const names[] = {"Wait", "PressCancel", "CloseWindow", "DestroyStep"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Actions, EditMetadataSavingTest,
                         ::testing::Values(WhileSaving::Wait, WhileSaving::PressCancel,
                                           WhileSaving::CloseWindow, WhileSaving::DestroyStep),
                         actionName);
} // namespace
} // namespace airlark
