#include "http/HTTPSession.h"

#include "http/HTTPInputStream.h"
#include "http/HTTPSessionCore.h"

#include <QDebug>

#include <algorithm>
#include <climits>
#include <cstring>

namespace airlark {

namespace {

using Clock = std::chrono::steady_clock;

void initializeCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::chrono::milliseconds secondsToMilliseconds(double seconds)
{
    const double clamped = std::clamp(seconds, 0.001, static_cast<double>(INT_MAX) / 1000.0);
    return std::chrono::milliseconds(static_cast<qint64>(clamped * 1000.0));
}

HTTPError transportError(int code, const QString& description, const QString& reason, const QUrl& url)
{
    HTTPError error(QString::fromLatin1(HTTPURLErrorDomain), code, description, reason);
    error.failingURL = url;
    return error;
}

// The session's error for a failed curl transfer, in the codes callers already know.
HTTPError errorForCurlResult(CURLcode result, const HTTPTransfer& transfer)
{
    const QUrl url = transfer.task->originalRequest().URL;
    const QString reason = transfer.errorBuffer[0] ? QString::fromUtf8(transfer.errorBuffer)
                                                   : QString::fromUtf8(curl_easy_strerror(result));
    if (transfer.task->state() == HTTPSessionTask::State::Canceling) {
        // A callback saw the cancellation before the cancel operation ran.
        return transportError(HTTPErrorCode::Cancelled, QStringLiteral("cancelled"), {}, url);
    }
    if (transfer.bodyError) {
        HTTPError error = transportError(HTTPErrorCode::RequestBodyStreamExhausted,
                                         QStringLiteral("The request body could not be sent."),
                                         transfer.bodyError->localizedDescription, url);
        error.underlyingError = std::make_shared<HTTPError>(*transfer.bodyError);
        return error;
    }
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return transportError(HTTPErrorCode::CannotFindHost,
                              QStringLiteral("A server with the specified hostname could not be found."), reason, url);
    case CURLE_COULDNT_CONNECT:
        return transportError(HTTPErrorCode::CannotConnectToHost, QStringLiteral("Could not connect to the server."),
                              reason, url);
    case CURLE_OPERATION_TIMEDOUT:
        return transportError(HTTPErrorCode::TimedOut, QStringLiteral("The request timed out."), reason, url);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return transportError(HTTPErrorCode::NetworkConnectionLost, QStringLiteral("The network connection was lost."),
                              reason, url);
    case CURLE_TOO_MANY_REDIRECTS:
        return transportError(HTTPErrorCode::HTTPTooManyRedirects, QStringLiteral("Too many HTTP redirects"), reason, url);
    case CURLE_SSL_CONNECT_ERROR:
        return transportError(HTTPErrorCode::SecureConnectionFailed,
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
        return transportError(HTTPErrorCode::BadServerResponseTransport, QStringLiteral("bad server response"), reason, url);
    default:
        return transportError(HTTPErrorCode::Unknown, QStringLiteral("An unknown error occurred."), reason, url);
    }
}

// Header lines must not smuggle a line break into the request.
QByteArray headerLine(const QString& name, const QString& value)
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

size_t readBody(char* buffer, size_t size, size_t count, void* userData)
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
            limit = std::min(room, transfer.declaredLength - transfer.produced + 1); // one more to notice excess
        got = limit > 0 ? transfer.stream->read(buffer, limit) : 0;
        if (got < 0) {
            transfer.bodyError = transfer.stream->streamError().value_or(
                HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamReadFailed,
                          QStringLiteral("The request body could not be read.")));
            return CURL_READFUNC_ABORT;
        }
        if (transfer.declaredLength >= 0
            && ((got == 0 && transfer.produced < transfer.declaredLength)
                || transfer.produced + got > transfer.declaredLength)) {
            transfer.bodyError = HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain),
                                           HTTPErrorCode::StreamLengthMismatch,
                                           QStringLiteral("The request body does not match its Content-Length."),
                                           QStringLiteral("Content-Length is %1 bytes.").arg(transfer.declaredLength));
            return CURL_READFUNC_ABORT;
        }
        transfer.produced += got;
    }
    if (got > 0)
        transfer.lastActivity = Clock::now();
    return static_cast<size_t>(got);
}

