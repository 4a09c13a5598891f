#include "ftp/FTPThread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace airlark {

void FTPThread::runInSeparateThread(const std::function<void()>& block)
{
    std::mutex mutex;
    std::condition_variable condition;
    bool finished = false;

    std::thread thread([&] {
        block();
        std::lock_guard lock(mutex);
        finished = true;
        condition.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        condition.wait(lock, [&] { return finished; });
    }
    thread.join();
}

} // namespace airlark
