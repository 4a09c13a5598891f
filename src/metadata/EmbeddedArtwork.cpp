#include "metadata/EmbeddedArtwork.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>

namespace airlark {
namespace {

// Artwork files above this size are refused rather than read into memory: an ID3v2 tag can hold
// at most 256 MB, and no cover image comes close to this.
constexpr qint64 MaximumArtworkFileBytes = 64 * 1024 * 1024;

bool isTagFriendlyMimeType(const QString& mimeType)
{
    return mimeType == QLatin1String("image/jpeg") || mimeType == QLatin1String("image/png");
}

} // namespace

std::optional<EmbeddedArtwork> EmbeddedArtwork::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaximumArtworkFileBytes)
        return std::nullopt;
    return fromBytes(file.readAll());
}

std::optional<EmbeddedArtwork> EmbeddedArtwork::fromBytes(QByteArray bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    const QString mimeType = QMimeDatabase().mimeTypeForData(bytes).name();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return std::nullopt;
    if (isTagFriendlyMimeType(mimeType))
        return EmbeddedArtwork(std::move(bytes), mimeType);
    return fromImage(reader.read());
}

std::optional<EmbeddedArtwork> EmbeddedArtwork::fromFileUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    return fromFile(url.toLocalFile());
}

std::optional<EmbeddedArtwork> EmbeddedArtwork::fromImage(const QImage& image)
{
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return std::nullopt;
    return EmbeddedArtwork(std::move(bytes), QStringLiteral("image/png"));
}

} // namespace airlark
