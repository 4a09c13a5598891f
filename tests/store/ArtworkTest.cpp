#include "StoreFixture.h"

#include "store/Artwork.h"
#include "store/DataDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace airlark::test {
namespace {

using ArtworkTest = StoreTest;

QImage sampleImage()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 90));
    return image;
}

TEST_F(ArtworkTest, OpenCreatesTheArtworkFolderOnFirstLaunch)
{
    setDataHome(dataHome() + QStringLiteral("/deeper"));
    const std::optional<Artwork> artwork = Artwork::open();
    ASSERT_TRUE(artwork);
    const QString folder = dataHome() + QStringLiteral("/deeper/org.airlark.Airlark/artwork");
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(artwork->artworkDirectory().toLocalFile()).absolutePath(), folder);
    EXPECT_TRUE(QDir(folder).isEmpty()); // opening writes no files
    EXPECT_TRUE(Artwork::open()); // and an existing folder is fine
}

TEST_F(ArtworkTest, OpenFailsWhenTheFolderCannotBeCreated)
{
    ASSERT_TRUE(ensureDataDirectory());
    QFile blocker(dataDirectoryPath() + QStringLiteral("/artwork"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("a file where the folder should be");
    blocker.close();
    EXPECT_FALSE(Artwork::open());
    EXPECT_EQ(fileBytes(blocker.fileName()), QByteArray("a file where the folder should be"));
}

// Formats Qt reads, whatever the file is called.
class ArtworkFormatTest : public StoreTest, public ::testing::WithParamInterface<Case<std::pair<const char*, const char*>>>
{
};

TEST_P(ArtworkFormatTest, DecodesTheImage)
{
    const std::optional<Artwork> artwork = Artwork::open();
    ASSERT_TRUE(artwork);
    const QString path = dataHome() + QStringLiteral("/cover.") + QString::fromLatin1(GetParam().value.second);
    ASSERT_TRUE(sampleImage().save(path, GetParam().value.first));
    const std::optional<QImage> image = artwork->imageAtURL(QUrl::fromLocalFile(path));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(40, 30));
}

INSTANTIATE_TEST_SUITE_P(Formats, ArtworkFormatTest,
                         ::testing::Values(Case{"PNG", std::pair{"PNG", "png"}}, Case{"JPEG", std::pair{"JPEG", "jpg"}},
                                           Case{"BMP", std::pair{"BMP", "bmp"}},
                                           Case{"PNG named jpg", std::pair{"PNG", "jpg"}},
                                           Case{"JPEG, odd extension", std::pair{"JPEG", "artwork"}}));

TEST_F(ArtworkTest, EveryCallReadsTheFileAfresh)
{
    const std::optional<Artwork> artwork = Artwork::open();
    ASSERT_TRUE(artwork);
    const QString path = dataHome() + QStringLiteral("/cover.png");
    ASSERT_TRUE(sampleImage().save(path));
    ASSERT_TRUE(artwork->imageAtURL(QUrl::fromLocalFile(path)));
    ASSERT_TRUE(sampleImage().scaled(10, 10).save(path));
    EXPECT_EQ(artwork->imageAtURL(QUrl::fromLocalFile(path))->size(), QSize(10, 10));

    ASSERT_TRUE(QFile::remove(path)); // deleted since the template was made
    EXPECT_FALSE(artwork->imageAtURL(QUrl::fromLocalFile(path)));
}

TEST_F(ArtworkTest, NonImagesGiveNoImage)
{
    const std::optional<Artwork> artwork = Artwork::open();
    ASSERT_TRUE(artwork);
    const QString text = dataHome() + QStringLiteral("/notes.png");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Show notes, not a picture.\n");
    file.close();
    const QString truncated = dataHome() + QStringLiteral("/truncated.png");
    ASSERT_TRUE(sampleImage().save(truncated));
    QFile::resize(truncated, 20);
    const QString empty = dataHome() + QStringLiteral("/empty.png");
    QFile(empty).open(QIODevice::WriteOnly);

    for (const QUrl& url : {QUrl::fromLocalFile(text), QUrl::fromLocalFile(truncated), QUrl::fromLocalFile(empty),
                            QUrl::fromLocalFile(dataHome()), // a directory
                            QUrl::fromLocalFile(QStringLiteral("/dev/zero")), // a device that never ends
                            QUrl(QStringLiteral("https://example.org/cover.png")), QUrl()}) {
        EXPECT_FALSE(artwork->imageAtURL(url)) << url.toString().toStdString();
    }
}

TEST_F(ArtworkTest, OversizedFileIsRefusedWithoutReadingIt)
{
    const std::optional<Artwork> artwork = Artwork::open();
    ASSERT_TRUE(artwork);
    const QString path = dataHome() + QStringLiteral("/huge.png");
    ASSERT_TRUE(sampleImage().save(path));
    ASSERT_TRUE(QFile::resize(path, Artwork::MaximumImageFileSize + 1)); // sparse: costs no disk
    EXPECT_FALSE(artwork->imageAtURL(QUrl::fromLocalFile(path)));
}

} // namespace
} // namespace airlark::test
