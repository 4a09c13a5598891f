// Step 2's logic against a real store and real MP3 files.
#include "metadata/EditMetadataViewModel.h"

#include "MetadataStoreFixture.h"
#include "TagReader.h"
#include "support/Mp3Fixtures.h"

#include <QFile>

namespace airlark {
namespace {

class RecordingDelegate : public EditMetadataViewModelDelegate
{
public:
    void editMetadataViewModelDidFillTemplate(EditMetadataViewModel&) override {}
    void editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel&) override
    {
        events << QString();
    }
    void editMetadataViewModelDidSetErrorMessageFromSaving(EditMetadataViewModel&,
                                                           const QString& message) override
    {
        events << message;
    }
    QStringList events;
};

class EditMetadataViewModelTest : public test::MetadataStoreFixture
{
protected:
    qint64 fullTemplate()
    {
        return insertTemplate(QStringLiteral("Lark"), imageFile(QStringLiteral("cover.png"), 40, 30),
                              QStringLiteral("Default title"), QStringLiteral("Default notes"),
                              QStringLiteral("Episode 41"));
    }
    std::optional<QString> lastEpisodeTitle(qint64 id)
    {
        const auto found = ID3Template::find(*database, id);
        return found ? found->lastEpisodeTitle : std::nullopt;
    }
};

TEST_F(EditMetadataViewModelTest, TheFormComesFromTheTemplateAndTheFile)
{
    const qint64 id = fullTemplate();
    const QString path = files.filePath(QStringLiteral("ep 42.mp3"));
    ASSERT_TRUE(test::writeFile(path, test::repeatedMp3Bytes(std::chrono::milliseconds(3725900))));

    EditMetadataViewModel viewModel(id, QUrl::fromLocalFile(path));
    EXPECT_EQ(viewModel.title(), QStringLiteral("Default title"));
    EXPECT_EQ(viewModel.podcast(), QStringLiteral("Lark album"));
    EXPECT_EQ(viewModel.artist(), QStringLiteral("Lark artist"));
    EXPECT_EQ(viewModel.episodeDescription(), QStringLiteral("Default notes"));
    EXPECT_EQ(viewModel.previousEpisodeFormattedTitleString(), QStringLiteral("Episode 41"));
    ASSERT_TRUE(viewModel.artwork());
    EXPECT_EQ(viewModel.artwork()->size(), QSize(40, 30));
    EXPECT_EQ(viewModel.fileName(), QStringLiteral("ep 42.mp3"));
    EXPECT_EQ(viewModel.duration(), QStringLiteral("01:02:05"));
    EXPECT_EQ(viewModel.length(), QString::number(QFileInfo(path).size()));
}

TEST_F(EditMetadataViewModelTest, NoTemplateOrFileGivesEmptyValues)
{
    for (const std::optional<qint64> id : {std::optional<qint64>(), std::optional<qint64>(424242)}) {
        EditMetadataViewModel viewModel(id, QUrl::fromLocalFile(files.filePath(QStringLiteral("gone.mp3"))));
        EXPECT_FALSE(viewModel.id3Template());
        EXPECT_EQ(viewModel.title(), QString());
        EXPECT_EQ(viewModel.podcast(), QString());
        EXPECT_EQ(viewModel.previousEpisodeFormattedTitleString(), QString());
        EXPECT_FALSE(viewModel.artwork());
        EXPECT_EQ(viewModel.fileName(), QString());
        EXPECT_EQ(viewModel.duration(), QString());
        EXPECT_EQ(viewModel.length(), QString());
    }
}

TEST_F(EditMetadataViewModelTest, SizeIsDigitsOnly)
{
    const QString path = files.filePath(QStringLiteral("small.mp3"));
    ASSERT_TRUE(test::writeFile(path, QByteArray(640, '\0')));
    EXPECT_EQ(EditMetadataViewModel(std::nullopt, QUrl::fromLocalFile(path)).length(), QStringLiteral("640"));
    const QString big = files.filePath(QStringLiteral("big.mp3"));
    ASSERT_TRUE(test::writeFile(big, QByteArray(1234567, '\0')));
    EXPECT_EQ(EditMetadataViewModel(std::nullopt, QUrl::fromLocalFile(big)).length(),
              QStringLiteral("1234567"));
}

TEST_F(EditMetadataViewModelTest, ArtworkThatIsMissingOrNotAnImageIsNone)
{
    const QString text = files.filePath(QStringLiteral("text.png"));
    ASSERT_TRUE(test::writeFile(text, "no image"));
    const qint64 notImage = insertTemplate(QStringLiteral("Text"), text);
    const qint64 missing =
        insertTemplate(QStringLiteral("Missing"), files.filePath(QStringLiteral("nothing.jpg")));
    const qint64 large =
        insertTemplate(QStringLiteral("Large"), imageFile(QStringLiteral("large.jpg"), 3000, 3000));
    EXPECT_FALSE(EditMetadataViewModel(notImage, std::nullopt).artwork());
    EXPECT_FALSE(EditMetadataViewModel(missing, std::nullopt).artwork());
    const auto image = EditMetadataViewModel(large, std::nullopt).artwork();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(3000, 3000));
}

