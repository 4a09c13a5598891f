#pragma once

#include <optional>

namespace airlark {

// How an upload through the FTP transfer monitor went, as reported with each progress report.
enum class FTPUploadFailureReason : int
{
    ServerError = 0,         // the server stream reported an error, typically a refused log-in
    ProgressUnavailable = 1, // the client had no progress information when polled
    TransferError = 2,       // any other failure: reading, writing, aborting, or setting up
    None = 3,                // no failure
};

// 0 to 3 give their case; any other value gives none.
std::optional<FTPUploadFailureReason> ftpUploadFailureReasonFromRawValue(int rawValue);

} // namespace airlark
