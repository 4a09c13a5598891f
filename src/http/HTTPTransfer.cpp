#include "http/HTTPInputStream.h"
#include "http/HTTPSessionCore.h"
#include "platform/LibCurl.h"

#include <cstring>

// The libcurl callbacks of one transfer and the errors its results map to. They run inside
// curl_multi_perform on the session's worker thread.

namespace airlark {

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

HTTPError HTTPTransfer::transportError(int code, const QString& description, const QString& reason,
                                       const QUrl& url)
{
    HTTPError error(QString::fromLatin1(HTTPURLErrorDomain), code, description, reason);
    error.failingURL = url;
    return error;
}

// The session's error for a failed curl transfer, in the codes callers already know.
HTTPError HTTPTransfer::errorForCurlResult(CURLcode result, const HTTPTransfer& transfer)
{
    const QUrl url = transfer.task->originalRequest().URL;
    const QString reason = transfer.errorBuffer[0] ? QString::fromUtf8(transfer.errorBuffer)
                                                   : QString::fromUtf8(LibCurl::get().easyStrerror(result));
    if (transfer.task->state() == HTTPSessionTask::State::Canceling) {
        // A callback saw the cancellation before the cancel operation ran.
        return transportError(HTTPErrorCode::Cancelled, QStringLiteral("cancelled"), {}, url);
    }
    if (transfer.refusal)
        return *transfer.refusal;
    if (transfer.bodyError) {
        HTTPError error = transportError(HTTPErrorCode::RequestBodyStreamExhausted,
                                         QStringLiteral("The request body could not be sent."),
                                         transfer.bodyError->localizedDescription, url);
        error.underlyingError = std::make_shared<HTTPError>(*transfer.bodyError);
        return error;
    }
    return errorForCurlCode(result, reason, url);
}

HTTPError HTTPTransfer::errorForCurlCode(CURLcode result, const QString& reason, const QUrl& url)
{
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return transportError(HTTPErrorCode::CannotFindHost,
                              QStringLiteral("A server with the specified hostname could not be found."),
                              reason, url);
    case CURLE_COULDNT_CONNECT:
        return transportError(HTTPErrorCode::CannotConnectToHost,
                              QStringLiteral("Could not connect to the server."), reason, url);
    case CURLE_OPERATION_TIMEDOUT:
        return transportError(HTTPErrorCode::TimedOut, QStringLiteral("The request timed out."), reason, url);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return transportError(HTTPErrorCode::NetworkConnectionLost,
                              QStringLiteral("The network connection was lost."), reason, url);
    case CURLE_TOO_MANY_REDIRECTS:
        return transportError(HTTPErrorCode::HTTPTooManyRedirects, QStringLiteral("Too many HTTP redirects"),
                              reason, url);
    case CURLE_SSL_CONNECT_ERROR:
        return transportError(
            HTTPErrorCode::SecureConnectionFailed,
            QStringLiteral("An SSL error has occurred and a secure connection to the server cannot be made."),
            reason, url);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return transportError(HTTPErrorCode::ServerCertificateUntrusted,
                              QStringLiteral("The certificate for this server is invalid."), reason, url);
    case CURLE_UNSUPPORTED_PROTOCOL:
        return transportError(HTTPErrorCode::UnsupportedURL, QStringLiteral("unsupported URL"), reason, url);
    case CURLE_URL_MALFORMAT:
        return transportError(HTTPErrorCode::BadURL, QStringLiteral("bad URL"), reason, url);
    case CURLE_WEIRD_SERVER_REPLY:
        return transportError(HTTPErrorCode::BadServerResponseTransport,
                              QStringLiteral("bad server response"), reason, url);
    default:
        return transportError(HTTPErrorCode::Unknown, QStringLiteral("An unknown error occurred."), reason,
                              url);
    }
}

// Header lines must not smuggle a line break into the request.
QByteArray HTTPTransfer::headerLine(const QString& name, const QString& value)
{
    QByteArray line = name.toUtf8();
    QByteArray text = value.toUtf8();
    line.replace('\r', "").replace('\n', "").replace(':', "");
    text.replace('\r', " ").replace('\n', " ");
    text = text.trimmed();
    // curl's syntax for a field with an empty value; "Name:" would remove the field.
    if (text.isEmpty())
        return line + ';';
    return line + ": " + text;
}

