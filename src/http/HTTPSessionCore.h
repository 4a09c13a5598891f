#pragma once

// Internal to the session layer: the state shared by an HTTPSession and its worker thread.

#include "http/HTTPSession.h"
#include "platform/LibCurl.h"

#include <chrono>
#include <curl/curl.h>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace airlark {

struct HTTPSessionCore;

// One running request: its curl handle and what the callbacks gather.
struct HTTPTransfer
{
    static constexpr int MaximumRedirects = 5;
    static constexpr qint64 MaximumHeaderBytes = 64 * 1024;
    // What is kept of an error page: enough for the server's message.
    static constexpr qint64 ErrorBodyPrefix = 16 * 1024;

    HTTPSessionCore* core = nullptr;
    std::shared_ptr<HTTPSessionTask> task;
    CurlEasy easy;
    CurlSlist headerList;
    QByteArray url;

    QByteArray body; // data body
    qint64 bodyOffset = 0;
    std::shared_ptr<HTTPInputStream> stream; // streamed body
    bool streamOpened = false;
    qint64 declaredLength = -1; // from "Content-Length", -1 when unknown
    qint64 produced = 0;        // body bytes handed to curl in this attempt
    std::optional<HTTPError> bodyError;

    int statusCode = 0;
    HTTPHeaderFields responseHeaders;
    qint64 headerBytes = 0;  // of the current response's head
    qint64 bodyReceived = 0; // of the current response's body
    bool responseDelivered = false;
    bool cutErrorBody = false; // an error page was cut short on purpose: the answer is complete

    // A request with a body never follows a redirect; others follow a few, never away from https.
    bool followsRedirects = false;
    bool secureOnly = false;
    int redirects = 0;
    // Why a callback ended the transfer, when it was a decision of ours rather than curl's.
    std::optional<HTTPError> refusal;

    qint64 lastUploadNow = 0;
    qint64 totalSent = 0;
    std::chrono::steady_clock::time_point lastActivity;
    std::chrono::milliseconds idleTimeout{60000};
    // The resource time-out counts from the start, or from the end of a streamed body.
    bool sendingBody = false;
    std::chrono::steady_clock::time_point answerSince;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // libcurl callbacks; userData is the HTTPTransfer.
    static size_t readBody(char* buffer, size_t size, size_t count, void* userData);
    static int rewindBody(void* userData, curl_off_t offset, int origin);
    static size_t receiveHeader(char* buffer, size_t size, size_t count, void* userData);
    static size_t receiveData(char* buffer, size_t size, size_t count, void* userData);
    static int reportProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploadNow);

    static HTTPError transportError(int code, const QString& description, const QString& reason,
                                    const QUrl& url);
    // At the end of a 3xx head: whether curl may follow it; if not, `refusal` says why.
    bool mayFollowRedirect();
    void refuse(int code, const QString& description);
    // The session's error for a failed curl transfer, in the codes callers already know.
    static HTTPError errorForCurlResult(CURLcode result, const HTTPTransfer& transfer);
    // The same for curl's result alone, with curl's `reason`.
    static HTTPError errorForCurlCode(CURLcode result, const QString& reason, const QUrl& url);
    // A header line for curl; a line break in a name or value cannot start a header of its own.
    static QByteArray headerLine(const QString& name, const QString& value);
};

struct HTTPSessionCore
{
    HTTPSessionCore(HTTPSessionConfiguration sessionConfiguration,
                    std::weak_ptr<HTTPSessionDelegate> sessionDelegate);
    ~HTTPSessionCore();

    void run();
    void post(std::function<void()> work);
    void stop();

    // Called by tasks on any thread.
    void retainDelegate();
    void resumeTask(const std::shared_ptr<HTTPSessionTask>& task);
    void cancelTask(const std::shared_ptr<HTTPSessionTask>& task);

    // On the worker.
    std::shared_ptr<HTTPSessionDelegate> currentDelegate();
    void start(const std::shared_ptr<HTTPSessionTask>& task);
    void finish(HTTPTransfer& transfer, std::optional<HTTPError> error);
    void deliverResponseIfNeeded(HTTPTransfer& transfer);
    void expireIdleTransfers();
    void finishDoneTransfers(); // those curl has ended, each with its outcome
    void waitForActivity();     // until a socket is ready, curl's next time-out or the next check
    static void noteBytesSent(HTTPSessionTask& task, qint64 total) { task.bytesSent_ = total; }
    static void noteBytesReceived(HTTPSessionTask& task, qint64 count) { task.bytesReceived_ += count; }

    const HTTPSessionConfiguration configuration;
    HTTPSession* owner = nullptr;
    CURLM* multi = nullptr;
    std::thread::id workerId;

    std::mutex mutex;
    std::deque<std::function<void()>> operations;
    bool stopping = false;
    std::weak_ptr<HTTPSessionDelegate> delegate;
    std::shared_ptr<HTTPSessionDelegate> strongDelegate; // while tasks are outstanding
    size_t outstandingTasks = 0;
    std::vector<std::shared_ptr<HTTPSessionDelegate>> releasing; // dropped at a safe point of the loop

    std::map<CURL*, std::unique_ptr<HTTPTransfer>> transfers;
    std::atomic<quint64> nextTaskIdentifier = 1;
};

} // namespace airlark
