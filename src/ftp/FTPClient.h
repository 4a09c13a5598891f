#pragma once

#include "ftp/FTPFailure.h"
#include "ftp/FTPServer.h"
#include "ftp/FTPStreamFailureReason.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>

class QSaveFile;
class QIODevice;

namespace airlark {

class FTPRunLoop;
class FTPStream;
enum class FTPStreamEvent : int;

// Listener of an FTPClient's transfers. Called on the transfer's own thread, after every chunk.
class FTPClientDelegate
{
public:
    virtual ~FTPClientDelegate() = default;
    virtual void ftpManagerUploadProgressDidChange(const QVariantMap& progress) { Q_UNUSED(progress) }
    virtual void ftpManagerDownloadProgressDidChange(const QVariantMap& progress) { Q_UNUSED(progress) }
};

// A small blocking FTP client. Every operation checks the server record, runs on a fresh thread of
// its own (FTPThread) and returns when the work is done; call it from a background thread when the
// caller must not block. One operation at a time per client; progress(), failureReason() and abort()
// may be called from any thread while it runs.
//
// Every operation, the control commands included, runs over libcurl with the record's security
// setting: plain FTP, implicit TLS or explicit TLS, with the data connections encrypted whenever
// the control connection is and certificates always verified. PASS is sent only when the server
// asked for it (331), nothing before the server's greeting, and a 421 anywhere ends the session.
//
// Text arguments (user name, password, directory, file and folder names, commands) containing CR,
// LF or NUL are refused before anything is sent, and so is a control command line that does not fit
// the 256-byte command buffer. Passwords are never logged, printed or put on a command line.
class FTPClient
{
public:
    enum class Action : qint32
    {
        Upload = 0,
        CreateFolder = 1,
        ListDirectory = 2,
        Download = 3,
        ControlCommand = 4,
        Finished = 5,
    };

    static constexpr std::size_t BufferSize = 32768;
    static constexpr std::size_t CommandBufferSize = 256;
    static constexpr std::chrono::milliseconds DefaultTimeout{30000};
    // A listing past either limit fails (ListingTooLarge) instead of growing without bound.
    static constexpr qsizetype MaximumListingBytes = 4 * 1024 * 1024;
    static constexpr qsizetype MaximumListingEntries = 20000;

    FTPClient();
    ~FTPClient();
    FTPClient(const FTPClient&) = delete;
    FTPClient& operator=(const FTPClient&) = delete;

    // Control conversation: whether the server accepts the record's user name and password.
    bool checkLogin(const FTPServer* server);
    // The log-in check that also enters the destination's directory: whether it exists for this user.
    bool checkLoginAndDirectory(const FTPServer* server);
    // DELE of a file in the destination's directory (a file, whatever its name looks like).
    bool deleteFileNamed(const QString& name, const FTPServer* server);
    bool deleteFile(const QString& name, const FTPServer* server);
    // SITE CHMOD; `mode` is written in decimal digits like 755 and must be below 778.
    bool chmodFileNamed(const QString& name, int mode, const FTPServer* server);

    // What an upload does when the folder has a file of its name already.
    enum class ExistingFile
    {
        Replace,
        // Asks on the connection that will store it (SIZE, and MDTM for the time) and stores
        // nothing if it is there: the failure is AlreadyOnServer with its size and time.
        Keep,
    };

    // Streamed transfers. Success means the server confirmed the transfer; an upload also needs
    // the server's size of the file (SIZE after the final reply, else the folder's listing) to be
    // the local file's: otherwise it fails with IncompleteOnServer or SizeUnverified.
    bool uploadFile(const QUrl& fileURL, const FTPServer* server,
                    ExistingFile existing = ExistingFile::Replace);
    bool uploadData(const QByteArray& data, const QString& fileName, const FTPServer* server);
    bool createNewFolder(const QString& folderName, const FTPServer* server);
    // The entries of the destination directory (keys in FTPResourceKey), or none on failure.
    std::optional<QList<QVariantMap>> contentsOfServer(const FTPServer* server);
    // Downloads into `directoryURL`; a failed download leaves no file behind and leaves an existing
    // file of the same name untouched.
    bool downloadFile(const QString& fileName, const QUrl& directoryURL, const FTPServer* server);

    // {"fileSize", "bytesProcessed", "fileSizeProcessed", "progress"} while an upload or download
    // with a known size runs; none otherwise. Safe from any thread.
    std::optional<QVariantMap> progress() const;
    // The reason of the last failed transfer; a later success leaves it in place. Safe from any thread.
    FTPStreamFailureReason failureReason() const;
    // What went wrong in the last operation, control commands included; None after a success.
    // Safe from any thread.
    FTPFailure failureDetail() const;
    // Ends a running transfer promptly with failure reason Aborted (nothing is logged), whatever
    // the server does. Safe from any thread.
    void abort();

