#pragma once

#include <QImage>
#include <QString>
#include <QUrl>
#include <optional>

namespace airlark {

// The artwork folder in the per-user data directory, loading of artwork images, and the copies of
// the images templates use. A template refers to its image by the file's absolute URL (a copy in
// the folder, or the user's own file for templates made before copies were kept); there is no
// index of images.
class Artwork
{
public:
    static inline const QString DefaultBundleIdentifierReplacement = QStringLiteral("Airlark");
    static inline const QString DatabaseFilenamePathComponent = QStringLiteral("database");
    static inline const QString ArtworkFolder = QStringLiteral("artwork");

    // Makes sure <data directory>/artwork/ exists; nothing when it cannot be located or created.
    static std::optional<Artwork> open();

    // The artwork folder.
    const QUrl& artworkDirectory() const { return artworkDirectory_; }

    // Reads the file at `url` (a local file) afresh and decodes it in any format Qt reads; nothing
    // when the file is missing, unreadable, not a regular file, too large for artwork, or not an image.
    std::optional<QImage> imageAtURL(const QUrl& url) const;

    // Keeps `bytes` (an image the user chose) in the artwork folder as a file of its own, named after
    // its content (SHA-256 and `extension`), so that no two images ever share a name and the same
    // image is kept once. The copy's URL; nothing when it cannot be written. Blocks while it writes:
    // call it from a worker thread.
    std::optional<QUrl> keep(const QByteArray& bytes, const QString& extension) const;

    // Images larger than this are refused rather than read into memory.
    static constexpr qint64 MaximumImageFileSize = qint64(64) * 1024 * 1024;

private:
    explicit Artwork(QUrl artworkDirectory) : artworkDirectory_(std::move(artworkDirectory)) {}
    QUrl artworkDirectory_;
};

} // namespace airlark
