// Artwork as it goes into the tag: the file's own bytes and real type, or PNG.
#include "metadata/EmbeddedArtwork.h"

#include "support/Mp3Fixtures.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

struct ArtworkCase
{
    const char* name;
    const char* fileName;
    std::function<QByteArray()> bytes;
    const char* mimeType; // nullptr: no artwork
    bool keepsBytes;
};

class EmbeddedArtworkTest : public ::testing::TestWithParam<ArtworkCase>
{
};

TEST_P(EmbeddedArtworkTest, FromFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8(GetParam().fileName));
    const QByteArray bytes = GetParam().bytes ? GetParam().bytes() : QByteArray();
    if (GetParam().bytes) {
        ASSERT_TRUE(test::writeFile(path, bytes));
    }
    const auto artwork = EmbeddedArtwork::fromFile(path);
    if (!GetParam().mimeType) {
        EXPECT_FALSE(artwork);
        return;
    }
    ASSERT_TRUE(artwork);
    EXPECT_EQ(artwork->mimeType(), QString::fromLatin1(GetParam().mimeType));
    if (GetParam().keepsBytes) {
        EXPECT_EQ(artwork->data(), bytes);
    } else {
        EXPECT_FALSE(QImage::fromData(artwork->data(), "PNG").isNull());
    }
}

QByteArray bmp()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage(12, 12, QImage::Format_RGB32).save(&buffer, "BMP");
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, EmbeddedArtworkTest,
    ::testing::Values(
        ArtworkCase{"Jpeg", "cover.jpg", [] { return test::jpegBytes(40, 30); }, "image/jpeg", true},
        ArtworkCase{"Png", "cover.png", [] { return test::pngBytes(40, 30); }, "image/png", true},
        ArtworkCase{"LargeJpeg", "large.jpeg", [] { return test::jpegBytes(3000, 3000); }, "image/jpeg",
                    true},
        ArtworkCase{"JpegNamedPng", "cover.png", [] { return test::jpegBytes(8, 8); }, "image/jpeg", true},
        ArtworkCase{"BitmapBecomesPng", "cover.bmp", bmp, "image/png", false},
        ArtworkCase{"Text", "cover.png", [] { return QByteArray("not an image"); }, nullptr, false},
        ArtworkCase{"Empty", "cover.png", [] { return QByteArray(); }, nullptr, false},
        ArtworkCase{"Missing", "missing.png", {}, nullptr, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(EmbeddedArtworkFromImageTest, IsPNGAndNothingForANullImage)
{
    EXPECT_FALSE(EmbeddedArtwork::fromImage(QImage()));
    const auto artwork = EmbeddedArtwork::fromImage(QImage(5, 5, QImage::Format_ARGB32));
    ASSERT_TRUE(artwork);
    EXPECT_EQ(artwork->mimeType(), QStringLiteral("image/png"));
    EXPECT_TRUE(artwork->data().startsWith("\x89PNG"));
    EXPECT_FALSE(EmbeddedArtwork::fromFileUrl(QUrl(QStringLiteral("https://example.org/cover.png"))));
}

} // namespace
} // namespace airlark
