#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace airlark {

// Cover art as it goes into an ID3 picture frame: the encoded bytes and their MIME type.
//
// Artwork that comes from a file keeps that file's own bytes, so a JPEG is embedded without a
// lossy re-encode; only an image with no file behind it (or a file in a format players do not
// expect in a tag) is encoded, losslessly, as PNG.
class EmbeddedArtwork
{
public:
    // The bytes of an image file with the MIME type judged from their content, when they hold a JPEG
    // or PNG image; a PNG re-encoding when they hold another image format Qt can decode; nothing
    // when they hold no image.
    static std::optional<EmbeddedArtwork> fromBytes(QByteArray bytes);

    // The image encoded as PNG; nothing for a null image.
    static std::optional<EmbeddedArtwork> fromImage(const QImage& image);

    const QByteArray& data() const { return data_; }
    const QString& mimeType() const { return mimeType_; }

    friend bool operator==(const EmbeddedArtwork&, const EmbeddedArtwork&) = default;

private:
    EmbeddedArtwork(QByteArray data, QString mimeType)
        : data_(std::move(data)), mimeType_(std::move(mimeType))
    {
    }

    QByteArray data_;
    QString mimeType_;
};

} // namespace airlark
