#include "ftp/FTPThread.h"

#include <thread>

namespace airlark {

void FTPThread::runInSeparateThread(const std::function<void()>& block)
{
    // Joining is the wait: it returns once the block has finished, with everything the block
    // wrote visible to the caller.
    std::thread thread(block);
    thread.join();
}

} // namespace airlark
