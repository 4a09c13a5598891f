#pragma once

#include "ftp/FTPFailure.h"
#include "publish/FTPUploadFailureReason.h"

namespace airlark {

// The listener of an FTP transfer monitor. Both operations are optional: the defaults do
// nothing. The monitor calls them on the main thread only.
class FTPTransferMonitorDelegate
{
public:
    virtual ~FTPTransferMonitorDelegate() = default;

    // The verdict of a log-in check, and what went wrong when it failed.
    virtual void FTPLogInCompleted(bool /*success*/, const FTPFailure& /*failure*/ = {}) {}

    // Upload progress in percent. The last report of every upload carries the final reason: 100
    // after a success; after a failure the share actually sent, with what went wrong beside it.
    virtual void FTPUploadDidProgress(int /*percentage*/, FTPUploadFailureReason /*failureReason*/,
                                      const FTPFailure& /*failure*/ = {})
    {
    }
};

} // namespace airlark
