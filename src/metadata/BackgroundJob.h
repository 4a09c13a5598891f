#pragma once

#include "platform/MainQueue.h"

#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

namespace airlark {

// One piece of blocking work (a tag write, decoding an image, copying a file) on a thread of its
// own, so that the window never waits for it. The result comes back on the main thread.
//
// Destroying the job asks the work to stop and waits for the thread; the completion is never
// called after that. Create and destroy it on the main thread.
template <typename Result> class BackgroundJob
{
public:
    using Work = std::function<Result(std::stop_token)>;
    using Completion = std::function<void(Result)>;

    BackgroundJob(Work work, Completion completion) : owned_(std::make_shared<bool>(true))
    {
        Q_ASSERT(MainQueue::isMainThread());
        thread_ = std::jthread([work = std::move(work), completion = std::move(completion),
                                owned = owned_](std::stop_token stop) {
            Result result = work(stop);
            MainQueue::async([owned, completion, result = std::move(result)] {
                if (*owned)
                    completion(result);
            });
        });
    }

    ~BackgroundJob()
    {
        Q_ASSERT(MainQueue::isMainThread());
        *owned_ = false;
        thread_.request_stop();
        thread_.join();
    }

    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Asks the work to stop; the completion still reports how it ended.
    void cancel() { thread_.request_stop(); }

private:
    std::shared_ptr<bool> owned_; // read and cleared on the main thread only
    std::jthread thread_;
};

} // namespace airlark
