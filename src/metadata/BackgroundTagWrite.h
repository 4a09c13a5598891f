#pragma once

#include "metadata/PodcastID3TagWriter.h"

#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace airlark {

// One tag write on a thread of its own, so that a save never blocks the window, however large the
// episode. The result comes back on the main thread.
//
// Destroying it asks the write to stop and waits for the thread (a write that has become final
// still finishes); the completion is never called after that. Create and destroy it on the main
// thread.
class BackgroundTagWrite
{
public:
    // None when the tags were written, else why not.
    using Completion = std::function<void(std::optional<TagLibMetadataError>)>;

    BackgroundTagWrite(PodcastID3TagWriter writer, Completion completion);
    ~BackgroundTagWrite();
    BackgroundTagWrite(const BackgroundTagWrite&) = delete;
    BackgroundTagWrite& operator=(const BackgroundTagWrite&) = delete;

    // Asks the write to stop; the completion still reports how it ended.
    void cancel();

private:
    std::shared_ptr<bool> owned_; // read and cleared on the main thread only
    std::jthread thread_;
};

} // namespace airlark
