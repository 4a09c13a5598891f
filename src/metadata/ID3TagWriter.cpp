#include "metadata/ID3TagWriter.h"

namespace airlark {

bool ID3TagWriter::write(TagLibMetadataError* error, std::stop_token stop) const
{
    const std::unique_ptr<TagLibMetadata> metadata = TagLibMetadata::open(URL, false, error);
    if (!metadata)
        return false;
    metadata->setArtist(artist);
    metadata->setArtwork(artwork);
    metadata->setAlbum(album);
    metadata->setAlbumArtist(albumArtist);
    metadata->setTitle(title);
    metadata->setComment(comment);
    metadata->setPodcastValues(podcast);
    if (const std::optional<int> value = year())
        metadata->setYear(*value);
    const bool updated = metadata->updateFile(std::move(stop));
    if (!updated && error && metadata->lastError())
        *error = *metadata->lastError();
    return updated;
}

} // namespace airlark