TEST_F(EditMetadataViewModelTest, SaveRecordsTheLastEpisodeTitleAndWritesTheTags)
{
    const qint64 id = fullTemplate();
    const QString path = mp3File(QStringLiteral("episode.mp3"));
    EditMetadataViewModel viewModel(id, QUrl::fromLocalFile(path), [] { return QDate(2029, 6, 1); });
    RecordingDelegate delegate;
    viewModel.delegate = &delegate;
    const auto artwork = EmbeddedArtwork::fromFile(files.filePath(QStringLiteral("cover.png")));

    ASSERT_TRUE(viewModel.save(QStringLiteral("Episode 42"), artwork, QStringLiteral("Lark"),
                               QStringLiteral("Ada"), QStringLiteral("Notes")));
    EXPECT_TRUE(delegate.events.isEmpty());
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode 42"));
    EXPECT_EQ(viewModel.previousEpisodeFormattedTitleString(), QStringLiteral("Episode 41")) << "a snapshot";
    EXPECT_EQ(EditMetadataViewModel(id, std::nullopt).previousEpisodeFormattedTitleString(),
              QStringLiteral("Episode 42"));

    const auto tags = test::readTags(path);
    EXPECT_EQ(tags.title, QStringLiteral("Episode 42"));
    EXPECT_EQ(tags.album, QStringLiteral("Lark"));
    EXPECT_EQ(tags.artist, QStringLiteral("Ada"));
    EXPECT_EQ(tags.albumArtist, QStringLiteral("Ada"));
    EXPECT_EQ(tags.comment, QStringLiteral("Notes"));
    EXPECT_EQ(tags.year, 2029u);
    EXPECT_EQ(tags.picture, test::readFile(files.filePath(QStringLiteral("cover.png"))));
    EXPECT_EQ(viewModel.length(), QString::number(QFileInfo(path).size())) << "the facts of the tagged file";
}

TEST_F(EditMetadataViewModelTest, AnEmptyTitleIsRecordedAndWrittenAsEmpty)
{
    const qint64 id = fullTemplate();
    const QString path = mp3File(QStringLiteral("episode.mp3"));
    EditMetadataViewModel viewModel(id, QUrl::fromLocalFile(path));
    ASSERT_TRUE(viewModel.save(QStringLiteral(""), std::nullopt, QStringLiteral("Lark"),
                               QStringLiteral("Ada"), QStringLiteral("")));
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral(""));
    EXPECT_EQ(test::readTags(path).title, QString());
    EXPECT_EQ(test::readTags(path).id3v2Version, 3);
}

TEST_F(EditMetadataViewModelTest, NoFileIsReportedAndStillRecordsTheTitle)
{
    const qint64 id = fullTemplate();
    EditMetadataViewModel viewModel(id, std::nullopt);
    RecordingDelegate delegate;
    viewModel.delegate = &delegate;
    EXPECT_FALSE(viewModel.save(QStringLiteral("T"), std::nullopt, std::nullopt, std::nullopt, std::nullopt));
    EXPECT_EQ(delegate.events, QStringList{QStringLiteral("File path not provided")});
    EXPECT_EQ(viewModel.errorMessageFromSaving(), QStringLiteral("File path not provided"));
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("T"));
}

struct FailingFile
{
    const char* name;
    std::function<void(const QString&)> spoil; // turns a good MP3 at the path into a bad case
};

class EditMetadataSaveFailureTest : public EditMetadataViewModelTest,
                                    public ::testing::WithParamInterface<FailingFile>
{
};

TEST_P(EditMetadataSaveFailureTest, AFailedWriteIsReportedAndLeavesTheFileAsItWas)
{
    const qint64 id = fullTemplate();
    const QString path = mp3File(QStringLiteral("episode.mp3"));
    EditMetadataViewModel viewModel(id, QUrl::fromLocalFile(path));
    RecordingDelegate delegate;
    viewModel.delegate = &delegate;
    GetParam().spoil(path);
    const bool existed = QFile::exists(path);
    const QByteArray before = test::readFile(path);

    EXPECT_FALSE(viewModel.save(QStringLiteral("Episode"), std::nullopt, QStringLiteral("P"),
                                QStringLiteral("A"), QStringLiteral("D")));
    EXPECT_EQ(delegate.events, QStringList{QStringLiteral("Unable to write ID3 tags.")});
    EXPECT_FALSE(viewModel.saveFailureReason().isEmpty());
    EXPECT_EQ(lastEpisodeTitle(id), QStringLiteral("Episode")) << "recorded before the write";
    EXPECT_EQ(QFile::exists(path), existed);
    EXPECT_EQ(test::readFile(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, EditMetadataSaveFailureTest,
    ::testing::Values(
        FailingFile{"Deleted", [](const QString& p) { QFile::remove(p); }},
        FailingFile{"ReadOnly",
                    [](const QString& p) { QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadGroup); }},
        FailingFile{"NotAnMp3", [](const QString& p) { test::writeFile(p, "plain text, not audio"); }},
        FailingFile{"Empty", [](const QString& p) { test::writeFile(p, {}); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace airlark
