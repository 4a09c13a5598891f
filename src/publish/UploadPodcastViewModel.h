#pragma once

#include "publish/FTPTransferMonitorDelegate.h"
#include "publish/SoundCloudAPIClientUploadDelegate.h"
#include "publish/TransferRateEstimator.h"
#include "store/PodcastHost.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace airlark {

class FTPTransferMonitor;
class LibsynFTPClientFactory;
class SoundCloudUploadHandle;
class UploadPodcastViewModel;
struct LibsynAccountAccess;

// Where one upload stands. The values are stored as these integers.
enum class UploadPodcastState : int
{
    Unstarted = 0,  // nothing has been sent
    InProgress = 1, // the upload was started
    Successful = 2, // the host confirmed the file
    Failed = 3,     // the upload could not be made, or the transport reported a failure
    Cancelled = 4,  // the user stopped it; what had been sent was removed (or could not be)
};

// The upload screen's listener. Called on the main thread only, always later than the change it
// reports; read the view model's values when it is called.
class UploadPodcastViewModelDelegate
{
public:
    virtual ~UploadPodcastViewModelDelegate() = default;
    virtual void uploadPodcastViewModelUploadStatusDidChange(UploadPodcastViewModel& viewModel) = 0;
};

// The upload step's logic: publishes one tagged MP3 file to one account, by FTP for a Libsyn
// account and as a SoundCloud track for a SoundCloud account, and turns the transport's reports
// into a state, the Next button's title and enabled state, and a status line.
//
// "Uploaded" means confirmed: the FTP server's final reply after the data, SoundCloud's answer
// with the track; a transfer that has handed over every byte only reads "Finishing…". A failure
// names its cause in words; a failed or cancelled upload can be retried (by a new view model).
//
// Every write of uploadProgress or uploadState (also of an unchanged value) schedules one report
// to the delegate on the main queue, in the order of the writes. Progress reports of a SoundCloud
// upload arrive on the HTTP client's worker thread, so the progress, the state and the byte counts
// are atomic.
//
// A view model is shared: its transport (the FTP transfer monitor, the SoundCloud upload, the
// background read of a Libsyn account) holds it until it has reported its end. The delegate is not
// owned; a screen that goes away or moves on to another view model clears it first.
class UploadPodcastViewModel final : public FTPTransferMonitorDelegate,
                                     public SoundCloudAPIClientUploadDelegate,
                                     public std::enable_shared_from_this<UploadPodcastViewModel>
{
public:
    static std::shared_ptr<UploadPodcastViewModel> create(QUrl fileURL, qint64 userIdentifier,
                                                          PodcastHost host, std::optional<QString> title,
                                                          std::optional<QUrl> artworkURL, QStringList tags,
                                                          std::optional<QString> episodeDescription);
    ~UploadPodcastViewModel() override;
    UploadPodcastViewModel(const UploadPodcastViewModel&) = delete;
    UploadPodcastViewModel& operator=(const UploadPodcastViewModel&) = delete;

    const QUrl& fileURL() const { return fileURL_; }
    qint64 userIdentifier() const { return userIdentifier_; }
    PodcastHost host() const { return host_; }
    const std::optional<QString>& title() const { return title_; }
    const std::optional<QUrl>& artworkURL() const { return artworkURL_; }
    const QStringList& tags() const { return tags_; }
    const std::optional<QString>& episodeDescription() const { return episodeDescription_; }

    // Main thread.
    UploadPodcastViewModelDelegate* delegate() const { return delegate_; }
    void setDelegate(UploadPodcastViewModelDelegate* delegate) { delegate_ = delegate; }

    // Percent, 0 to 100: the share the host has taken; after a failure, how far it got.
    int uploadProgress() const { return uploadProgress_.load(); }
    void setUploadProgress(int uploadProgress);
    UploadPodcastState uploadState() const { return uploadState_.load(); }
    void setUploadState(UploadPodcastState uploadState);
    // What went wrong (or, after a cancel, what could not be undone; after a success, that its
    // confirmation could not be read), in words.
    std::optional<QString> failureReasonFromServer() const;
    // The SoundCloud upload failed because the account must be signed in again: the status says
    // "Sign in to SoundCloud again". Main thread.
    bool signInExpired() const { return signInExpired_; }
    // The upload failed at signing in: no stored password or token could be read, the host
    // refused them, or a SoundCloud sign-in could not be renewed. Main thread.
    bool signInFailed() const { return signInFailed_; }
    // Where the episode is now, once the upload has succeeded: the track's link on SoundCloud,
    // "<show folder>/<file name>" on Libsyn. Main thread.
    const std::optional<QString>& publishedLocation() const { return publishedLocation_; }
    // Once the upload has succeeded, the page to go to next: the new track's page on SoundCloud
    // (only a web address; the server chose it, and the desktop would start whatever handles
    // another scheme), or Libsyn's dashboard, where the episode in the folder is managed.
    std::optional<QUrl> publishedPageURL() const;
    // Where the episode went, as rich text whose link is publishedPageURL(): the track's address
    // on SoundCloud, the show folder on Libsyn. Empty until the upload has succeeded.
    QString publishedText() const;

    // Whether a transfer (or the reading of its account) is running, and whether it was asked to stop.
    bool isRunning() const { return uploadState() == UploadPodcastState::InProgress; }
    bool isStopping() const { return stopping_; }
    // A failed or cancelled upload offers Retry (Next) and Back (another account).
    bool canRetry() const;

    // "Upload", "Uploading…", "Done", "Retry".
    QString uploadButtonText() const;
    bool uploadButtonEnabled() const;
    // "Click ‘Upload’ to begin", "Uploading…" (with a word that the connection is not encrypted,
    // when so), "Finishing…" once every byte has left, "Stopping…", "🎉 Uploaded 🎉",
    // "Upload failed: <reason>", "Upload cancelled" (with what could not be undone, or that
    // nothing was sent).
    QString statusText() const;

    // Bytes sent so far and expected in total, as far as the transport tells (0 when unknown).
    qint64 bytesSent() const { return bytesSent_.load(); }
    qint64 bytesExpected() const { return bytesExpected_.load(); }
    // "<sent> of <total> — <speed>, <time> left" while the upload runs and its size is known,
    // "<total> sent in <time>" once it succeeded, else empty. The speed is smoothed over the
    // screen's readings. Main thread.
    QString transferredText() const;
    // The file's own name.
    QString fileName() const { return fileURL_.fileName(); }
    // The account as the host selection step lists it, "<name>—<host>" (the host alone without a
    // name).
    QString accountText() const;
    void setAccountName(const QString& name) { accountName_ = name; }

    // Whether a Libsyn upload may replace a file of the same name already in the show's folder.
    // Without it (the default) such a file is left alone: the upload ends Failed and
    // replaceQuestion() asks. Set before beginUpload.
    void setReplaceExisting(bool replace) { replaceExisting_ = replace; }
    bool replacesExisting() const { return replaceExisting_; }
    // After a Libsyn upload that found its name taken: "“ep12.mp3” is already on Libsyn (48.2 MB,
    // uploaded 3 Dec). Replace it?"; none otherwise. Main thread.
    const std::optional<QString>& replaceQuestion() const { return replaceQuestion_; }
    // After a cancelled upload: nothing reached the host (no file was opened there), so nothing
    // needed removing. Main thread.
    bool nothingSent() const { return nothingSent_; }

    // Starts the upload and returns at once. Main thread; once per view model.
    void beginUpload();

    // Stops a running upload: the transfer is aborted and what reached an FTP server is removed;
    // `stopped` runs on the main thread once all that has ended (at once when nothing runs). The
    // upload ends Cancelled, or as it was when it ended before the stop could take hold.
    void cancelUpload(std::function<void()> stopped);

    // Who makes the FTP transfer monitor of a Libsyn account; replaceable before beginUpload.
    void setLibsynFTPClientFactory(std::shared_ptr<const LibsynFTPClientFactory> factory);

    // FTPTransferMonitorDelegate: main thread. Progress only moves the bar; the end decides.
    void FTPUploadDidProgress(int percentage, FTPUploadFailureReason failureReason,
                              const FTPFailure& failure = {}) override;
    void FTPUploadDidFinish(int percentage, FTPUploadFailureReason failureReason,
                            const FTPFailure& failure) override;
    // Whether the account sends its password and the episode without encryption (its own choice).
    bool connectionIsUnencrypted() const { return unencrypted_; }

    // SoundCloudAPIClientUploadDelegate: progress on the HTTP worker thread, completion on the
    // main thread.
    void soundCloudUploadDidProgress(HTTPSession& session, HTTPSessionTask& task, qint64 bytesSent,
                                     qint64 totalBytesSent, qint64 bytesExpectedToSend) override;
    void soundCloudUploadDidComplete(const std::optional<HTTPResponse>& response, const QVariant& data,
                                     const std::optional<HTTPError>& error) override;

    // The percentage of `totalBytesSent` in `bytesExpectedToSend`, truncated, within 0 to 100;
    // 0 when nothing is expected.
    static int percentage(qint64 totalBytesSent, qint64 bytesExpectedToSend);
    // The first "errors"[0]["error_message"] text of a decoded SoundCloud answer, if there is one.
    static std::optional<QString> serverErrorMessage(const QVariant& data);

private:
    UploadPodcastViewModel(QUrl fileURL, qint64 userIdentifier, PodcastHost host,
                           std::optional<QString> title, std::optional<QUrl> artworkURL, QStringList tags,
                           std::optional<QString> episodeDescription);

    void beginSoundCloudUpload();
    void beginLibsynUpload();
    void libsynAccountDidArrive(const LibsynAccountAccess& access);
    // Ends the upload in `state` with `reason` on screen, and lets a waiting stop go on.
    void finish(UploadPodcastState state, std::optional<QString> reason = std::nullopt);
    void setFailureReasonFromServer(std::optional<QString> reason);
    // Removes the part of the file this upload wrote, then ends in `state` with `reason`.
    void removeWrittenFileThenFinish(UploadPodcastState state, std::optional<QString> reason);
    void scheduleStatusNotification();

    const QUrl fileURL_;
    const qint64 userIdentifier_;
    const PodcastHost host_;
    UploadPodcastViewModelDelegate* delegate_ = nullptr;
    const std::optional<QString> title_;
    const std::optional<QUrl> artworkURL_;
    const QStringList tags_;
    const std::optional<QString> episodeDescription_;
    std::atomic<int> uploadProgress_{0};
    std::atomic<UploadPodcastState> uploadState_{UploadPodcastState::Unstarted};
    mutable std::mutex failureReasonMutex_;
    std::optional<QString> failureReasonFromServer_;

    std::atomic<qint64> bytesSent_{0};
    std::atomic<qint64> bytesExpected_{0};
    QString accountName_;
    bool started_ = false;
    bool stopping_ = false;
    std::vector<std::function<void()>> whenStopped_;
    bool signInExpired_ = false;
    bool signInFailed_ = false;
    mutable TransferRateEstimator rate_; // read by the screen, on the main thread
    std::optional<QString> publishedLocation_;
    bool unencrypted_ = false;
    bool replaceExisting_ = false;
    bool nothingSent_ = false;
    std::optional<QString> replaceQuestion_;
    QString libsynEmail_;
    QString libsynFolder_;
    std::shared_ptr<const LibsynFTPClientFactory> libsynFTPClientFactory_;
    // The running transport; let go once it has ended, which also ends its hold on this object.
    std::shared_ptr<FTPTransferMonitor> monitor_;
    std::shared_ptr<SoundCloudUploadHandle> soundCloudUpload_;
};

} // namespace airlark
