#pragma once

#include "ftp/FTPFailure.h"
#include "ftp/FTPServer.h"
#include "platform/LibCurl.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <optional>

namespace airlark {

// One curl easy handle set up for an FTP conversation: the one TLS stack of the FTP client, for
// the control commands and the streamed transfers alike. It keeps the server's replies as they
// arrive (never what the client sends beyond the command's name, so never a password), which is
// what turns curl's result into an FTPFailure a user can act on.
class FTPCurlHandle
{
public:
    FTPCurlHandle();
    ~FTPCurlHandle();
    FTPCurlHandle(const FTPCurlHandle&) = delete;
    FTPCurlHandle& operator=(const FTPCurlHandle&) = delete;

    bool isValid() const { return easy_ != nullptr; }
    CURL* get() const { return easy_.get(); }

    // The URL to work on: "ftp://" for plain and explicit TLS, "ftps://" for implicit TLS (see
    // urlForSecurity); `host` is kept for messages.
    void setURL(const QUrl& url);
    // Which protocol may run and whether TLS is required. There is no setting that skips the
    // certificate check: TLS always verifies the certificate and the host name.
    void setSecurity(FTPSecurity security);
    // Each refuses text with a CR, LF or NUL in it.
    bool setUserName(const QString& userName);
    bool setPassword(const QString& password);
    void setTimeout(std::chrono::milliseconds timeout);

    // The server's last reply line ("552 Quota exceeded"), cleaned of control characters.
    QString lastReply() const;
    int lastReplyCode() const { return lastReplyCode_; }
    // What went wrong, given curl's result of the conversation.
    FTPFailure failureFor(CURLcode result) const;

    // What the server said of a file since forgetFileFacts(): its size from a 213 answer to SIZE
    // (-1 if none), its time from a 213 answer to MDTM (invalid if none), and whether it accepted a
    // STOR (125 or 150: from then on the server's file is this upload's).
    qint64 fileSizeReply() const { return fileSizeReply_; }
    const QDateTime& fileTimeReply() const { return fileTimeReply_; }
    bool storAccepted() const { return storAccepted_; }
    void forgetFileFacts();

    // Whether sockets are closed gracefully from now on: the sending side is shut down and what the
    // server still sends is read until it closes too, so that it can read every byte sent. Off
    // (close at once) unless a whole upload has been handed over.
    void setGracefulClose(bool graceful) { gracefulClose_ = graceful; }
    // A flag, set from any thread, that ends a graceful close at once (an abort).
    void setCloseAtOnceFlag(const std::atomic<bool>* flag) { closeAtOnce_ = flag; }

    // `url` with the scheme that `security` needs.
    static QUrl urlForSecurity(QUrl url, FTPSecurity security);
    // The CA file that certificates are checked against besides the system's store, from
    // AIRLARK_FTP_CA_FILE; read once, on first use.
    static const QByteArray& caFile();

private:
    static int debugCallback(CURL* easy, curl_infotype type, char* data, size_t size, void* self);
    static int closeSocket(void* self, curl_socket_t socket);
    void recordReply(const char* data, size_t size);
    void recordCommand(const char* data, size_t size);

    // Before easy_: curl closes the last sockets while easy_ is cleaned up.
    bool gracefulClose_ = false;
    const std::atomic<bool>* closeAtOnce_ = nullptr;
    std::chrono::milliseconds closeTimeout_{30000};
    CurlEasy easy_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    QString host_;
    QByteArray lastReply_;
    int lastReplyCode_ = 0;
    bool sawServiceClosing_ = false; // a 421 anywhere in the conversation
    QByteArray lastCommand_;         // the verb of the last command sent ("CWD", "STOR"), QUIT aside
    bool quitSent_ = false;
    qint64 fileSizeReply_ = -1;
    QDateTime fileTimeReply_;
    bool storAccepted_ = false;
};

// Whether `text` can go into an FTP command line: no CR, LF or NUL.
bool isSafeFTPText(const QString& text);

// What the conversation so far makes of a failed curl result.
struct FTPConversationEnd
{
    QByteArray lastCommand;         // the verb of the last command sent ("CWD", "STOR")
    int lastReplyCode = 0;          // the server's last reply code
    bool sawServiceClosing = false; // a 421 anywhere in the conversation
    QString reason;                 // curl's description ("wrong version number" and such)
};

// The kind of failure `result` is, for what a user can do about it.
FTPFailureKind ftpFailureKind(CURLcode result, const FTPConversationEnd& end);

} // namespace airlark