    // The size of the last upload or download and the bytes moved so far; they keep their values
    // after the transfer ended, so that a failure can tell how far it got. Safe from any thread.
    quint64 fileSize() const { return fileSize_; }
    quint64 fileSizeProcessed() const { return fileSizeProcessed_; }

    // Whether the last upload's STOR was accepted (125/150): the server's file of that name was
    // written by it, so that only then a clean-up may delete it. Safe from any thread.
    bool uploadReachedServer() const { return uploadReachedServer_; }

    bool streamSuccess() const;
    Action action() const;

    FTPClientDelegate* delegate() const;
    void setDelegate(FTPClientDelegate* delegate);

    // Bounds connecting and every wait for the server (30 s unless set).
    std::chrono::milliseconds timeout() const;
    void setTimeout(std::chrono::milliseconds timeout);

private:
    static bool checkFTPServer(const FTPServer* server);
    bool ftpActionForServer(const FTPServer* server, const std::optional<QString>& command,
                            bool enterDirectory);
    void setFailureDetail(FTPFailure failure);

    bool uploadFileWorker(const QUrl& fileURL, const FTPServer& server, ExistingFile existing);
    bool uploadDataWorker(const QByteArray& data, const QString& fileName, const FTPServer& server);
    bool uploadWorker(std::unique_ptr<QIODevice> reader, const QString& fileName, const FTPServer& server,
                      ExistingFile existing);
    bool uploadSizeMatchesListing(const QString& fileName, const FTPServer& server);
    bool createFolderWorker(const QString& folderName, const FTPServer& server);
    std::optional<QList<QVariantMap>> listingWorker(const FTPServer& server);
    bool downloadWorker(const QString& fileName, const QString& localPath, const FTPServer& server);
    bool runTransfer(std::shared_ptr<FTPStream> stream);

    void streamHandleEvent(FTPStream& stream, FTPStreamEvent event);
    void handleUploadSpaceAvailable();
    void handleDownloadBytesAvailable();
    void handleListingBytesAvailable();
    void handleEndEncountered();
    void streamDidEnd(bool success, FTPStreamFailureReason reason,
                      FTPFailureKind kind = FTPFailureKind::None);
    void abortOnTransferThread();
    QVariantMap progressDictionary() const;
    bool uploadedFileIsIntact() const;

    // Transfer thread's loop; guarded by loopMutex_ so that abort() can post to it from elsewhere.
    mutable std::mutex loopMutex_;
    FTPRunLoop* currentRunLoop_ = nullptr;

    std::atomic<Action> action_{Action::Finished};
    std::array<char, BufferSize> buffer_{};
    std::size_t bufferOffset_ = 0;
    std::size_t bufferLimit_ = 0;
    std::atomic<quint64> fileSize_{0};
    std::atomic<quint64> bytesProcessed_{0};
    std::atomic<quint64> fileSizeProcessed_{0};
    std::atomic<bool> streamSuccess_{false};
    std::atomic<FTPStreamFailureReason> failureReason_{FTPStreamFailureReason::None};
    std::atomic<FTPClientDelegate*> delegate_{nullptr};
    std::atomic<qint64> timeoutMs_{DefaultTimeout.count()};
    std::atomic<bool> abortRequested_{false};
    // Set by abort(): also ends the wait for the server to close after a whole upload.
    std::atomic<bool> closeAtOnce_{false};
    mutable std::mutex failureMutex_;
    FTPFailure failureDetail_;
    QString serverHost_;

    // Owned by the transfer thread; serverStreamOpen_ mirrors whether the server stream exists.
    std::unique_ptr<QIODevice> fileReader_;
    std::unique_ptr<QSaveFile> fileWriter_;
    std::shared_ptr<FTPStream> serverStream_;
    std::shared_ptr<FTPStream> serverReadStream_;
    std::atomic<bool> serverStreamOpen_{false};
    std::atomic<bool> uploadReachedServer_{false};
    bool uploadSizeUnknown_ = false; // confirmed, but the server did not answer SIZE
    QByteArray directoryListingData_;
    qsizetype directoryListingLines_ = 0;
    bool readerAtEnd_ = false;
    QString uploadPath_;
    quint64 uploadInode_ = 0;
    quint64 uploadDevice_ = 0;
};

} // namespace airlark
