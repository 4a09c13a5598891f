// Artwork as it goes into the tag: the file's own bytes and real type, or PNG.
#include "metadata/EmbeddedArtwork.h"

#include "support/Mp3Fixtures.h"

#include <gtest/gtest.h>

namespace airlark {
namespace {

struct ArtworkCase
{
    const char* name;
    std::function<QByteArray()> bytes;
    const char* mimeType; // nullptr: no artwork
    bool keepsBytes;
};

class EmbeddedArtworkTest : public ::testing::TestWithParam<ArtworkCase>
{
};

TEST_P(EmbeddedArtworkTest, FromBytes)
{
    const QByteArray bytes = GetParam().bytes();
    const auto artwork = EmbeddedArtwork::fromBytes(bytes);
    if (!GetParam().mimeType) {
        EXPECT_FALSE(artwork);
        return;
    }
    ASSERT_TRUE(artwork);
    EXPECT_EQ(artwork->mimeType(), QString::fromLatin1(GetParam().mimeType));
    if (GetParam().keepsBytes)
        EXPECT_EQ(artwork->data(), bytes);
    else
        EXPECT_FALSE(QImage::fromData(artwork->data(), "PNG").isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Files, EmbeddedArtworkTest,
    ::testing::Values(ArtworkCase{"Jpeg", [] { return test::jpegBytes(40, 30); }, "image/jpeg", true},
                      ArtworkCase{"Png", [] { return test::pngBytes(40, 30); }, "image/png", true},
                      ArtworkCase{"BitmapBecomesPng", [] { return test::imageBytes(12, 12, "BMP"); },
                                  "image/png", false},
                      ArtworkCase{"Text", [] { return QByteArray("not an image"); }, nullptr, false},
                      ArtworkCase{"Empty", [] { return QByteArray(); }, nullptr, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(EmbeddedArtworkFromImageTest, IsPNGAndNothingForANullImage)
{
    EXPECT_FALSE(EmbeddedArtwork::fromImage(QImage()));
    const auto artwork = EmbeddedArtwork::fromImage(QImage(5, 5, QImage::Format_ARGB32));
    ASSERT_TRUE(artwork);
    EXPECT_EQ(artwork->mimeType(), QStringLiteral("image/png"));
    EXPECT_TRUE(artwork->data().startsWith("\x89PNG"));
}

} // namespace
} // namespace airlark
