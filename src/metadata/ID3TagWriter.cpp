#include "metadata/ID3TagWriter.h"

namespace airlark {

bool ID3TagWriter::write(TagLibMetadataError* error, std::stop_token stop) const
{
    const std::unique_ptr<TagLibMetadata> metadata = TagLibMetadata::open(URL, false, error);
    if (!metadata)
        return false;
    ID3TagValues written = values;
    written.year = year();
    metadata->setValues(std::move(written));
    const bool updated = metadata->updateFile(std::move(stop));
    if (!updated && error && metadata->lastError())
        *error = *metadata->lastError();
    return updated;
}

} // namespace airlark
