#include "MetadataStoreFixture.h"

#include "support/Mp3Fixtures.h"

#include <QUrl>

namespace airlark::test {

void MetadataStoreFixture::SetUp()
{
    StoreTest::SetUp();
    database = openWithTables();
}

qint64 MetadataStoreFixture::insertTemplate(const QString& name, std::optional<QString> artworkPath,
                                            std::optional<QString> title, std::optional<QString> comment,
                                            std::optional<QString> lastEpisodeTitle)
{
    ID3TemplateQueryBuilder builder(*database, name);
    builder.album = name + QStringLiteral(" album");
    builder.artist = name + QStringLiteral(" artist");
    builder.albumArtist = builder.artist;
    builder.title = std::move(title);
    builder.comment = std::move(comment);
    builder.lastEpisodeTitle = std::move(lastEpisodeTitle);
    if (artworkPath)
        builder.artworkURL = QUrl::fromLocalFile(*artworkPath).toString(QUrl::FullyEncoded);
    const auto inserted = builder.insert();
    EXPECT_TRUE(inserted);
    return inserted ? inserted->id : -1;
}

QString MetadataStoreFixture::imageFile(const QString& name, int width, int height)
{
    const QString path = files.filePath(name);
    writeFile(path,
              name.endsWith(QLatin1String(".png")) ? pngBytes(width, height) : jpegBytes(width, height));
    return path;
}

QString MetadataStoreFixture::mp3File(const QString& name, int seconds)
{
    const QString path = files.filePath(name);
    writeFile(path, mp3Bytes(seconds));
    return path;
}

} // namespace airlark::test
