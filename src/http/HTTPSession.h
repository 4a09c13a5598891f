#pragma once

#include "http/HTTPError.h"
#include "http/HTTPRequest.h"
#include "http/HTTPResponse.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace airlark {

class HTTPInputStream;
class HTTPSession;
struct HTTPSessionCore;

// countOfBytesExpectedToSend when the size of a streamed body is not known to the session.
inline constexpr qint64 HTTPSessionTransferSizeUnknown = -1;

struct HTTPSessionConfiguration
{
    // Seconds without progress (no byte sent or received) before a request fails, unless the
    // request sets its own. Long enough for a server to store a large episode before it answers
    // and for a network hand-over; short enough that a dead connection is reported within a minute.
    double timeoutIntervalForRequest = 60;
    // Seconds a request may take besides sending a streamed body: an upload of any size is held to
    // its progress by the idle time-out, its answer (and any small request) to this.
    double timeoutIntervalForResource = 120;
    // Bytes of a successful answer's body kept at most; a longer answer fails the request. Bodies
    // are counted as delivered: compressed answers are never asked for, so nothing inflates them.
    qint64 maximumResponseBodySize = 4 * 1024 * 1024;
    // Header fields added to every request that does not carry them.
    HTTPHeaderFields HTTPAdditionalHeaders;
    // Certificate authorities for HTTPS in a PEM file; empty means the system's.
    QString certificateAuthorityFile;

    static HTTPSessionConfiguration defaultSessionConfiguration() { return {}; }
};

// One request in flight on a session. Made by the session, started with resume().
// Its getters may be called from any thread.
class HTTPSessionTask : public std::enable_shared_from_this<HTTPSessionTask>
{
public:
    enum class State
    {
        Running,
        Suspended,
        Canceling,
        Completed
    };
    enum class Kind
    {
        Data,
        Upload
    };

    quint64 taskIdentifier() const { return identifier_; }
    Kind kind() const { return kind_; }
    const HTTPRequest& originalRequest() const { return originalRequest_; }
    std::optional<HTTPResponse> response() const;
    std::optional<HTTPError> error() const;
    State state() const { return state_.load(); }
    qint64 countOfBytesSent() const { return bytesSent_.load(); }
    qint64 countOfBytesExpectedToSend() const { return bytesExpectedToSend_.load(); }
    qint64 countOfBytesReceived() const { return bytesReceived_.load(); }

    // Starts the transfer on the session's worker; again after start does nothing.
    void resume();
    // Ends the transfer; it completes with a Cancelled error unless it already completed.
    void cancel();

private:
    friend class HTTPSession;
    friend struct HTTPSessionCore;
    HTTPSessionTask(quint64 identifier, Kind kind, HTTPRequest request, std::weak_ptr<HTTPSessionCore> core);

    const quint64 identifier_;
    const Kind kind_;
    const HTTPRequest originalRequest_;
    const std::weak_ptr<HTTPSessionCore> core_;
    mutable std::mutex mutex_;
    std::optional<HTTPResponse> response_;
    std::optional<HTTPError> error_;
    std::atomic<State> state_ = State::Suspended;
    std::atomic<qint64> bytesSent_ = 0;
    std::atomic<qint64> bytesExpectedToSend_ = 0;
    std::atomic<qint64> bytesReceived_ = 0;
};

// What a session reports, always on its own worker thread (its serial delegate queue), in this
// order per task: needNewBodyStream (on a redirect that must send the body again),
// didSendBodyData (as bytes leave), didReceiveResponse, didReceiveData, didComplete (once).
class HTTPSessionDelegate
{
public:
    virtual ~HTTPSessionDelegate() = default;

    virtual std::shared_ptr<HTTPInputStream> sessionTaskNeedNewBodyStream(HTTPSession& session,
                                                                          HTTPSessionTask& task);
    virtual void sessionTaskDidSendBodyData(HTTPSession& session, HTTPSessionTask& task, qint64 bytesSent,
                                            qint64 totalBytesSent, qint64 totalBytesExpectedToSend);
    virtual void sessionTaskDidReceiveResponse(HTTPSession& session, HTTPSessionTask& task,
                                               const HTTPResponse& response);
    virtual void sessionTaskDidReceiveData(HTTPSession& session, HTTPSessionTask& task,
                                           const QByteArray& data);
    virtual void sessionTaskDidComplete(HTTPSession& session, HTTPSessionTask& task,
                                        const std::optional<HTTPError>& error);
};

// Our stand-in for the platform's HTTP session: libcurl (multi interface, HTTP and HTTPS) driven
// by one worker thread of the session's own, which is also the delegate queue.
//
// The session holds its delegate weakly, and strongly while any task runs: a manager nobody
// else keeps stays alive until its last transfer has reported, then goes, and the worker with it.
class HTTPSession
{
public:
    static std::shared_ptr<HTTPSession> create(HTTPSessionConfiguration configuration,
                                               std::weak_ptr<HTTPSessionDelegate> delegate);
    ~HTTPSession();
    HTTPSession(const HTTPSession&) = delete;
    HTTPSession& operator=(const HTTPSession&) = delete;

    const HTTPSessionConfiguration& configuration() const { return configuration_; }

    // The body is the request's HTTPBody.
    std::shared_ptr<HTTPSessionTask> dataTaskWithRequest(const HTTPRequest& request);
    // The body is read from the request's HTTPBodyStream as it is sent.
    std::shared_ptr<HTTPSessionTask> uploadTaskWithStreamedRequest(const HTTPRequest& request);

    // Runs `work` on the worker thread (the delegate queue), after the work queued before it.
    void addOperation(std::function<void()> work);
    bool isDelegateQueue() const;

    // Cancels running tasks without reporting them, and ends the worker.
    void invalidateAndCancel();

private:
    friend struct HTTPSessionCore;
    explicit HTTPSession(HTTPSessionConfiguration configuration);

    const HTTPSessionConfiguration configuration_;
    std::shared_ptr<HTTPSessionCore> core_;
    std::thread worker_;
};

} // namespace airlark