// A redirect that keeps the method, or an authentication round, sends the body again.
int rewindBody(void* userData, curl_off_t offset, int origin)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    if (offset != 0 || origin != SEEK_SET)
        return CURL_SEEKFUNC_CANTSEEK;
    if (!transfer.stream) {
        transfer.bodyOffset = 0;
    } else if (transfer.streamOpened) {
        auto delegate = transfer.core->currentDelegate();
        auto fresh = delegate ? delegate->sessionTaskNeedNewBodyStream(*transfer.core->owner, *transfer.task) : nullptr;
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

size_t receiveHeader(char* buffer, size_t size, size_t count, void* userData)
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
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        transfer.responseHeaders.append(QString::fromLatin1(line.left(colon).trimmed()),
                                        QString::fromLatin1(line.mid(colon + 1).trimmed()));
    }
    return length;
}

size_t receiveData(char* buffer, size_t size, size_t count, void* userData)
{
    auto& transfer = *static_cast<HTTPTransfer*>(userData);
    const size_t length = size * count;
    if (transfer.task->state() == HTTPSessionTask::State::Canceling)
        return 0;
    transfer.lastActivity = Clock::now();
    transfer.core->deliverResponseIfNeeded(transfer);
    HTTPSessionCore::noteBytesReceived(*transfer.task, static_cast<qint64>(length));
    if (auto delegate = transfer.core->currentDelegate()) {
        delegate->sessionTaskDidReceiveData(*transfer.core->owner, *transfer.task,
                                            QByteArray(buffer, static_cast<qsizetype>(length)));
    }
    return length;
}

int reportProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploadNow)
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
            delegate->sessionTaskDidSendBodyData(*transfer.core->owner, *transfer.task, sent, transfer.totalSent,
                                                 transfer.task->countOfBytesExpectedToSend());
        }
    }
    return 0;
}

} // namespace

// ---- HTTPSessionDelegate defaults -------------------------------------------------------------

std::shared_ptr<HTTPInputStream> HTTPSessionDelegate::sessionTaskNeedNewBodyStream(HTTPSession&, HTTPSessionTask& task)
{
    const auto& stream = task.originalRequest().HTTPBodyStream;
    return stream ? stream->copy() : nullptr;
}
void HTTPSessionDelegate::sessionTaskDidSendBodyData(HTTPSession&, HTTPSessionTask&, qint64, qint64, qint64) {}
void HTTPSessionDelegate::sessionTaskDidReceiveResponse(HTTPSession&, HTTPSessionTask&, const HTTPResponse&) {}
void HTTPSessionDelegate::sessionTaskDidReceiveData(HTTPSession&, HTTPSessionTask&, const QByteArray&) {}
void HTTPSessionDelegate::sessionTaskDidComplete(HTTPSession&, HTTPSessionTask&, const std::optional<HTTPError>&) {}

// ---- HTTPSessionTask ---------------------------------------------------------------------------

HTTPSessionTask::HTTPSessionTask(quint64 identifier, Kind kind, HTTPRequest request, std::weak_ptr<HTTPSessionCore> core)
    : identifier_(identifier), kind_(kind), originalRequest_(std::move(request)), core_(std::move(core))
{
    // The session does not look into a body stream for its size.
    bytesExpectedToSend_ = originalRequest_.HTTPBodyStream ? HTTPSessionTransferSizeUnknown
                                                           : static_cast<qint64>(originalRequest_.HTTPBody.size());
}

std::optional<HTTPResponse> HTTPSessionTask::response() const
{
    std::lock_guard guard(mutex_);
    return response_;
}

std::optional<HTTPError> HTTPSessionTask::error() const
{
    std::lock_guard guard(mutex_);
    return error_;
}

void HTTPSessionTask::resume()
{
    State expected = State::Suspended;
    if (!state_.compare_exchange_strong(expected, State::Running))
        return;
    if (auto core = core_.lock())
        core->resumeTask(shared_from_this());
}

void HTTPSessionTask::cancel()
{
    State expected = State::Running;
    if (state_.compare_exchange_strong(expected, State::Canceling)) {
        if (auto core = core_.lock())
            core->cancelTask(shared_from_this());
        return;
    }
    expected = State::Suspended;
    if (state_.compare_exchange_strong(expected, State::Canceling)) {
        if (auto core = core_.lock()) {
            core->retainDelegate();
            core->cancelTask(shared_from_this());
        }
    }
}

