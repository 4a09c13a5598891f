#pragma once

#include "ftp/FTPCurlHandle.h"
#include "platform/LibCurl.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <chrono>
#include <curl/curl.h>
#include <functional>
#include <memory>
#include <span>

namespace airlark {

class FTPRunLoop;

// The events a stream delivers to its delegate, numbered as stream events usually are.
enum class FTPStreamEvent : int
{
    OpenCompleted = 1,
    HasBytesAvailable = 2,
    CanAcceptBytes = 4,
    ErrorOccurred = 8,
    EndEncountered = 16,
};

// One FTP transfer as a push-style stream over a curl easy handle: the stream logs in, changes to
// the URL's directory and stores (write stream) or retrieves (read stream) the named file; a read
// stream on a URL ending in "/" lists the directory, and a write stream on such a URL creates it.
//
// curl pulls upload data and pushes download data through callbacks; the stream turns each callback
// into CanAcceptBytes / HasBytesAvailable events. During CanAcceptBytes the delegate reads the file
// straight into curl's own upload buffer (writeWindow(), then commitWrite()), so every byte is read
// once and copied by nobody; during HasBytesAvailable it reads out of curl's buffer. The stream holds
// no data of its own. EndEncountered comes only after the server confirmed the whole transfer;
// everything else that ends it early is ErrorOccurred, with failure() telling why.
class FTPStream : public std::enable_shared_from_this<FTPStream>
{
public:
    using Delegate = std::function<void(FTPStream&, FTPStreamEvent)>;

    // `url` is "ftp://" (plain or explicit TLS) or "ftps://" (implicit TLS); see setSecurity().
    static std::shared_ptr<FTPStream> createWriteStreamWithFTPURL(const QUrl& url);
    static std::shared_ptr<FTPStream> createReadStreamWithFTPURL(const QUrl& url);
    ~FTPStream();
    FTPStream(const FTPStream&) = delete;
    FTPStream& operator=(const FTPStream&) = delete;

    // Each refuses (returns false) text with a CR, LF or NUL in it.
    bool setUserName(const QString& userName);
    bool setPassword(const QString& password);
    // Asks the server for the file's size before retrieving it; see resourceSize().
    void setFetchResourceInfo(bool fetch);
    // A write stream of a file first asks, on the connection it will store over, whether the folder
    // has a file of that name; if so it ends (ErrorOccurred, AlreadyOnServer) before any STOR.
    void setKeepExistingFile(bool keep);
    void setTimeout(std::chrono::milliseconds timeout);
    void setSecurity(FTPSecurity security);
    void setDelegate(Delegate delegate);
    // Set from any thread, `flag` ends the orderly close that follows a whole upload at once.
    void setCloseAtOnceFlag(const std::atomic<bool>* flag) { handle_.setCloseAtOnceFlag(flag); }

    bool open();
    void scheduleInRunLoop(FTPRunLoop& loop);
    void removeFromRunLoop();
    void close();

    // During CanAcceptBytes: the free part of curl's upload buffer (empty when there is no room
    // now or the stream is closed). Fill its front and commit the count filled.
    std::span<char> writeWindow();
    void commitWrite(std::size_t count);
    // After the last write: no more data follows. EndEncountered follows when the server confirms.
    void finishWriting();
    // During HasBytesAvailable: copies up to `length` bytes out of the transfer; returns the count,
    // 0 at the end of the data, or -1 when nothing can be read.
    qint64 read(char* data, qint64 length);

    // The file's size once OpenCompleted came for a stream that fetched resource information; -1 if unknown.
    qint64 resourceSize() const { return resourceSize_; }
    // What went wrong, once ErrorOccurred came.
    const FTPFailure& failure() const { return failure_; }
    // After a write stream's EndEncountered: the size the server gives its file (asked with SIZE
    // once the server confirmed the data), -1 if it did not say.
    qint64 serverFileSize() const { return handle_.fileSizeReply(); }
    // Whether the server accepted this write stream's STOR: its file has been written to.
    bool storAccepted() const { return handle_.storAccepted(); }

    CURL* easyHandle() const { return handle_.get(); }
    QString host() const { return url_.host(); }
    void transferDidFinish(CURLcode result);

private:
    enum class Kind
    {
        Write,
        Read
    };
    FTPStream(Kind kind, const QUrl& url);

    static size_t discardHeader(char* data, size_t size, size_t count, void* stream);
    static size_t readCallback(char* buffer, size_t size, size_t count, void* stream);
    static size_t writeCallback(char* data, size_t size, size_t count, void* stream);
    size_t fillUpload(char* buffer, size_t capacity);
    size_t takeDownload(char* data, size_t length);
    void deliver(FTPStreamEvent event);
    void deliverOpenOnce();

    Kind kind_;
    QUrl url_;
    FTPCurlHandle handle_;
    CurlSlist postCommands_;
    CurlSlist probeCommands_;
    Delegate delegate_;
    FTPRunLoop* loop_ = nullptr;
    bool opened_ = false;
    bool closed_ = false;
    bool openReported_ = false;
    bool fetchResourceInfo_ = false;
    bool fetchingInfo_ = false;
    bool keepExistingFile_ = false;
    bool probing_ = false;
    bool writingFinished_ = false;
    bool atEnd_ = false;
    qint64 resourceSize_ = -1;
    FTPFailure failure_;

    // curl's buffer while a callback runs.
    char* window_ = nullptr;
    size_t windowLength_ = 0;
    size_t windowUsed_ = 0;
};

} // namespace airlark
