#pragma once

#include "publish/FTPUploadFailureReason.h"

namespace airlark {

// The listener of an FTP transfer monitor. Both operations are optional: the defaults do
// nothing. The monitor calls them on the main thread only.
class FTPTransferMonitorDelegate
{
public:
    virtual ~FTPTransferMonitorDelegate() = default;

    // The verdict of a log-in check.
    virtual void FTPLogInCompleted(bool /*success*/) {}

    // Upload progress in percent. The last report of every upload has 100 and the final reason.
    virtual void FTPUploadDidProgress(int /*percentage*/, FTPUploadFailureReason /*failureReason*/) {}
};

} // namespace airlark
