#include "metadata/EmbeddedArtwork.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeDatabase>

namespace airlark {
namespace {

bool isTagFriendlyMimeType(const QString& mimeType)
{
    return mimeType == QLatin1String("image/jpeg") || mimeType == QLatin1String("image/png");
}

} // namespace

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
