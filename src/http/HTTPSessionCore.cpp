#include "http/HTTPSessionCore.h"

#include "http/HTTPInputStream.h"
#include "platform/LibCurl.h"

#include <algorithm>
#include <climits>

namespace airlark {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds secondsToMilliseconds(double seconds)
{
    const double clamped = std::clamp(seconds, 0.001, static_cast<double>(INT_MAX) / 1000.0);
    return std::chrono::milliseconds(static_cast<qint64>(clamped * 1000.0));
}

HTTPError transportError(int code, const QString& description, const QString& reason, const QUrl& url)
{
    return HTTPTransfer::transportError(code, description, reason, url);
}

} // namespace

HTTPSessionCore::HTTPSessionCore(HTTPSessionConfiguration sessionConfiguration,
                                 std::weak_ptr<HTTPSessionDelegate> sessionDelegate)
    : configuration(std::move(sessionConfiguration)), multi(LibCurl::get().multiInit()),
      delegate(std::move(sessionDelegate))
{
}

HTTPSessionCore::~HTTPSessionCore()
{
    for (auto& [easy, transfer] : transfers)
        LibCurl::get().multiRemoveHandle(multi, easy);
    transfers.clear();
    LibCurl::get().multiCleanup(multi);
}

void HTTPSessionCore::post(std::function<void()> work)
{
    {
        std::lock_guard guard(mutex);
        operations.push_back(std::move(work));
    }
    LibCurl::get().multiWakeup(multi);
}

void HTTPSessionCore::stop()
{
    {
        std::lock_guard guard(mutex);
        stopping = true;
    }
    LibCurl::get().multiWakeup(multi);
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

namespace {

// What every transfer of the session sets: where it goes, which redirects it may follow, its
// callbacks, buffers and time-outs.
void setTransferOptions(HTTPTransfer& t, const HTTPSessionConfiguration& configuration)
{
    const LibCurl& curl = LibCurl::get();
    CURL* easy = t.easy.get();
    curl.easySetopt(easy, CURLOPT_URL, t.url.constData());
    curl.easySetopt(easy, CURLOPT_PRIVATE, &t);
    curl.easySetopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl.easySetopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, t.secureOnly ? "https" : "http,https");
    curl.easySetopt(easy, CURLOPT_FOLLOWLOCATION, t.followsRedirects ? 1L : 0L);
    curl.easySetopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(HTTPTransfer::MaximumRedirects));
    curl.easySetopt(easy, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl.easySetopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.idleTimeout.count()));
    curl.easySetopt(easy, CURLOPT_HEADERFUNCTION, HTTPTransfer::receiveHeader);
    curl.easySetopt(easy, CURLOPT_HEADERDATA, &t);
    curl.easySetopt(easy, CURLOPT_WRITEFUNCTION, HTTPTransfer::receiveData);
    curl.easySetopt(easy, CURLOPT_WRITEDATA, &t);
    curl.easySetopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl.easySetopt(easy, CURLOPT_XFERINFOFUNCTION, HTTPTransfer::reportProgress);
    curl.easySetopt(easy, CURLOPT_XFERINFODATA, &t);
    curl.easySetopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
    curl.easySetopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024L);
    if (!configuration.certificateAuthorityFile.isEmpty()) {
        const QByteArray path = configuration.certificateAuthorityFile.toLocal8Bit();
        curl.easySetopt(easy, CURLOPT_CAINFO, path.constData());
    }
}

// The request's own header fields, then the session's where the request has none of that name.
HTTPHeaderFields headersToSend(const HTTPRequest& request, const HTTPSessionConfiguration& configuration)
{
    HTTPHeaderFields headers = request.allHTTPHeaderFields;
    for (const auto& field : configuration.HTTPAdditionalHeaders.fields()) {
        if (!headers.contains(field.first))
            headers.setValue(field.second, field.first);
    }
    // No compressed answers are asked for: the API's answers are a few hundred bytes, and an
    // answer that inflates a thousandfold would only be one more way to run out of memory.
    return headers;
}

// The body curl reads: the request's data or its stream, of the length the request declares.
void setBody(HTTPTransfer& t, const HTTPRequest& request, const QString& method, HTTPHeaderFields& headers)
{
    const LibCurl& curl = LibCurl::get();
    CURL* easy = t.easy.get();
    if (request.HTTPBodyStream) {
        // A stream is read once: a request sent again (a retry with the same request) reads a copy.
        t.stream = request.HTTPBodyStream;
        if (t.stream->streamStatus() != HTTPInputStream::Status::NotOpen) {
            if (auto fresh = t.stream->copy())
                t.stream = std::move(fresh);
        }
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
    curl.easySetopt(easy, CURLOPT_POST, 1L);
    curl.easySetopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.declaredLength));
    curl.easySetopt(easy, CURLOPT_READFUNCTION, HTTPTransfer::readBody);
    curl.easySetopt(easy, CURLOPT_READDATA, &t);
    curl.easySetopt(easy, CURLOPT_SEEKFUNCTION, HTTPTransfer::rewindBody);
    curl.easySetopt(easy, CURLOPT_SEEKDATA, &t);
    if (method != QLatin1String("POST"))
        curl.easySetopt(easy, CURLOPT_CUSTOMREQUEST, method.toLatin1().constData());
    // No "Expect: 100-continue": servers that ignore it would stall every upload for a second.
    headers.setValue(QString(), QStringLiteral("Expect"));
}

