#pragma once

#include "metadata/EmbeddedArtwork.h"
#include "metadata/TagLibMetadata.h"

#include <QString>
#include <QUrl>
#include <optional>
#include <stop_token>

namespace airlark {

// The ID3 values for one audio file, written into it in one pass through TagLibMetadata.
class ID3TagWriter
{
public:
    explicit ID3TagWriter(QUrl url) : URL(std::move(url)) {}
    virtual ~ID3TagWriter() = default;

    QUrl URL;
    std::optional<QString> artist;
    std::optional<EmbeddedArtwork> artwork;
    std::optional<QString> album;
    std::optional<QString> albumArtist;
    std::optional<QString> title;
    std::optional<QString> comment;
    PodcastTagValues podcast; // each value as in ID3TagValues: none leaves the file's frames alone

    virtual std::optional<int> year() const { return year_; }
    void setYear(std::optional<int> year) { year_ = year; }

    // Opens the file, hands every value over (an empty one as none), then the podcast values, the
    // year only when there is one, and updates the file. True when the file was updated. When the file cannot
    // be opened, `error` receives the tag layer's error; when updating fails, it receives the reason too. A
    // stop request is honoured until the write becomes final. Any thread may write.
    bool write(TagLibMetadataError* error = nullptr, std::stop_token stop = {}) const;

private:
    std::optional<int> year_;
};

} // namespace airlark
