#include "metadata/BackgroundTagWrite.h"

#include "platform/MainQueue.h"

namespace airlark {

BackgroundTagWrite::BackgroundTagWrite(PodcastID3TagWriter writer, Completion completion)
    : owned_(std::make_shared<bool>(true))
{
    Q_ASSERT(MainQueue::isMainThread());
    thread_ = std::jthread([writer = std::move(writer), completion = std::move(completion),
                            owned = owned_](std::stop_token stop) {
        TagLibMetadataError error;
        std::optional<TagLibMetadataError> result;
        if (!writer.write(&error, stop))
            result = error;
        MainQueue::async([owned, completion, result] {
            if (*owned)
                completion(result);
        });
    });
}

BackgroundTagWrite::~BackgroundTagWrite()
{
    Q_ASSERT(MainQueue::isMainThread());
    *owned_ = false;
    thread_.request_stop();
    thread_.join();
}

void BackgroundTagWrite::cancel()
{
    thread_.request_stop();
}

} // namespace airlark