void setHeaderList(HTTPTransfer& t, const HTTPHeaderFields& headers)
{
    curl_slist* list = nullptr;
    for (const auto& field : headers.fields()) {
        const QByteArray line =
            field.first.compare(QLatin1String("Expect"), Qt::CaseInsensitive) == 0 && field.second.isEmpty()
                ? QByteArrayLiteral("Expect:")
                : HTTPTransfer::headerLine(field.first, field.second);
        curl_slist* extended = LibCurl::get().slistAppend(list, line.constData());
        if (extended)
            list = extended;
    }
    t.headerList.reset(list);
    LibCurl::get().easySetopt(t.easy.get(), CURLOPT_HTTPHEADER, list);
}

} // namespace

void HTTPSessionCore::start(const std::shared_ptr<HTTPSessionTask>& task)
{
    const LibCurl& curl = LibCurl::get();
    if (task->state() != HTTPSessionTask::State::Running)
        return; // cancelled before it got here; the cancellation reports it
    auto transfer = std::make_unique<HTTPTransfer>();
    HTTPTransfer& t = *transfer;
    t.core = this;
    t.task = task;
    t.easy.reset(curl.easyInit());
    const HTTPRequest& request = task->originalRequest();
    CURL* easy = t.easy.get();
    if (!easy) {
        finish(t, transportError(HTTPErrorCode::Unknown, QStringLiteral("An unknown error occurred."),
                                 QStringLiteral("Could not create a transfer."), request.URL));
        return;
    }

    const QString method = request.HTTPMethod.toUpper();
    const bool hasBody = request.HTTPBodyStream || !request.HTTPBody.isEmpty() ||
                         (method != QLatin1String("GET") && method != QLatin1String("HEAD"));

    t.idleTimeout =
        secondsToMilliseconds(request.timeoutInterval.value_or(configuration.timeoutIntervalForRequest));
    t.lastActivity = t.answerSince = Clock::now();
    t.sendingBody = request.HTTPBodyStream != nullptr;
    t.url = request.URL.toEncoded();
    // Following a redirect with a body would send it (secrets and all) wherever the Location
    // points, or turn the upload into a GET whose answer reads as a success.
    t.followsRedirects = !hasBody;
    t.secureOnly = request.URL.scheme() == QLatin1String("https");
    setTransferOptions(t, configuration);
    if (request.HTTPShouldHandleCookies)
        curl.easySetopt(easy, CURLOPT_COOKIEFILE, ""); // cookies set during redirects come back

    HTTPHeaderFields headers = headersToSend(request, configuration);
    if (method == QLatin1String("HEAD"))
        curl.easySetopt(easy, CURLOPT_NOBODY, 1L);
    else if (!hasBody)
        curl.easySetopt(easy, CURLOPT_HTTPGET, 1L);
    else
        setBody(t, request, method, headers);
    setHeaderList(t, headers);

    const CURLMcode added = curl.multiAddHandle(multi, easy);
    if (added != CURLM_OK) {
        finish(t, transportError(HTTPErrorCode::Unknown, QStringLiteral("An unknown error occurred."),
                                 QString::fromUtf8(curl.multiStrerror(added)), request.URL));
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
    if (LibCurl::get().easyGetinfo(transfer.easy.get(), CURLINFO_EFFECTIVE_URL, &effectiveURL) == CURLE_OK &&
        effectiveURL)
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
            LibCurl::get().multiRemoveHandle(multi, easy);
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
    const auto resourceTimeout = secondsToMilliseconds(configuration.timeoutIntervalForResource);
    std::vector<std::pair<HTTPTransfer*, QString>> expired;
    for (auto& [easy, transfer] : transfers) {
        if (now - transfer->lastActivity > transfer->idleTimeout)
            expired.emplace_back(transfer.get(),
                                 QStringLiteral("No progress for %1 ms.").arg(transfer->idleTimeout.count()));
        else if (!transfer->sendingBody && now - transfer->answerSince > resourceTimeout)
            expired.emplace_back(
                transfer.get(),
                QStringLiteral("No complete answer within %1 ms.").arg(resourceTimeout.count()));
    }
    for (const auto& [transfer, reason] : expired) {
        finish(*transfer, transportError(HTTPErrorCode::TimedOut, QStringLiteral("The request timed out."),
                                         reason, transfer->task->originalRequest().URL));
    }
}

void HTTPSessionCore::finishDoneTransfers()
{
    int queued = 0;
    while (CURLMsg* message = LibCurl::get().multiInfoRead(multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        const auto it = transfers.find(message->easy_handle);
        if (it == transfers.end())
            continue;
        const CURLcode result = message->data.result;
        HTTPTransfer& transfer = *it->second;
        // An error page cut short on purpose is a complete answer.
        const bool complete = result == CURLE_OK || (result == CURLE_WRITE_ERROR && transfer.cutErrorBody);
        finish(transfer,
               complete ? std::nullopt : std::optional(HTTPTransfer::errorForCurlResult(result, transfer)));
    }
}

void HTTPSessionCore::waitForActivity()
{
    long timeout = transfers.empty() ? 1000 : 100;
    long curlTimeout = -1;
    if (LibCurl::get().multiTimeout(multi, &curlTimeout) == CURLM_OK && curlTimeout >= 0)
        timeout = std::min(timeout, curlTimeout);
    LibCurl::get().multiPoll(multi, nullptr, 0, static_cast<int>(timeout), nullptr);
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
        LibCurl::get().multiPerform(multi, &running);
        finishDoneTransfers();
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
        waitForActivity();
    }
    // Transfers still running are dropped unreported: the session was invalidated.
    for (auto& [easy, transfer] : transfers)
        LibCurl::get().multiRemoveHandle(multi, easy);
    transfers.clear();
    std::shared_ptr<HTTPSessionDelegate> lastHold;
    std::deque<std::function<void()>> abandoned;
    {
        std::lock_guard guard(mutex);
        lastHold = std::move(strongDelegate);
        abandoned.swap(operations);
    }
    // Released outside the lock: the delegate's destructor may end the session.
}

} // namespace airlark
