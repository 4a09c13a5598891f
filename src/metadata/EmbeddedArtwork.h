#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QUrl>
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
    // The file's bytes with the MIME type judged from its content, when it is a JPEG or PNG image;
    // a PNG re-encoding when it is another image format Qt can decode; nothing when the file cannot
    // be read or holds no image.
    static std::optional<EmbeddedArtwork> fromFile(const QString& path);
    static std::optional<EmbeddedArtwork> fromFileUrl(const QUrl& url);
    // The same for bytes already read from a file.
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
