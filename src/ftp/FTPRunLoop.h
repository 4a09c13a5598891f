#pragma once

#include <curl/curl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace airlark {

class FTPStream;

// The loop of one transfer thread: drives the curl transfers of the streams scheduled on it and
// runs work posted from other threads, until stop(). Stream events are delivered from inside
// run(), on the thread that runs it.
class FTPRunLoop
{
public:
    FTPRunLoop();
    ~FTPRunLoop();
    FTPRunLoop(const FTPRunLoop&) = delete;
    FTPRunLoop& operator=(const FTPRunLoop&) = delete;

    // Runs until stop() is called on the loop's thread.
    void run();
    void stop();
    // Queues `work` to run on the loop's thread and wakes the loop. Safe from any thread.
    void post(std::function<void()> work);

    void addStream(const std::shared_ptr<FTPStream>& stream);
    // Safe inside a stream's callbacks: the stream is then taken out once curl has returned.
    void removeStream(FTPStream* stream);
    // Takes the stream out of curl and puts it back, so that its handle starts a new transfer.
    void restartStream(FTPStream* stream);

private:
    void finishRemovals();
    void dispatchFinishedTransfers();
    void runPosted();

    CURLM* multi_ = nullptr;
    bool stopped_ = false;
    bool inPerform_ = false;
    std::vector<std::shared_ptr<FTPStream>> streams_;
    std::vector<std::shared_ptr<FTPStream>> pendingRemovals_;
    // Streams taken out, kept until the multi handle is cleaned up: a connection a stream left in
    // curl's cache is closed then, through that stream's close-socket callback.
    std::vector<std::shared_ptr<FTPStream>> retired_;
    std::mutex postedMutex_;
    std::vector<std::function<void()>> posted_;
};

} // namespace airlark
