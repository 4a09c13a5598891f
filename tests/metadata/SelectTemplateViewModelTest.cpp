// Step 1's logic against a real store in a private data directory.
#include "metadata/SelectTemplateViewModel.h"

#include "MetadataStoreFixture.h"
#include "TableStatements.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

namespace airlark {
namespace {

using State = SelectTemplateInteractionState;

class RecordingDelegate : public SelectTemplateViewModelDelegate
{
public:
    void selectTemplateViewModelAvailableTemplatesDidChange(SelectTemplateViewModel&) override
    {
        ++listChanges;
    }
    void selectTemplateViewModelInteractionStateDidChange(SelectTemplateViewModel& viewModel) override
    {
        states.push_back(viewModel.state());
    }
    int listChanges = 0;
    std::vector<State> states;
};

class SelectTemplateViewModelTest : public test::MetadataStoreFixture
{
protected:
    QUrl episode() { return QUrl::fromLocalFile(mp3File(QStringLiteral("My episode 1.mp3"))); }
};

TEST_F(SelectTemplateViewModelTest, StartsEmptyWithTheDropzoneImage)
{
    SelectTemplateViewModel viewModel;
    EXPECT_TRUE(viewModel.templates().empty());
    EXPECT_EQ(viewModel.state(), State::FileNotSelectedAndTemplateNotSelected);
    EXPECT_FALSE(viewModel.canAdvance());
    EXPECT_EQ(viewModel.artworkName(), QStringLiteral("AudioDropzone"));
    EXPECT_FALSE(viewModel.artwork().isNull()) << "the image is compiled into the resources";
    EXPECT_FALSE(viewModel.chooseFileButtonHidden());
    EXPECT_EQ(viewModel.selectedFileDisplayName(), QStringLiteral(""));
}

TEST_F(SelectTemplateViewModelTest, TheStatesFollowTheFileAndTheTemplate)
{
    insertTemplate(QStringLiteral("First"));
    insertTemplate(QStringLiteral("Second"), imageFile(QStringLiteral("second.png")));
    SelectTemplateViewModel viewModel;
    RecordingDelegate delegate;
    viewModel.delegate = &delegate;
    ASSERT_EQ(viewModel.templates().size(), 2u);

    viewModel.setFileURL(episode());
    EXPECT_EQ(viewModel.state(), State::FileSelectedAndTemplateNotSelected);
    EXPECT_EQ(viewModel.artworkName(), QStringLiteral("ChooseYourPodcast"));
    EXPECT_TRUE(viewModel.chooseFileButtonHidden());
    EXPECT_EQ(viewModel.selectedFileDisplayName(), QStringLiteral("My episode 1.mp3"));
    EXPECT_FALSE(viewModel.canAdvance());

    viewModel.setSelectedItemIndex(1);
    EXPECT_EQ(viewModel.state(), State::FileSelectedAndTemplateSelected);
    EXPECT_EQ(viewModel.artworkName(), QStringLiteral("AudioDropzoneFileOK"));
    EXPECT_TRUE(viewModel.canAdvance());
    ASSERT_TRUE(viewModel.selectedTemplate());
    EXPECT_EQ(viewModel.selectedTemplate()->name, QStringLiteral("Second"));
    EXPECT_EQ(viewModel.selectedTemplate()->artworkURL,
              QUrl::fromLocalFile(files.filePath(QStringLiteral("second.png"))));

    viewModel.setFileURL(std::nullopt);
    EXPECT_EQ(viewModel.state(), State::FileNotSelectedAndTemplateSelected);
    EXPECT_EQ(viewModel.artworkName(), QStringLiteral("AudioDropzone"));

    viewModel.setSelectedItemIndex(std::nullopt);
    viewModel.setSelectedItemIndex(std::nullopt);
    EXPECT_EQ(delegate.states, (std::vector<State>{State::FileSelectedAndTemplateNotSelected,
                                                   State::FileSelectedAndTemplateSelected,
                                                   State::FileNotSelectedAndTemplateSelected,
                                                   State::FileNotSelectedAndTemplateNotSelected,
                                                   State::FileNotSelectedAndTemplateNotSelected}))
        << "every recomputation is reported, changed or not";
}

TEST_F(SelectTemplateViewModelTest, AnIndexBeyondTheListCountsAsChosenButYieldsNoTemplate)
{
    insertTemplate(QStringLiteral("Only"));
    SelectTemplateViewModel viewModel;
    viewModel.templates();
    viewModel.didSetFileWithURL(episode());
    viewModel.setSelectedItemIndex(5);
    EXPECT_EQ(viewModel.state(), State::FileSelectedAndTemplateSelected);
    EXPECT_FALSE(viewModel.selectedTemplate());
    EXPECT_EQ(viewModel.fileURL(), episode());
}

TEST_F(SelectTemplateViewModelTest, ACreatedTemplateReloadsTheListAndClearsTheSelection)
{
    insertTemplate(QStringLiteral("First"));
    SelectTemplateViewModel viewModel;
    RecordingDelegate delegate;
    viewModel.delegate = &delegate;
    viewModel.templates();
    viewModel.setFileURL(episode());
    viewModel.setSelectedItemIndex(0);
    ASSERT_TRUE(viewModel.canAdvance());

    insertTemplate(QStringLiteral("Second")); // posts "id3_template_created"
    EXPECT_EQ(delegate.listChanges, 1);
    EXPECT_FALSE(viewModel.selectedItemIndex());
    EXPECT_FALSE(viewModel.canAdvance());
    ASSERT_EQ(viewModel.cachedTemplates.size(), 2u);
    EXPECT_EQ(viewModel.cachedTemplates.back().name, QStringLiteral("Second"));
}

TEST_F(SelectTemplateViewModelTest, ArtworkIsLoadedAsAThumbnailAndCachedWhileItLoads)
{
    const QString large = imageFile(QStringLiteral("large.jpg"), 3000, 3000);
    const qint64 withArtwork = insertTemplate(QStringLiteral("Large"), large);
    const qint64 missing =
        insertTemplate(QStringLiteral("Missing"), files.filePath(QStringLiteral("later.png")));
    const QString text = files.filePath(QStringLiteral("text.png"));
    test::writeFile(text, "not an image");
    const qint64 notAnImage = insertTemplate(QStringLiteral("Text"), text);
    const qint64 none = insertTemplate(QStringLiteral("None"));
    SelectTemplateViewModel viewModel;

    const auto image = viewModel.artworkForTemplateWithID(withArtwork);
    ASSERT_TRUE(image);
    EXPECT_LE(qMax(image->width(), image->height()), SelectTemplateViewModel::ThumbnailSide);
    ASSERT_TRUE(QFile::remove(large));
    EXPECT_TRUE(viewModel.artworkForTemplateWithID(withArtwork)) << "read once while it loads";

    EXPECT_FALSE(viewModel.artworkForTemplateWithID(missing));
    imageFile(QStringLiteral("later.png"));
    EXPECT_TRUE(viewModel.artworkForTemplateWithID(missing)) << "a failed load is tried again";
    EXPECT_FALSE(viewModel.artworkForTemplateWithID(notAnImage));
    EXPECT_FALSE(viewModel.artworkForTemplateWithID(none));
    EXPECT_FALSE(viewModel.artworkForTemplateWithID(9999));
}

TEST_F(SelectTemplateViewModelTest, AStoreThatCannotBeOpenedShowsAnEmptyList)
{
    QDir(test::dataDirectory()).removeRecursively();
    ASSERT_TRUE(test::writeFile(test::dataDirectory(), "a file where the data directory should be"));
    SelectTemplateViewModel viewModel;
    EXPECT_FALSE(viewModel.database);
    EXPECT_TRUE(viewModel.templates().empty());
    QFile::remove(test::dataDirectory());
}

TEST_F(SelectTemplateViewModelTest, TheFirstListLoadCreatesBothTablesWithTheirExactStatements)
{
    QDir(test::dataDirectory()).removeRecursively();
    SelectTemplateViewModel viewModel;
    EXPECT_TRUE(viewModel.templates().empty());
    ASSERT_TRUE(viewModel.database);
    EXPECT_EQ(test::tableStatements(test::dataDirectory() + QStringLiteral("/database.sqlite3")),
              test::expectedTableStatements());
    EXPECT_TRUE(QFile::exists(test::dataDirectory() + QStringLiteral("/database.sqlite3")));
}

} // namespace
} // namespace airlark
