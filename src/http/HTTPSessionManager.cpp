#include "http/HTTPSessionManager.h"

#include "http/HTTPInputStream.h"
#include "platform/MainQueue.h"

namespace airlark {

namespace {

std::optional<qint64> contentLengthOf(const HTTPRequest& request)
{
    const auto value = request.valueForHTTPHeaderField(QStringLiteral("Content-Length"));
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qint64 length = value->trimmed().toLongLong(&ok);
    return ok && length >= 0 ? std::optional(length) : std::nullopt;
}

} // namespace

std::shared_ptr<HTTPSessionManager>
HTTPSessionManager::create(std::optional<HTTPSessionConfiguration> configuration)
{
    std::shared_ptr<HTTPSessionManager> manager(new HTTPSessionManager());
    manager->session_ = HTTPSession::create(
        configuration.value_or(HTTPSessionConfiguration::defaultSessionConfiguration()), manager);
    return manager;
}

HTTPSessionManager::~HTTPSessionManager()
{
    session_.reset();
}

void HTTPSessionManager::setResponseSerializer(std::shared_ptr<const HTTPResponseSerializer> serializer)
{
    std::lock_guard guard(lock_);
    responseSerializer_ = std::move(serializer);
}

std::shared_ptr<const HTTPResponseSerializer> HTTPSessionManager::responseSerializer() const
{
    std::lock_guard guard(lock_);
    return responseSerializer_;
}

void HTTPSessionManager::setCompletionQueue(Executor queue)
{
    std::lock_guard guard(lock_);
    completionQueue_ = std::move(queue);
}

HTTPSessionManager::Executor HTTPSessionManager::completionQueue() const
{
    std::lock_guard guard(lock_);
    if (completionQueue_)
        return completionQueue_;
    return [](std::function<void()> work) { MainQueue::async(std::move(work)); };
}

void HTTPSessionManager::setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block)
{
    std::lock_guard guard(lock_);
    taskDidSendBodyData_ = std::move(block);
}

void HTTPSessionManager::setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block)
{
    std::lock_guard guard(lock_);
    taskNeedNewBodyStream_ = std::move(block);
}

void HTTPSessionManager::setTaskDidCompleteBlock(TaskDidCompleteBlock block)
{
    std::lock_guard guard(lock_);
    taskDidComplete_ = std::move(block);
}

std::shared_ptr<HTTPSessionTask>
HTTPSessionManager::uploadTaskWithStreamedRequest(const HTTPRequest& request,
                                                  std::shared_ptr<HTTPProgress>* progress,
                                                  HTTPCompletionHandler completionHandler)
{
    auto task = session_->uploadTaskWithStreamedRequest(request);
    addDelegateForTask(task, progress, std::move(completionHandler));
    return task;
}

std::shared_ptr<HTTPSessionTask>
HTTPSessionManager::dataTaskWithRequest(const HTTPRequest& request, HTTPCompletionHandler completionHandler)
{
    auto task = session_->dataTaskWithRequest(request);
    addDelegateForTask(task, nullptr, std::move(completionHandler));
    return task;
}

void HTTPSessionManager::addDelegateForTask(const std::shared_ptr<HTTPSessionTask>& task,
                                            std::shared_ptr<HTTPProgress>* progress,
                                            HTTPCompletionHandler completionHandler)
{
    auto delegate = std::make_shared<HTTPSessionTaskDelegate>(weak_from_this(), std::move(completionHandler));
    qint64 total = task->countOfBytesExpectedToSend();
    if (total == HTTPSessionTransferSizeUnknown)
        total = contentLengthOf(task->originalRequest()).value_or(HTTPSessionTransferSizeUnknown);
    delegate->progress->setTotalUnitCount(total);
    {
        std::lock_guard guard(lock_);
        mutableTaskDelegatesKeyedByTaskIdentifier_[task->taskIdentifier()] = delegate;
    }
    if (progress)
        *progress = delegate->progress;
}

std::shared_ptr<HTTPSessionTaskDelegate>
HTTPSessionManager::delegateForTask(const HTTPSessionTask& task) const
{
    std::lock_guard guard(lock_);
    const auto it = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task.taskIdentifier());
    return it == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : it->second;
}

std::shared_ptr<HTTPProgress> HTTPSessionManager::uploadProgressForTask(const HTTPSessionTask& task) const
{
    const auto delegate = delegateForTask(task);
    return delegate ? delegate->progress : nullptr;
}

std::shared_ptr<HTTPInputStream> HTTPSessionManager::sessionTaskNeedNewBodyStream(HTTPSession& session,
                                                                                  HTTPSessionTask& task)
{
    TaskNeedNewBodyStreamBlock block;
    {
        std::lock_guard guard(lock_);
        block = taskNeedNewBodyStream_;
    }
    if (block)
        return block(session, task);
    const auto& stream = task.originalRequest().HTTPBodyStream;
    return stream ? stream->copy() : nullptr;
}

void HTTPSessionManager::sessionTaskDidSendBodyData(HTTPSession& session, HTTPSessionTask& task,
                                                    qint64 bytesSent, qint64 totalBytesSent,
                                                    qint64 totalBytesExpectedToSend)
{
    Q_ASSERT(session.isDelegateQueue());
    qint64 expected = totalBytesExpectedToSend;
    if (expected == HTTPSessionTransferSizeUnknown)
        expected = contentLengthOf(task.originalRequest()).value_or(HTTPSessionTransferSizeUnknown);
    if (const auto delegate = delegateForTask(task)) {
        delegate->progress->setTotalUnitCount(expected);
        delegate->progress->setCompletedUnitCount(totalBytesSent);
    }
    TaskDidSendBodyDataBlock block;
    {
        std::lock_guard guard(lock_);
        block = taskDidSendBodyData_;
    }
    if (block)
        block(session, task, bytesSent, totalBytesSent, expected);
}

void HTTPSessionManager::sessionTaskDidReceiveData(HTTPSession&, HTTPSessionTask& task,
                                                   const QByteArray& data)
{
    if (const auto delegate = delegateForTask(task))
        delegate->taskDidReceiveData(data);
}

void HTTPSessionManager::sessionTaskDidComplete(HTTPSession& session, HTTPSessionTask& task,
                                                const std::optional<HTTPError>& error)
{
    Q_ASSERT(session.isDelegateQueue());
    if (const auto delegate = delegateForTask(task)) {
        delegate->taskDidComplete(task, error);
        std::lock_guard guard(lock_);
        mutableTaskDelegatesKeyedByTaskIdentifier_.erase(task.taskIdentifier());
    }
    TaskDidCompleteBlock block;
    {
        std::lock_guard guard(lock_);
        block = taskDidComplete_;
    }
    if (block)
        block(session, task, error);
}

} // namespace airlark
