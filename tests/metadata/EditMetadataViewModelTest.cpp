// Step 2's form logic against a real store and real MP3 files (saving is tested on the screen).
#include "metadata/EditMetadataViewModel.h"

#include "MetadataStoreFixture.h"
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
    void editMetadataViewModelDidFinishSaving(EditMetadataViewModel&, bool) override {}
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
    EXPECT_EQ(viewModel.previousEpisodeFormattedTitleString(), QStringLiteral("Episode 41")) << "a snapshot";
    EXPECT_EQ(EditMetadataViewModel(id, std::nullopt).previousEpisodeFormattedTitleString(),
              QStringLiteral("T"));
}

} // namespace
} // namespace airlark
