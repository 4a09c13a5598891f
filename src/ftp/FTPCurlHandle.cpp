#include "ftp/FTPCurlHandle.h"

#include "platform/LibCurl.h"

#include <QDeadlineTimer>
#include <QtGlobal>
#include <algorithm>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace airlark {

namespace {

// A server's reply is shown to the user; a hostile one must not fill the screen.
constexpr qsizetype MaximumReplyLength = 300;

bool startsWithCode(const QByteArray& line)
{
    return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2]));
}

qint64 sizeIn(const QByteArray& text)
{
    bool number = false;
    const qint64 size = text.toLongLong(&number, 10);
    return number && size >= 0 ? size : -1;
}

// An MDTM answer's "YYYYMMDDhhmmss", which is in UTC.
QDateTime timeIn(const QByteArray& text)
{
    QDateTime time = QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMddHHmmss"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

} // namespace

const char* ftpFailureKindName(FTPFailureKind kind)
{
    switch (kind) {
    case FTPFailureKind::None:
        return "none";
    case FTPFailureKind::LogInRefused:
        return "log-in refused";
    case FTPFailureKind::FolderMissing:
        return "folder missing";
    case FTPFailureKind::CannotConnect:
        return "cannot connect";
    case FTPFailureKind::ConnectionLost:
        return "connection lost";
    case FTPFailureKind::TimedOut:
        return "timed out";
    case FTPFailureKind::ServerClosedSession:
        return "server closed the session";
    case FTPFailureKind::RefusedFile:
        return "file refused";
    case FTPFailureKind::RefusedFileAfterData:
        return "file refused after the data";
    case FTPFailureKind::RefusedCommand:
        return "command refused";
    case FTPFailureKind::TLSHandshakeFailed:
        return "TLS handshake failed";
    case FTPFailureKind::CertificateRejected:
        return "certificate rejected";
    case FTPFailureKind::TLSNotOffered:
        return "TLS not offered";
    case FTPFailureKind::ListingTooLarge:
        return "listing too large";
    case FTPFailureKind::LocalFileError:
        return "local file error";
    case FTPFailureKind::Aborted:
        return "aborted";
    case FTPFailureKind::AlreadyOnServer:
        return "already on the server";
    case FTPFailureKind::IncompleteOnServer:
        return "incomplete on the server";
    case FTPFailureKind::SizeUnverified:
        return "size not verified";
    case FTPFailureKind::Other:
        break;
    }
    return "other";
}

bool isSafeFTPText(const QString& text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) && !text.contains(QChar(0));
}

FTPCurlHandle::FTPCurlHandle()
{
    const LibCurl& curl = LibCurl::get();
    easy_.reset(curl.easyInit());
    if (!easy_)
        return;
    CURL* easy = easy_.get();
    curl.easySetopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(easy, CURLOPT_ERRORBUFFER, errorBuffer_);
    // The replies reach us through the debug callback only; it never prints anything.
    curl.easySetopt(easy, CURLOPT_VERBOSE, 1L);
    curl.easySetopt(easy, CURLOPT_DEBUGFUNCTION, &FTPCurlHandle::debugCallback);
    curl.easySetopt(easy, CURLOPT_DEBUGDATA, this);
    // The control connection is idle while a long upload runs; keep routers from forgetting it
    // before the server's final reply.
    curl.easySetopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
    curl.easySetopt(easy, CURLOPT_TCP_KEEPIDLE, 60L);
    curl.easySetopt(easy, CURLOPT_TCP_KEEPINTVL, 30L);
    // One connection per operation: nothing lingers logged in after it.
    curl.easySetopt(easy, CURLOPT_FORBID_REUSE, 1L);
    // A 227 reply's address is the server's word on where to connect; a hostile or misconfigured
    // server could name another machine. The data connection goes to the control connection's host.
    curl.easySetopt(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    curl.easySetopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &FTPCurlHandle::closeSocket);
    curl.easySetopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    setSecurity(FTPSecurity::None);
    setTimeout(std::chrono::seconds(30));
}

FTPCurlHandle::~FTPCurlHandle() = default;

const QByteArray& FTPCurlHandle::caFile()
{
    static const QByteArray file = qgetenv("AIRLARK_FTP_CA_FILE");
    return file;
}

QUrl FTPCurlHandle::urlForSecurity(QUrl url, FTPSecurity security)
{
    url.setScheme(security == FTPSecurity::ImplicitTLS ? QStringLiteral("ftps") : QStringLiteral("ftp"));
    return url;
}

