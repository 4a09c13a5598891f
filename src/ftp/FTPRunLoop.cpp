#include "ftp/FTPRunLoop.h"

#include "ftp/FTPStream.h"
#include "platform/LibCurl.h"

#include <algorithm>

namespace airlark {

namespace {
constexpr int PollIntervalMs = 1000;
}

FTPRunLoop::FTPRunLoop() : multi_(LibCurl::get().multiInit()) {}

FTPRunLoop::~FTPRunLoop()
{
    const LibCurl& curl = LibCurl::get();
    for (const auto& stream : streams_)
        curl.multiRemoveHandle(multi_, stream->easyHandle());
    for (const auto& stream : pendingRemovals_)
        curl.multiRemoveHandle(multi_, stream->easyHandle());
    curl.multiCleanup(multi_);
}

void FTPRunLoop::run()
{
    stopped_ = false;
    while (!stopped_) {
        int running = 0;
        inPerform_ = true;
        LibCurl::get().multiPerform(multi_, &running);
        inPerform_ = false;
        finishRemovals();
        dispatchFinishedTransfers();
        finishRemovals();
        runPosted();
        finishRemovals();
        if (stopped_)
            break;
        LibCurl::get().multiPoll(multi_, nullptr, 0, PollIntervalMs, nullptr);
    }
}

void FTPRunLoop::stop()
{
    stopped_ = true;
}

void FTPRunLoop::post(std::function<void()> work)
{
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(work));
    }
    LibCurl::get().multiWakeup(multi_);
}

void FTPRunLoop::addStream(const std::shared_ptr<FTPStream>& stream)
{
    streams_.push_back(stream);
    LibCurl::get().multiAddHandle(multi_, stream->easyHandle());
}

void FTPRunLoop::removeStream(FTPStream* stream)
{
    const auto it = std::find_if(streams_.begin(), streams_.end(),
                                 [stream](const auto& candidate) { return candidate.get() == stream; });
    if (it == streams_.end())
        return;
    // curl forbids removing a handle from inside its own callbacks; keep the stream alive until then.
    pendingRemovals_.push_back(*it);
    streams_.erase(it);
    if (!inPerform_)
        finishRemovals();
}

void FTPRunLoop::restartStream(FTPStream* stream)
{
    LibCurl::get().multiRemoveHandle(multi_, stream->easyHandle());
    LibCurl::get().multiAddHandle(multi_, stream->easyHandle());
}

void FTPRunLoop::finishRemovals()
{
    // Popped one at a time: releasing a stream may run code that schedules or removes others.
    while (!pendingRemovals_.empty()) {
        std::shared_ptr<FTPStream> stream = std::move(pendingRemovals_.back());
        pendingRemovals_.pop_back();
        LibCurl::get().multiRemoveHandle(multi_, stream->easyHandle());
        retired_.push_back(std::move(stream));
    }
}

void FTPRunLoop::dispatchFinishedTransfers()
{
    int remaining = 0;
    while (CURLMsg* message = LibCurl::get().multiInfoRead(multi_, &remaining)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto it = std::find_if(streams_.begin(), streams_.end(), [easy](const auto& candidate) {
            return candidate->easyHandle() == easy;
        });
        if (it == streams_.end())
            continue;
        std::shared_ptr<FTPStream> stream = *it; // the stream's handlers may remove it from the loop
        stream->transferDidFinish(result);
    }
}

void FTPRunLoop::runPosted()
{
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(postedMutex_);
        work.swap(posted_);
    }
    for (auto& item : work)
        item();
}

} // namespace airlark
