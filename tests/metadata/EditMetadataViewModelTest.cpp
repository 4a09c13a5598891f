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
    void editMetadataViewModelDidLoadArtwork(EditMetadataViewModel&) override {}
    void editMetadataViewModelDidLoadChapters(EditMetadataViewModel&) override {}
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

TEST_F(EditMetadataViewModelTest, NoTemplateOrFileGivesEmptyValues)
{
    for (const std::optional<qint64> id : {std::optional<qint64>(), std::optional<qint64>(424242)}) {
        EditMetadataViewModel viewModel(id, QUrl::fromLocalFile(files.filePath(QStringLiteral("gone.mp3"))));
        EXPECT_FALSE(viewModel.id3Template());
        EXPECT_EQ(viewModel.title(), QString());
        EXPECT_EQ(viewModel.podcast(), QString());
        EXPECT_EQ(viewModel.previousEpisodeFormattedTitleString(), QString());
        EXPECT_FALSE(viewModel.artworkURL());
        EXPECT_EQ(viewModel.fileName(), QString());
        EXPECT_EQ(viewModel.duration(), QString());
        EXPECT_EQ(viewModel.length(), QString());
    }
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
