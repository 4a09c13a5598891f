#include "http/HTTPSession.h"

#include "http/HTTPInputStream.h"
#include "http/HTTPSessionCore.h"
#include "platform/MainQueue.h"

namespace airlark {

// ---- HTTPSessionDelegate defaults -------------------------------------------------------------

std::shared_ptr<HTTPInputStream> HTTPSessionDelegate::sessionTaskNeedNewBodyStream(HTTPSession&,
                                                                                   HTTPSessionTask& task)
{
    const auto& stream = task.originalRequest().HTTPBodyStream;
    return stream ? stream->copy() : nullptr;
}
void HTTPSessionDelegate::sessionTaskDidSendBodyData(HTTPSession&, HTTPSessionTask&, qint64, qint64, qint64)
{
}
void HTTPSessionDelegate::sessionTaskDidReceiveResponse(HTTPSession&, HTTPSessionTask&, const HTTPResponse&)
{
}
void HTTPSessionDelegate::sessionTaskDidReceiveData(HTTPSession&, HTTPSessionTask&, const QByteArray&) {}
void HTTPSessionDelegate::sessionTaskDidComplete(HTTPSession&, HTTPSessionTask&,
                                                 const std::optional<HTTPError>&)
{
}

// ---- HTTPSessionTask ---------------------------------------------------------------------------

HTTPSessionTask::HTTPSessionTask(quint64 identifier, Kind kind, HTTPRequest request,
                                 std::weak_ptr<HTTPSessionCore> core)
    : identifier_(identifier), kind_(kind), originalRequest_(std::move(request)), core_(std::move(core))
{
    // The session does not look into a body stream for its size.
    bytesExpectedToSend_ = originalRequest_.HTTPBodyStream
                               ? HTTPSessionTransferSizeUnknown
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

// ---- HTTPSession -------------------------------------------------------------------------------

HTTPSession::HTTPSession(HTTPSessionConfiguration configuration) : configuration_(std::move(configuration)) {}

std::shared_ptr<HTTPSession> HTTPSession::create(HTTPSessionConfiguration configuration,
                                                 std::weak_ptr<HTTPSessionDelegate> delegate)
{
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
        MainQueue::adoptThread(std::move(worker_)); // it let go of its last owner; joined once it ends
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