void FTPCurlHandle::setURL(const QUrl& url)
{
    host_ = url.host();
    LibCurl::get().easySetopt(easy_.get(), CURLOPT_URL,
                              url.toString(QUrl::FullyEncoded).toUtf8().constData());
}

void FTPCurlHandle::setSecurity(FTPSecurity security)
{
    const LibCurl& curl = LibCurl::get();
    CURL* easy = easy_.get();
    // Only the scheme the setting names may run, so a TLS setting can never fall back to plain FTP.
    curl.easySetopt(easy, CURLOPT_PROTOCOLS_STR, security == FTPSecurity::ImplicitTLS ? "ftps" : "ftp");
    curl.easySetopt(easy, CURLOPT_USE_SSL,
                    static_cast<long>(security == FTPSecurity::None ? CURLUSESSL_NONE : CURLUSESSL_ALL));
    curl.easySetopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    curl.easySetopt(easy, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl.easySetopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easySetopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile().isEmpty())
        curl.easySetopt(easy, CURLOPT_CAINFO, caFile().constData());
}

bool FTPCurlHandle::setUserName(const QString& userName)
{
    return isSafeFTPText(userName) && LibCurl::get().easySetopt(easy_.get(), CURLOPT_USERNAME,
                                                                userName.toUtf8().constData()) == CURLE_OK;
}

bool FTPCurlHandle::setPassword(const QString& password)
{
    return isSafeFTPText(password) && LibCurl::get().easySetopt(easy_.get(), CURLOPT_PASSWORD,
                                                                password.toUtf8().constData()) == CURLE_OK;
}

void FTPCurlHandle::setTimeout(std::chrono::milliseconds timeout)
{
    const LibCurl& curl = LibCurl::get();
    const long milliseconds = std::max<long>(1, static_cast<long>(timeout.count()));
    const long seconds = std::max<long>(1, (milliseconds + 999) / 1000);
    closeTimeout_ = std::chrono::milliseconds(milliseconds);
    CURL* easy = easy_.get();
    curl.easySetopt(easy, CURLOPT_CONNECTTIMEOUT_MS, milliseconds);
    curl.easySetopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    // A data connection that moves nothing for that long is dead too.
    curl.easySetopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl.easySetopt(easy, CURLOPT_LOW_SPEED_TIME, seconds);
}

int FTPCurlHandle::debugCallback(CURL*, curl_infotype type, char* data, size_t size, void* self)
{
    auto* handle = static_cast<FTPCurlHandle*>(self);
    if (type == CURLINFO_HEADER_IN)
        handle->recordReply(data, size);
    else if (type == CURLINFO_HEADER_OUT)
        handle->recordCommand(data, size);
    return 0;
}

// Why not close(): over TLS 1.3 the server sends its session tickets after the handshake, on
// the data connection too, and an uploading client never reads them. Linux answers close() on a
// socket with unread bytes with a reset instead of an orderly end, and the reset makes the server's
// system drop what it had received but not yet read: the server reads the first part of the file,
// then "connection reset" (vsftpd: "426 Failure reading network stream"), or a lenient server
// stores the part it read and says 226. So the end is orderly: our side is shut (the server sees
// the end of the file after every byte), what the server sends is read and dropped, and the socket
// is closed once the server has closed its side, as long as it keeps reading.
int FTPCurlHandle::closeSocket(void* self, curl_socket_t socket)
{
    const auto* handle = static_cast<const FTPCurlHandle*>(self);
    if (handle->gracefulClose_ && ::shutdown(socket, SHUT_WR) == 0) {
        QDeadlineTimer deadline(handle->closeTimeout_);
        int unsent = -1;
        char discard[4096];
        while (!deadline.hasExpired() && !(handle->closeAtOnce_ && handle->closeAtOnce_->load())) {
            pollfd readable{socket, POLLIN, 0};
            const int ready = ::poll(&readable, 1, 250);
            if (ready < 0 && errno != EINTR)
                break;
            if (ready > 0) {
                const ssize_t count = ::recv(socket, discard, sizeof discard, 0);
                if (count <= 0)
                    break; // the server closed its side (or reset it): nothing more to wait for
                continue;
            }
            // The server is still reading what we sent: each step it takes earns it more time.
            int queued = 0;
            if (::ioctl(socket, SIOCOUTQ, &queued) == 0 && queued != unsent) {
                unsent = queued;
                deadline.setRemainingTime(handle->closeTimeout_);
            }
        }
    }
    return ::close(socket);
}