void HTTPTransfer::refuse(int code, const QString& description)
{
    refusal = transportError(code, description, {}, task->originalRequest().URL);
}

bool HTTPTransfer::mayFollowRedirect()
{
    const std::optional<QString> location = responseHeaders.value(QStringLiteral("Location"));
    char* current = nullptr;
    LibCurl::get().easyGetinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &current);
    const QUrl target = location ? QUrl::fromEncoded(QByteArray(current ? current : url.constData()))
                                       .resolved(QUrl::fromEncoded(location->toLatin1()))
                                 : QUrl();
    const QString shown = target.isValid() ? target.toString(QUrl::RemoveUserInfo)
                                           : QStringLiteral("an address it did not name");
    if (!followsRedirects) {
        refuse(HTTPErrorCode::RedirectRefused,
               QStringLiteral("The server answered with a redirect to %1; nothing was uploaded").arg(shown));
        return false;
    }
    if (!location)
        return true; // nothing to follow: the 3xx is the answer
    if (++redirects > MaximumRedirects) {
        refuse(HTTPErrorCode::HTTPTooManyRedirects, QStringLiteral("Too many HTTP redirects"));
        return false;
    }
    if (secureOnly && target.scheme() != QLatin1String("https")) {
        refuse(HTTPErrorCode::InsecureRedirect,
               QStringLiteral("The server answered with a redirect to %1, which is not encrypted; it was "
                              "not followed")
                   .arg(shown));
        return false;
    }
    return true;
}

size_t HTTPTransfer::readBody(char* buffer, size_t size, size_t count, void* userData)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    const qint64 room = static_cast<qint64>(size * count);
    if (transfer.task->state() == HTTPSessionTask::State::Canceling)
        return CURL_READFUNC_ABORT;
    qint64 got = 0;
    if (!transfer.stream) {
        got = std::min<qint64>(room, transfer.body.size() - transfer.bodyOffset);
        std::memcpy(buffer, transfer.body.constData() + transfer.bodyOffset, static_cast<size_t>(got));
        transfer.bodyOffset += got;
    } else {
        if (!transfer.streamOpened) {
            transfer.stream->open();
            transfer.streamOpened = true;
        }
        qint64 limit = room;
        if (transfer.declaredLength >= 0)
            limit =
                std::min(room, transfer.declaredLength - transfer.produced + 1); // one more to notice excess
        got = limit > 0 ? transfer.stream->read(buffer, limit) : 0;
        if (got < 0) {
            transfer.bodyError = transfer.stream->streamError().value_or(
                HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamReadFailed,
                          QStringLiteral("The request body could not be read.")));
            return CURL_READFUNC_ABORT;
        }
        if (transfer.declaredLength >= 0 && ((got == 0 && transfer.produced < transfer.declaredLength) ||
                                             transfer.produced + got > transfer.declaredLength)) {
            transfer.bodyError = HTTPError(
                QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamLengthMismatch,
                QStringLiteral("The request body does not match its Content-Length."),
                QStringLiteral("Content-Length is %1 bytes.").arg(transfer.declaredLength));
            return CURL_READFUNC_ABORT;
        }
        transfer.produced += got;
        if (got == 0 || transfer.produced == transfer.declaredLength) {
            transfer.sendingBody = false; // the answer's time starts now
            transfer.answerSince = Clock::now();
        }
    }
    if (got > 0)
        transfer.lastActivity = Clock::now();
    return static_cast<size_t>(got);
}

// A redirect that keeps the method, or an authentication round, sends the body again.
int HTTPTransfer::rewindBody(void* userData, curl_off_t offset, int origin)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    if (offset != 0 || origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    if (!transfer.stream) {
        transfer.bodyOffset = 0;
    } else if (transfer.streamOpened) {
        auto delegate = transfer.core->currentDelegate();
        auto fresh = delegate ? delegate->sessionTaskNeedNewBodyStream(*transfer.core->owner, *transfer.task)
                              : nullptr;
        if (!fresh)
            return CURL_SEEKFUNC_CANTSEEK;
        transfer.stream = std::move(fresh);
        transfer.streamOpened = false;
        transfer.produced = 0;
    }
    transfer.lastUploadNow = 0;
    transfer.totalSent = 0;
    return CURL_SEEKFUNC_OK;
}