// ---- HTTPSessionCore ---------------------------------------------------------------------------

HTTPSessionCore::HTTPSessionCore(HTTPSessionConfiguration sessionConfiguration,
                                 std::weak_ptr<HTTPSessionDelegate> sessionDelegate)
    : configuration(std::move(sessionConfiguration)), multi(curl_multi_init()), delegate(std::move(sessionDelegate))
{
}

HTTPSessionCore::~HTTPSessionCore()
{
    for (auto& [easy, transfer] : transfers)
        curl_multi_remove_handle(multi, easy);
    transfers.clear();
    curl_multi_cleanup(multi);
}

void HTTPSessionCore::post(std::function<void()> work)
{
    {
        std::lock_guard guard(mutex);
        operations.push_back(std::move(work));
    }
    curl_multi_wakeup(multi);
}

void HTTPSessionCore::stop()
{
    {
        std::lock_guard guard(mutex);
        stopping = true;
    }
    curl_multi_wakeup(multi);
}

void HTTPSessionCore::retainDelegate()
{
    std::lock_guard guard(mutex);
    if (outstandingTasks++ == 0)
        strongDelegate = delegate.lock();
}

std::shared_ptr<HTTPSessionDelegate> HTTPSessionCore::currentDelegate()
{
    std::lock_guard guard(mutex);
    return strongDelegate ? strongDelegate : delegate.lock();
}

void HTTPSessionCore::resumeTask(const std::shared_ptr<HTTPSessionTask>& task)
{
    retainDelegate();
    post([this, task] { start(task); });
}

void HTTPSessionCore::cancelTask(const std::shared_ptr<HTTPSessionTask>& task)
{
    post([this, task] {
        for (auto& [easy, transfer] : transfers) {
            if (transfer->task == task) {
                finish(*transfer, transportError(HTTPErrorCode::Cancelled, QStringLiteral("cancelled"), {},
                                                 task->originalRequest().URL));
                return;
            }
        }
        if (task->state() != HTTPSessionTask::State::Completed) {
            // Cancelled before its transfer started.
            HTTPTransfer pending;
            pending.core = this;
            pending.task = task;
            finish(pending, transportError(HTTPErrorCode::Cancelled, QStringLiteral("cancelled"), {},
                                           task->originalRequest().URL));
        }
    });
}