void FTPCurlHandle::recordReply(const char* data, size_t size)
{
    // What the server says to QUIT does not tell what went wrong before.
    if (quitSent_)
        return;
    for (QByteArray line : QByteArray(data, static_cast<qsizetype>(size)).split('\n')) {
        line = line.trimmed();
        if (!startsWithCode(line))
            continue;
        const int code = line.left(3).toInt();
        if (code == 421)
            sawServiceClosing_ = true;
        // "123-" opens a multi-line reply; the line that ends it carries the same code and a space.
        if (line.size() > 3 && line[3] == '-' && lastReplyCode_ == code && !lastReply_.isEmpty())
            continue;
        lastReplyCode_ = code;
        lastReply_ = line.left(MaximumReplyLength);
        if (lastCommand_ == "STOR" && (code == 125 || code == 150))
            storAccepted_ = true;
        else if (lastCommand_ == "SIZE" && code == 213)
            fileSizeReply_ = sizeIn(line.mid(4).trimmed());
        else if (lastCommand_ == "MDTM" && code == 213)
            fileTimeReply_ = timeIn(line.mid(4, 14));
    }
}

void FTPCurlHandle::forgetFileFacts()
{
    fileSizeReply_ = -1;
    fileTimeReply_ = {};
    storAccepted_ = false;
}

void FTPCurlHandle::recordCommand(const char* data, size_t size)
{
    // Only the command's name: the rest of a PASS line is the password.
    const QByteArray line(data, static_cast<qsizetype>(std::min<size_t>(size, 8)));
    const qsizetype end = line.indexOf(' ');
    const QByteArray verb = (end < 0 ? line : line.left(end)).trimmed().toUpper();
    if (verb == "QUIT")
        quitSent_ = true;
    else
        lastCommand_ = verb;
}

QString FTPCurlHandle::lastReply() const
{
    QString text = QString::fromUtf8(lastReply_);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

FTPFailure FTPCurlHandle::failureFor(CURLcode result) const
{
    FTPFailure failure;
    if (result == CURLE_OK)
        return failure;
    failure.host = host_;
    failure.serverReply = lastReply();
    failure.reason = errorBuffer_[0] != '\0' ? QString::fromUtf8(errorBuffer_)
                                             : QString::fromUtf8(LibCurl::get().easyStrerror(result));
    failure.kind = ftpFailureKind(result, {lastCommand_, lastReplyCode_, sawServiceClosing_, failure.reason});
    return failure;
}

namespace {

// A command's refusal, by the command: a refused STOR is about the file.
FTPFailureKind refusal(const QByteArray& command, FTPFailureKind ofTheFile)
{
    return command == "STOR" ? ofTheFile : FTPFailureKind::RefusedCommand;
}

} // namespace

FTPFailureKind ftpFailureKind(CURLcode result, const FTPConversationEnd& end)
{
    if (result == CURLE_OK)
        return FTPFailureKind::None;
    // A 421 means the server refused or ended the session, whatever curl made of it.
    if (end.sawServiceClosing)
        return FTPFailureKind::ServerClosedSession;
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return FTPFailureKind::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return FTPFailureKind::TimedOut;
    case CURLE_LOGIN_DENIED:
        return FTPFailureKind::LogInRefused;
    case CURLE_REMOTE_ACCESS_DENIED:
        return end.lastCommand == "CWD" ? FTPFailureKind::FolderMissing : FTPFailureKind::RefusedCommand;
    case CURLE_USE_SSL_FAILED:
        return FTPFailureKind::TLSNotOffered;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
        return FTPFailureKind::CertificateRejected;
    case CURLE_SSL_CONNECT_ERROR:
        // A server that answers an implicit-TLS connection in plain text does not speak TLS.
        return end.reason.contains(QLatin1String("wrong version number"))
                   ? FTPFailureKind::TLSNotOffered
                   : FTPFailureKind::TLSHandshakeFailed;
    case CURLE_UPLOAD_FAILED:
        return FTPFailureKind::RefusedFile;
    case CURLE_PARTIAL_FILE:
        // The server's final word on a transfer was not a success: it took the data and refused it.
        return end.lastReplyCode >= 400 ? refusal(end.lastCommand, FTPFailureKind::RefusedFileAfterData)
                                        : FTPFailureKind::ConnectionLost;
    case CURLE_REMOTE_DISK_FULL:
        return refusal(end.lastCommand, FTPFailureKind::RefusedFileAfterData);
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_FTP_COULDNT_RETR_FILE:
        return refusal(end.lastCommand, FTPFailureKind::RefusedFile);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
        return FTPFailureKind::ConnectionLost;
    default:
        return FTPFailureKind::Other;
    }
}

} // namespace airlark
