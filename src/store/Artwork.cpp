#include "store/Artwork.h"

#include "store/DataDirectory.h"

#include <QFile>
#include <QFileInfo>

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

} // namespace airlark