void HTTPSessionCore::start(const std::shared_ptr<HTTPSessionTask>& task)
{
    if (task->state() != HTTPSessionTask::State::Running)
        return; // cancelled before it got here; the cancellation reports it
    auto transfer = std::make_unique<HTTPTransfer>();
    HTTPTransfer& t = *transfer;
    t.core = this;
    t.task = task;
    t.easy.reset(curl_easy_init());
    const HTTPRequest& request = task->originalRequest();
    CURL* easy = t.easy.get();
    if (!easy) {
        finish(t, transportError(HTTPErrorCode::Unknown, QStringLiteral("An unknown error occurred."),
                                 QStringLiteral("Could not create a transfer."), request.URL));
        return;
    }

    t.idleTimeout = secondsToMilliseconds(request.timeoutInterval.value_or(configuration.timeoutIntervalForRequest));
    t.lastActivity = Clock::now();
    t.url = request.URL.toEncoded();
    curl_easy_setopt(easy, CURLOPT_URL, t.url.constData());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 16L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.idleTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(secondsToMilliseconds(configuration.timeoutIntervalForResource).count()));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, receiveHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, receiveData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, reportProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024L);
    if (!configuration.certificateAuthorityFile.isEmpty()) {
        const QByteArray path = configuration.certificateAuthorityFile.toLocal8Bit();
        curl_easy_setopt(easy, CURLOPT_CAINFO, path.constData());
    }
    if (request.HTTPShouldHandleCookies)
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""); // cookies set during redirects come back

    HTTPHeaderFields headers = request.allHTTPHeaderFields;
    for (const auto& field : configuration.HTTPAdditionalHeaders.fields()) {
        if (!headers.contains(field.first))
            headers.setValue(field.second, field.first);
    }
    if (!headers.contains(QStringLiteral("Accept-Encoding")))
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");

    const QString method = request.HTTPMethod.toUpper();
    const bool hasBody = request.HTTPBodyStream || !request.HTTPBody.isEmpty()
                         || (method != QLatin1String("GET") && method != QLatin1String("HEAD"));
    if (method == QLatin1String("HEAD")) {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (!hasBody) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        if (request.HTTPBodyStream) {
            t.stream = request.HTTPBodyStream;
            if (const auto length = headers.value(QStringLiteral("Content-Length"))) {
                bool ok = false;
                const qint64 value = length->trimmed().toLongLong(&ok);
                t.declaredLength = ok && value >= 0 ? value : -1;
            }
        } else {
            t.body = request.HTTPBody;
            t.declaredLength = t.body.size();
        }
        headers.remove(QStringLiteral("Content-Length")); // curl writes it from the size below
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.declaredLength));
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, readBody);
        curl_easy_setopt(easy, CURLOPT_READDATA, &t);
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, rewindBody);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, &t);
        if (method != QLatin1String("POST"))
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.toLatin1().constData());
        // No "Expect: 100-continue": servers that ignore it would stall every upload for a second.
        headers.setValue(QString(), QStringLiteral("Expect"));
    }

    curl_slist* list = nullptr;
    for (const auto& field : headers.fields()) {
        const QByteArray line = field.first.compare(QLatin1String("Expect"), Qt::CaseInsensitive) == 0 && field.second.isEmpty()
                                    ? QByteArrayLiteral("Expect:")
                                    : headerLine(field.first, field.second);
        curl_slist* extended = curl_slist_append(list, line.constData());
        if (extended)
            list = extended;
    }
    t.headerList.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);

    const CURLMcode added = curl_multi_add_handle(multi, easy);
    if (added != CURLM_OK) {
        finish(t, transportError(HTTPErrorCode::Unknown, QStringLiteral("An unknown error occurred."),
                                 QString::fromUtf8(curl_multi_strerror(added)), request.URL));
        return;
    }
    transfers.emplace(easy, std::move(transfer));
}

void HTTPSessionCore::deliverResponseIfNeeded(HTTPTransfer& transfer)
{
    if (transfer.responseDelivered || transfer.statusCode == 0)
        return;
    transfer.responseDelivered = true;
    HTTPResponse response;
    char* effectiveURL = nullptr;
    if (curl_easy_getinfo(transfer.easy.get(), CURLINFO_EFFECTIVE_URL, &effectiveURL) == CURLE_OK && effectiveURL)
        response.URL = QUrl::fromEncoded(QByteArray(effectiveURL));
    else
        response.URL = transfer.task->originalRequest().URL;
    response.statusCode = transfer.statusCode;
    response.allHeaderFields = transfer.responseHeaders;
    {
        std::lock_guard guard(transfer.task->mutex_);
        transfer.task->response_ = response;
    }
    if (auto sessionDelegate = currentDelegate())
        sessionDelegate->sessionTaskDidReceiveResponse(*owner, *transfer.task, response);
}

void HTTPSessionCore::finish(HTTPTransfer& transfer, std::optional<HTTPError> error)
{
    auto task = transfer.task;
    if (task->state() == HTTPSessionTask::State::Completed)
        return;
    if (!error && transfer.easy)
        deliverResponseIfNeeded(transfer);
    if (error) {
        if (auto response = task->response())
            error->response = std::make_shared<HTTPResponse>(*response);
    }
    {
        std::lock_guard guard(task->mutex_);
        task->error_ = error;
    }
    task->state_ = HTTPSessionTask::State::Completed;
    if (transfer.stream && transfer.streamOpened)
        transfer.stream->close();

    // Take the transfer out of the loop before anyone hears of the completion.
    std::unique_ptr<HTTPTransfer> owned;
    if (CURL* easy = transfer.easy.get()) {
        if (auto it = transfers.find(easy); it != transfers.end()) {
            curl_multi_remove_handle(multi, easy);
            owned = std::move(it->second);
            transfers.erase(it);
        }
    }

    if (auto sessionDelegate = currentDelegate())
        sessionDelegate->sessionTaskDidComplete(*owner, *task, error);

    std::lock_guard guard(mutex);
    if (outstandingTasks > 0 && --outstandingTasks == 0) {
        releasing.push_back(std::move(strongDelegate));
        strongDelegate.reset();
    }
}

