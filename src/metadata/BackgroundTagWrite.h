#pragma once

#include "metadata/BackgroundJob.h"
#include "metadata/PodcastID3TagWriter.h"

#include <optional>

namespace airlark {

// One tag write on a thread of its own, so that a save never blocks the window, however large the
// episode. Its result, none when the tags were written, comes back on the main thread.
//
// Destroying it asks the write to stop and waits for it: a write that has become final still
// finishes.
class BackgroundTagWrite : public BackgroundJob<std::optional<TagLibMetadataError>>
{
public:
    BackgroundTagWrite(PodcastID3TagWriter writer, Completion completion);
};

} // namespace airlark
