#pragma once

#include <functional>

namespace airlark {

// Runs one piece of work on a fresh thread and blocks the caller until it has finished. The FTP
// client's operations use it so that each transfer owns a thread (and that thread's loop) alone.
class FTPThread
{
public:
    static void runInSeparateThread(const std::function<void()>& block);
};

} // namespace airlark
