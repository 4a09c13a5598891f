#pragma once

#include "metadata/ID3TagWriter.h"

#include <QDate>
#include <QImage>
#include <functional>

namespace airlark {

// The tag writer as a podcast uses it: podcast-level setters over the generic values, and the
// year of the save, always.
class PodcastID3TagWriter : public ID3TagWriter
{
public:
    using Clock = std::function<QDate()>;

    // `today` defaults to the local calendar date; tests pass their own.
    explicit PodcastID3TagWriter(QUrl url, Clock today = {});

    std::optional<int> year() const override;

    // An empty (null) text is stored as the empty string, never as none.
    void setArtist(const QString& artist);    // artist and album artist
    void setPodcast(const QString& podcast);  // album
    void setTitle(const QString& title);      // title
    void setDescription(const QString& text); // comment
    void setArtwork(const std::optional<EmbeddedArtwork>& image);
    // An image with no file behind it, embedded as PNG; a null image clears the artwork.
    void setArtwork(const QImage& image);

private:
    Clock today_;
};

} // namespace airlark
