#pragma once

#include "publish/SoundCloudAPIClientUploadDelegate.h"
#include "publish/SoundCloudFileUploadEntity.h"
#include "store/Result.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace airlark {

class HTTPSessionTask;
class SoundCloudAPIClient;

// Why an upload did not start.
enum class SoundCloudAPIClientError
{
    FileURL, // the entity's file URL has no last path component
};

// A running track upload, whichever of its requests (a token refresh, "/me", "/tracks") it is at.
// Main thread only.
class SoundCloudUploadHandle
{
public:
    // Ends the upload promptly: its delegate hears the error Cancelled (HTTPURLErrorDomain) once,
    // unless the upload had completed first.
    void cancel();
    bool isCancelled() const { return cancelled_; }

    // For the upload itself: the "/tracks" request now in flight (a cancel that came first cancels
    // it at once), how to report a cancel while no such request runs, and the one completion.
    void setTask(const std::shared_ptr<HTTPSessionTask>& task);
    void setCancelReporter(std::function<void()> report) { reportCancel_ = std::move(report); }
    bool claimCompletion() { return !std::exchange(completed_, true); }

private:
    bool cancelled_ = false;
    bool completed_ = false;
    std::weak_ptr<HTTPSessionTask> task_;
    std::function<void()> reportCancel_;
};

// Outcomes of an upload that the HTTP answer alone does not say; their description is the
// message to show.
inline constexpr const char* SoundCloudUploadErrorDomain = "org.airlark.soundcloud.upload";
namespace SoundCloudUploadErrorCode {
inline constexpr int NeedsNewSignIn = 1;     // no usable token, or the renewed one was refused too
inline constexpr int SigningFailed = 2;      // the token could not be refreshed or read just now
inline constexpr int NotATrack = 3;          // a 2xx answer that does not describe the new track
inline constexpr int KeyringUnavailable = 4; // the sign-in cannot be read: the keyring is locked or absent
inline constexpr int AskedToWait = 5;        // a 429 (or 503) with Retry-After, too long to wait out
// Not a failure: "/tracks" answered 201, so the track exists, but its body could not be read. The
// delegate hears it as the error of a completion whose response is that 201.
inline constexpr int AnswerUnreadable = 6;
} // namespace SoundCloudUploadErrorCode

// The track upload of SoundCloudAPIClient: one streamed multipart/form-data POST to "/tracks"
// with the entity's text fields, its audio file and its artwork, signed with the account's token.
// A file larger than a MiB is preceded by a "/me" request, so that a dead token is found (and
// renewed) before the whole file is sent. An answer 401 renews the token once, through the same
// single refresh as an expiry, and sends again. Only a 2xx answer from "/tracks" itself with the
// track in its body is a success; a 201 whose body cannot be read is AnswerUnreadable, never a
// failure that would invite a second upload of the same track.
// Returns at once with the upload's handle; progress and the outcome reach `delegate`, which the
// upload holds until it has completed. With FileURL nothing is sent and the delegate is never
// called. Call on the main thread. `client` is not needed after the call returns.
Result<std::shared_ptr<SoundCloudUploadHandle>, SoundCloudAPIClientError>
upload(SoundCloudAPIClient& client, const SoundCloudFileUploadEntity& entity,
       std::shared_ptr<SoundCloudAPIClientUploadDelegate> delegate);

// The descriptions of those outcomes.
extern const QString SoundCloudNeedsNewSignInMessage; // "Sign in to SoundCloud again"
extern const QString SoundCloudSigningFailedMessage;
extern const QString SoundCloudNotATrackMessage;
extern const QString SoundCloudKeyringUnavailableMessage;
extern const QString SoundCloudAnswerUnreadableMessage;
// "SoundCloud asks to wait N minutes", for a Retry-After of `delay`.
QString soundCloudAskedToWaitMessage(std::chrono::seconds delay);

} // namespace airlark
