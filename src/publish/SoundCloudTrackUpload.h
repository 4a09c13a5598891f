#pragma once

#include "publish/SoundCloudAPIClientUploadDelegate.h"
#include "publish/SoundCloudFileUploadEntity.h"

#include <memory>
#include <optional>

namespace airlark {

class SoundCloudAPIClient;

// Why an upload did not start.
enum class SoundCloudAPIClientError
{
    FileURL, // the entity's file URL has no last path component
};

// Errors of an upload that could not be signed; nothing was sent.
inline constexpr const char* SoundCloudUploadErrorDomain = "org.airlark.soundcloud.upload";
namespace SoundCloudUploadErrorCode {
inline constexpr int NeedsNewSignIn = 1; // no usable token: the account must be connected again
inline constexpr int SigningFailed = 2;  // the token could not be refreshed or read just now
} // namespace SoundCloudUploadErrorCode

// The track upload of SoundCloudAPIClient: one streamed multipart/form-data POST to "/tracks"
// with the entity's text fields, its audio file and its artwork, signed with the account's token.
// Returns at once; progress and the outcome reach `delegate`, which the upload holds until it
// has completed. With FileURL nothing is sent and the delegate is never called.
// Call on the main thread. `client` is not needed after the call returns.
std::optional<SoundCloudAPIClientError> upload(SoundCloudAPIClient& client,
                                               const SoundCloudFileUploadEntity& entity,
                                               std::shared_ptr<SoundCloudAPIClientUploadDelegate> delegate);

// The messages a delegate finds in the answer's "errors" list when the upload could not be signed.
extern const QString SoundCloudNeedsNewSignInMessage;
extern const QString SoundCloudSigningFailedMessage;

} // namespace airlark
