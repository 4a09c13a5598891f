#pragma once

#include "platform/MainQueue.h"
#include "publish/FTPTransferMonitor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace airlark::test {

// Records what an FTP transfer monitor reports, and whether it ever reported off the main thread.
class RecordingMonitorDelegate : public FTPTransferMonitorDelegate
{
public:
    struct Report
    {
        int percentage = 0;
        FTPUploadFailureReason reason = FTPUploadFailureReason::None;
        FTPFailure failure;
    };

    void FTPLogInCompleted(bool success, const FTPFailure& failure) override
    {
        offMainThread = offMainThread || !MainQueue::isMainThread();
        logIns.push_back(success);
        logInFailures.push_back(failure);
    }

    void FTPUploadDidProgress(int percentage, FTPUploadFailureReason reason,
                              const FTPFailure& failure) override
    {
        offMainThread = offMainThread || !MainQueue::isMainThread();
        reports.push_back({percentage, reason, failure});
    }

    std::vector<bool> logIns;
    std::vector<FTPFailure> logInFailures;
    std::vector<Report> reports;
    bool offMainThread = false;
};

// Starts an operation on a monitor that the caller then lets go of, as the screens do; the result
// watches the monitor without holding it.
template <typename Start>
std::weak_ptr<FTPTransferMonitor> started(std::shared_ptr<FTPTransferMonitor> monitor, Start&& start)
{
    std::weak_ptr<FTPTransferMonitor> watched = monitor;
    if (monitor)
        start(*monitor);
    return watched;
}

// Waits until nothing holds the monitor any more: its operation has reported and let it go.
inline bool waitUntilReleased(const std::weak_ptr<FTPTransferMonitor>& monitor,
                              std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    return waitFor([&monitor] { return monitor.expired(); }, timeout);
}

} // namespace airlark::test
