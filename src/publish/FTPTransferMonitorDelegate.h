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

    // Upload progress in percent. Every bytes has left at 100, but the server may still refuse
    // the file: only FTPUploadDidFinish tells.
    virtual void FTPUploadDidProgress(int /*percentage*/, FTPUploadFailureReason /*failureReason*/,
                                      const FTPFailure& /*failure*/ = {})
    {
    }

    // The end of an upload, reported once: 100 with None only after the server confirmed the file
    // (its final reply after the data); after a failure the share actually sent, with what went
    // wrong. By default it arrives as the last progress report.
    virtual void FTPUploadDidFinish(int percentage, FTPUploadFailureReason failureReason,
                                    const FTPFailure& failure)
    {
        FTPUploadDidProgress(percentage, failureReason, failure);
    }
};

} // namespace airlark
