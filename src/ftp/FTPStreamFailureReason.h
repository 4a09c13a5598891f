#pragma once

#include <QtGlobal>

namespace airlark {

// Why the last FTP transfer of an FTPClient failed.
enum class FTPStreamFailureReason : qint32
{
    None = 0,       // the initial value; never set by a failure
    ReadError = 1,  // reading the local file or from the server failed
    WriteError = 2, // writing to the server or to the local file failed
    GeneralError =
        3, // the server or the connection reported an error (refused log-in, refused file, lost connection)
    Aborted = 4, // FTPClient::abort() ended the transfer
};

// The diagnostic line logged when a transfer ends with `reason`; empty for None and Aborted.
const char* ftpStreamFailureMessage(FTPStreamFailureReason reason);

} // namespace airlark
