#include "store/Artwork.h"

#include "store/DataDirectory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace airlark {

std::optional<Artwork> Artwork::open()
{
    const std::optional<QString> folder = ensureDataSubdirectory(ArtworkFolder);
    if (!folder)
        return std::nullopt;
    return Artwork(QUrl::fromLocalFile(*folder + QLatin1Char('/')));
}

std::optional<QImage> Artwork::imageAtURL(const QUrl& url) const
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QString path = url.toLocalFile();
    // A template may point at anything: a device or pipe would never end, a huge file would fill memory.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaximumImageFileSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(MaximumImageFileSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > MaximumImageFileSize)
        return std::nullopt;
    QImage image = QImage::fromData(bytes);
    if (image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QUrl> Artwork::keep(const QByteArray& bytes, const QString& extension) const
{
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) +
        QLatin1Char('.') + extension.toLower();
    const QString path = artworkDirectory_.toLocalFile() + name;
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() &&
        existing.read(MaximumImageFileSize + 1) == bytes)
        return QUrl::fromLocalFile(path);
    // Written beside and renamed over, so that a half-written copy never carries the name.
    QSaveFile copy(path);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.commit())
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

} // namespace airlark
