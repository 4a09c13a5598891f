#include "publish/FTPUploadFailureReason.h"

namespace airlark {

std::optional<FTPUploadFailureReason> ftpUploadFailureReasonFromRawValue(int rawValue)
{
    if (rawValue < static_cast<int>(FTPUploadFailureReason::ServerError) ||
        rawValue > static_cast<int>(FTPUploadFailureReason::None))
        return std::nullopt;
    return static_cast<FTPUploadFailureReason>(rawValue);
}

} // namespace airlark
