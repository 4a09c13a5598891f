#include "store/Artwork.h"

#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"

#include <QFile>

namespace airlark::test {
namespace {

using ArtworkTest = StoreTest;

// The image is read afresh on every call, by its content whatever its name, and only when it is a
// whole image file of a sane size.
TEST_F(ArtworkTest, ReadsOnlyWholeImagesOfASaneSize)
{
    const std::optional<Artwork> artwork = Artwork::open();
    ASSERT_TRUE(artwork);
    const auto at = [&](const QString& name) -> QString { return dataHome() + QLatin1Char('/') + name; };
    const auto image = [&](const QString& path) { return artwork->imageAtURL(QUrl::fromLocalFile(path)); };
    ASSERT_TRUE(writeFile(at(QStringLiteral("png.jpg")), pngBytes(40, 30)));
    ASSERT_TRUE(writeFile(at(QStringLiteral("cover.artwork")), jpegBytes(40, 30)));
    EXPECT_EQ(image(at(QStringLiteral("png.jpg")))->size(), QSize(40, 30));
    EXPECT_EQ(image(at(QStringLiteral("cover.artwork")))->size(), QSize(40, 30));
    ASSERT_TRUE(writeFile(at(QStringLiteral("png.jpg")), pngBytes(10, 10)));
    EXPECT_EQ(image(at(QStringLiteral("png.jpg")))->size(), QSize(10, 10));

    ASSERT_TRUE(writeFile(at(QStringLiteral("notes.png")), "Show notes, not a picture."));
    ASSERT_TRUE(writeFile(at(QStringLiteral("cut.png")), pngBytes(40, 30).left(20)));
    ASSERT_TRUE(writeFile(at(QStringLiteral("empty.png")), {}));
    ASSERT_TRUE(writeFile(at(QStringLiteral("huge.png")), pngBytes(40, 30)));
    ASSERT_TRUE(QFile::resize(at(QStringLiteral("huge.png")), Artwork::MaximumImageFileSize + 1)); // sparse
    for (const QString& path : {at(QStringLiteral("notes.png")), at(QStringLiteral("cut.png")),
                                at(QStringLiteral("empty.png")), at(QStringLiteral("huge.png")),
                                at(QStringLiteral("gone.png")), dataHome(), QStringLiteral("/dev/zero")})
        EXPECT_FALSE(image(path)) << path.toStdString();
    EXPECT_FALSE(artwork->imageAtURL(QUrl(QStringLiteral("https://example.org/cover.png"))));
}

} // namespace
} // namespace airlark::test
