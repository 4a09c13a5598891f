#pragma once

#include "ftp/FTPClient.h"
#include "ftp/FTPServer.h"
#include "publish/FTPTransferMonitorDelegate.h"
#include "publish/FTPUploadFailureReason.h"

#include <QUrl>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

class RepeatingTimer;

// Runs one blocking FTP client operation (a log-in check or one upload) on a background thread
// of its own and reports to its delegate on the main thread; during an upload it polls the
// client's progress every 0.1 s on the main thread.
//
// Nobody needs to keep a monitor: the running operation, the pending main-thread report and the
// progress timer each hold it, so it lives until its operation has reported. Its delegate is held
// strongly for the same span, so a screen that goes away mid-transfer is never called dangling.
class FTPTransferMonitor : public std::enable_shared_from_this<FTPTransferMonitor>
{
public:
    static constexpr std::chrono::milliseconds ProgressInterval{100};

    static std::shared_ptr<FTPTransferMonitor> create(std::shared_ptr<FTPClient> manager,
                                                      std::shared_ptr<FTPServer> server,
                                                      std::shared_ptr<FTPTransferMonitorDelegate> delegate);
    ~FTPTransferMonitor();
    FTPTransferMonitor(const FTPTransferMonitor&) = delete;
    FTPTransferMonitor& operator=(const FTPTransferMonitor&) = delete;

    // Starts a log-in check and returns at once; FTPLogInCompleted follows on the main thread.
    // Main thread only.
    void logIn();

    // Starts the upload of a local file and returns at once; FTPUploadDidProgress follows on the
    // main thread, then one FTPUploadDidFinish with the final reason: 100 after the server
    // confirmed the file, the share sent and the client's failure detail after a failure. Unless
    // `replaceExisting`, a file of the same name in the folder is left alone and the upload fails
    // with AlreadyOnServer. A monitor uploads once. Main thread only.
    void uploadFile(const QUrl& fileURL, bool replaceExisting = false);

    // Ends the running upload at once, or keeps it from starting; FTPUploadDidFinish still follows,
    // with the failure Aborted (or a success, when the server had confirmed the file first).
    // Main thread only.
    void cancel();
    bool isCancelled() const { return cancelled_.load(); }

    // After the upload has finished: removes what it left in the destination folder, in the
    // background, but only a file this upload wrote (its STOR was accepted): a file of the same
    // name that it never touched stays. `completion` (main thread) gets None when the file is gone
    // or this upload never wrote one.
    void removeUploadedFile(std::function<void(const FTPFailure& failure)> completion);

    const std::shared_ptr<FTPTransferMonitorDelegate>& delegate() const { return delegate_; }
    const std::shared_ptr<FTPClient>& manager() const { return manager_; }
    const std::shared_ptr<FTPServer>& server() const { return server_; }
    // The last log-in verdict (main thread, after FTPLogInCompleted).
    bool canLogIn() const { return canLogIn_.load(); }
    std::optional<QUrl> fileURL() const { return fileURL_; }
    // The last reason reported.
    std::optional<FTPUploadFailureReason> failureReason() const { return failureReason_; }
    // Whether the progress timer runs.
    bool isPollingProgress() const;

private:
    FTPTransferMonitor(std::shared_ptr<FTPClient> manager, std::shared_ptr<FTPServer> server,
                       std::shared_ptr<FTPTransferMonitorDelegate> delegate);

    void beginLogIn();
    void logInFinished();
    void beginUpload();
    void uploadFinished(bool uploaded);
    void progressDidChange();

    std::shared_ptr<FTPTransferMonitorDelegate> delegate_;
    std::shared_ptr<FTPClient> manager_;
    std::shared_ptr<FTPServer> server_;
    std::atomic<bool> canLogIn_{false};
    std::atomic<bool> cancelled_{false};
    std::unique_ptr<RepeatingTimer> timer_;
    std::optional<QUrl> fileURL_;
    bool replaceExisting_ = false;
    std::optional<FTPUploadFailureReason> failureReason_;
    bool uploadHasFinished_ = false;
};

// The report reason for a failure reason the FTP client recorded.
FTPUploadFailureReason uploadFailureReasonFor(FTPStreamFailureReason clientReason);

struct FTPProgressReport
{
    int percentage = 100;
    FTPUploadFailureReason failureReason = FTPUploadFailureReason::ProgressUnavailable;

    friend bool operator==(const FTPProgressReport&, const FTPProgressReport&) = default;
};

// What a progress tick reports for the client's progress dictionary and its recorded reason: the
// "progress" fraction in whole percent (truncated) with the mapped reason, or 100 with
// ProgressUnavailable when there is no dictionary or no number under "progress".
FTPProgressReport progressReportFor(const std::optional<QVariantMap>& progress,
                                    FTPStreamFailureReason clientReason);

} // namespace airlark
