#include "ftp/FTPStreamFailureReason.h"

namespace airlark {

const char* ftpStreamFailureMessage(FTPStreamFailureReason reason)
{
    switch (reason) {
    case FTPStreamFailureReason::ReadError:
        return "ftp stream failed: error while reading data";
    case FTPStreamFailureReason::WriteError:
        return "ftp stream failed: error while writing data";
    case FTPStreamFailureReason::GeneralError:
        return "ftp stream failed: general stream error (check credentials?)";
    case FTPStreamFailureReason::None:
    case FTPStreamFailureReason::Aborted:
        break;
    }
    return "";
}

} // namespace airlark