size_t HTTPTransfer::receiveHeader(char* buffer, size_t size, size_t count, void* userData)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    const size_t length = size * count;
    const QByteArray line = QByteArray(buffer, static_cast<qsizetype>(length)).trimmed();
    transfer.lastActivity = Clock::now();
    if (line.startsWith("HTTP/")) {
        // A new response begins (after a redirect or an interim 100 Continue).
        const QList<QByteArray> parts = line.split(' ');
        transfer.statusCode = parts.size() > 1 ? parts.at(1).toInt() : 0;
        transfer.responseHeaders = {};
        transfer.headerBytes = 0;
        transfer.bodyReceived = 0;
    }
    transfer.headerBytes += static_cast<qint64>(length);
    if (transfer.headerBytes > MaximumHeaderBytes) {
        transfer.refuse(HTTPErrorCode::BadServerResponseTransport,
                        QStringLiteral("The server's answer has more header lines than Airlark reads."));
        return 0;
    }
    if (line.isEmpty()) {
        // The end of a head.
        if (transfer.statusCode >= 300 && transfer.statusCode < 400 && !transfer.mayFollowRedirect())
            return 0;
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        transfer.responseHeaders.append(QString::fromLatin1(line.left(colon).trimmed()),
                                        QString::fromLatin1(line.mid(colon + 1).trimmed()));
    }
    return length;
}

size_t HTTPTransfer::receiveData(char* buffer, size_t size, size_t count, void* userData)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    const size_t length = size * count;
    if (transfer.task->state() == HTTPSessionTask::State::Canceling)
        return 0;
    transfer.lastActivity = Clock::now();
    // A body is capped as it arrives, so a huge or endless answer never piles up in memory. An
    // error page only needs its beginning for the server's message.
    qint64 kept = static_cast<qint64>(length);
    if (transfer.bodyReceived + kept > transfer.core->configuration.maximumResponseBodySize &&
        transfer.statusCode / 100 == 2) {
        transfer.refuse(HTTPErrorCode::DataLengthExceedsMaximum,
                        QStringLiteral("The server's answer is larger than the %1 bytes Airlark reads.")
                            .arg(transfer.core->configuration.maximumResponseBodySize));
        return 0;
    }
    if (transfer.statusCode / 100 != 2 && transfer.bodyReceived + kept > ErrorBodyPrefix) {
        kept = ErrorBodyPrefix - transfer.bodyReceived;
        transfer.cutErrorBody = true;
    }
    transfer.bodyReceived += kept;
    transfer.core->deliverResponseIfNeeded(transfer);
    HTTPSessionCore::noteBytesReceived(*transfer.task, kept);
    if (auto delegate = transfer.core->currentDelegate(); delegate && kept > 0) {
        delegate->sessionTaskDidReceiveData(*transfer.core->owner, *transfer.task,
                                            QByteArray(buffer, static_cast<qsizetype>(kept)));
    }
    return transfer.cutErrorBody ? 0 : length;
}

int HTTPTransfer::reportProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploadNow)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    if (uploadNow < transfer.lastUploadNow)
        transfer.lastUploadNow = uploadNow; // a new request after a redirect
    if (uploadNow > transfer.lastUploadNow) {
        const qint64 sent = uploadNow - transfer.lastUploadNow;
        transfer.lastUploadNow = uploadNow;
        transfer.totalSent += sent;
        transfer.lastActivity = Clock::now();
        HTTPSessionCore::noteBytesSent(*transfer.task, transfer.totalSent);
        if (auto delegate = transfer.core->currentDelegate()) {
            delegate->sessionTaskDidSendBodyData(*transfer.core->owner, *transfer.task, sent,
                                                 transfer.totalSent,
                                                 transfer.task->countOfBytesExpectedToSend());
        }
    }
    return 0;
}

} // namespace airlark
