// Step 1's logic against a real store in a private data directory.
#include "metadata/SelectTemplateViewModel.h"

#include "MetadataStoreFixture.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

namespace airlark {
namespace {

using SelectTemplateViewModelTest = test::MetadataStoreFixture;

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

} // namespace
} // namespace airlark
