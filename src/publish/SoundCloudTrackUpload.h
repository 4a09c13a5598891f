#pragma once

#include "publish/SoundCloudAPIClientUploadDelegate.h"
#include "publish/SoundCloudFileUploadEntity.h"

#include <memory>
#include <mutex>
#include <optional>

namespace airlark {

class HTTPSessionTask;
class SoundCloudAPIClient;

// Lets whoever started an upload end it at any point: the request under way is cancelled, one
// not yet sent is never sent, and the delegate hears an error HTTPErrorCode::Cancelled. SoundCloud
// keeps nothing of a track whose request did not complete. Thread-safe.
class SoundCloudUploadCancellation
{
public:
    void cancel();
    bool isCancelled() const;
    // Records the request under way; false (and the task is left alone) once cancelled.
    bool track(std::shared_ptr<HTTPSessionTask> task);

private:
    mutable std::mutex mutex_;
    bool cancelled_ = false;
    std::shared_ptr<HTTPSessionTask> task_;
};

// Why an upload did not start.
enum class SoundCloudAPIClientError
{
    FileURL, // the entity's file URL has no last path component
};

// Outcomes of an upload that the HTTP answer alone does not say; their description is the
// message to show.
inline constexpr const char* SoundCloudUploadErrorDomain = "org.airlark.soundcloud.upload";
namespace SoundCloudUploadErrorCode {
inline constexpr int NeedsNewSignIn = 1; // no usable token, or the renewed one was refused too
inline constexpr int SigningFailed = 2;  // the token could not be refreshed or read just now
inline constexpr int NotATrack = 3;      // a 2xx answer that does not describe the new track
} // namespace SoundCloudUploadErrorCode

// The track upload of SoundCloudAPIClient: one streamed multipart/form-data POST to "/tracks"
// with the entity's text fields, its audio file and its artwork, signed with the account's token.
// A file larger than a MiB is preceded by a "/me" request, so that a dead token is found (and
// renewed) before the whole file is sent. An answer 401 renews the token once, through the same
// single refresh as an expiry, and sends again. Only a 2xx answer from "/tracks" itself with the
// track in its body is a success.
// Returns at once; progress and the outcome reach `delegate`, which the upload holds until it
// has completed. With FileURL nothing is sent and the delegate is never called.
// Call on the main thread. `client` is not needed after the call returns; `cancellation`, when
// given, ends the upload on request.
std::optional<SoundCloudAPIClientError>
upload(SoundCloudAPIClient& client, const SoundCloudFileUploadEntity& entity,
       std::shared_ptr<SoundCloudAPIClientUploadDelegate> delegate,
       std::shared_ptr<SoundCloudUploadCancellation> cancellation = nullptr);

// The descriptions of those outcomes.
extern const QString SoundCloudNeedsNewSignInMessage; // "Sign in to SoundCloud again"
extern const QString SoundCloudSigningFailedMessage;
extern const QString SoundCloudNotATrackMessage;

} // namespace airlark