void HTTPSessionCore::expireIdleTransfers()
{
    const auto now = Clock::now();
    std::vector<HTTPTransfer*> expired;
    for (auto& [easy, transfer] : transfers) {
        if (now - transfer->lastActivity > transfer->idleTimeout)
            expired.push_back(transfer.get());
    }
    for (HTTPTransfer* transfer : expired) {
        finish(*transfer, transportError(HTTPErrorCode::TimedOut, QStringLiteral("The request timed out."),
                                         QStringLiteral("No progress for %1 ms.").arg(transfer->idleTimeout.count()),
                                         transfer->task->originalRequest().URL));
    }
}

void HTTPSessionCore::run()
{
    for (;;) {
        std::deque<std::function<void()>> work;
        bool stopRequested = false;
        {
            std::lock_guard guard(mutex);
            work.swap(operations);
            stopRequested = stopping;
        }
        if (stopRequested)
            break;
        for (auto& operation : work)
            operation();

        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            const auto it = transfers.find(message->easy_handle);
            if (it == transfers.end())
                continue;
            const CURLcode result = message->data.result;
            HTTPTransfer& transfer = *it->second;
            finish(transfer, result == CURLE_OK ? std::nullopt : std::optional(errorForCurlResult(result, transfer)));
        }
        expireIdleTransfers();

        // Dropping the last hold on a delegate may end the session itself; nothing of the
        // session is touched after this point in the iteration.
        std::vector<std::shared_ptr<HTTPSessionDelegate>> released;
        {
            std::lock_guard guard(mutex);
            released.swap(releasing);
        }
        released.clear();
        {
            std::lock_guard guard(mutex);
            if (stopping)
                break;
        }
        long timeout = transfers.empty() ? 1000 : 100;
        long curlTimeout = -1;
        if (curl_multi_timeout(multi, &curlTimeout) == CURLM_OK && curlTimeout >= 0)
            timeout = std::min(timeout, curlTimeout);
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(timeout), nullptr);
    }
    // Transfers still running are dropped unreported: the session was invalidated.
    for (auto& [easy, transfer] : transfers)
        curl_multi_remove_handle(multi, easy);
    transfers.clear();
    std::lock_guard guard(mutex);
    strongDelegate.reset();
    operations.clear();
}

// ---- HTTPSession -------------------------------------------------------------------------------

HTTPSession::HTTPSession(HTTPSessionConfiguration configuration) : configuration_(std::move(configuration)) {}

std::shared_ptr<HTTPSession> HTTPSession::create(HTTPSessionConfiguration configuration,
                                                 std::weak_ptr<HTTPSessionDelegate> delegate)
{
    initializeCurlOnce();
    std::shared_ptr<HTTPSession> session(new HTTPSession(configuration));
    session->core_ = std::make_shared<HTTPSessionCore>(std::move(configuration), std::move(delegate));
    session->core_->owner = session.get();
    session->worker_ = std::thread([core = session->core_] { core->run(); });
    session->core_->workerId = session->worker_.get_id();
    return session;
}

HTTPSession::~HTTPSession()
{
    invalidateAndCancel();
}

void HTTPSession::invalidateAndCancel()
{
    if (!worker_.joinable())
        return;
    core_->stop();
    if (worker_.get_id() == std::this_thread::get_id())
        worker_.detach(); // the worker let go of the last owner; it ends on its own
    else
        worker_.join();
}

std::shared_ptr<HTTPSessionTask> HTTPSession::dataTaskWithRequest(const HTTPRequest& request)
{
    return std::shared_ptr<HTTPSessionTask>(
        new HTTPSessionTask(core_->nextTaskIdentifier++, HTTPSessionTask::Kind::Data, request, core_));
}

std::shared_ptr<HTTPSessionTask> HTTPSession::uploadTaskWithStreamedRequest(const HTTPRequest& request)
{
    return std::shared_ptr<HTTPSessionTask>(
        new HTTPSessionTask(core_->nextTaskIdentifier++, HTTPSessionTask::Kind::Upload, request, core_));
}

void HTTPSession::addOperation(std::function<void()> work)
{
    core_->post(std::move(work));
}

bool HTTPSession::isDelegateQueue() const
{
    return std::this_thread::get_id() == core_->workerId;
}

} // namespace airlark
