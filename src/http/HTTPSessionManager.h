#pragma once

#include "http/HTTPResponseSerializer.h"
#include "http/HTTPSession.h"
#include "http/HTTPSessionTaskDelegate.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace airlark {

// Sends requests on an HTTPSession and delivers decoded responses.
//
// Threads: progress, response data and the task-completed block run on the session's worker
// (its serial delegate queue); responses are decoded on a shared background pool; completion
// handlers run on the completion queue, the Qt main thread when none is set.
//
// Lifetime: make it with create(); it stays alive while any of its tasks runs, so a caller may
// drop it right after resume() (one manager per upload is fine).
//
//   auto manager = HTTPSessionManager::create();
//   auto task = manager->dataTaskWithRequest(*request, [](auto& response, const QVariant& object,
//                                                         auto& error) {
//       // main thread; object.toJsonObject() for a JSON object body
//   });
//   task->resume();
class HTTPSessionManager : public HTTPSessionDelegate, public std::enable_shared_from_this<HTTPSessionManager>
{
public:
    using Executor = std::function<void(std::function<void()>)>;
    using TaskDidSendBodyDataBlock =
        std::function<void(HTTPSession& session, HTTPSessionTask& task, qint64 bytesSent,
                           qint64 totalBytesSent, qint64 totalBytesExpectedToSend)>;
    using TaskNeedNewBodyStreamBlock =
        std::function<std::shared_ptr<HTTPInputStream>(HTTPSession&, HTTPSessionTask&)>;
    using TaskDidCompleteBlock =
        std::function<void(HTTPSession&, HTTPSessionTask&, const std::optional<HTTPError>&)>;

    // The session configuration; the default one when none is given.
    static std::shared_ptr<HTTPSessionManager>
    create(std::optional<HTTPSessionConfiguration> configuration = {});
    ~HTTPSessionManager() override;

    const HTTPSessionConfiguration& sessionConfiguration() const { return session_->configuration(); }
    HTTPSession& session() const { return *session_; }

    // Set before making tasks; a task decodes with the serializer set when it completes.
    void setResponseSerializer(std::shared_ptr<const HTTPResponseSerializer> serializer);
    std::shared_ptr<const HTTPResponseSerializer> responseSerializer() const;

    // Where completion handlers run; nothing means the Qt main thread (MainQueue::async).
    void setCompletionQueue(Executor queue);

    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);

    // A task that sends the request's body stream as it reads it. Not started: call resume().
    // `progress`, when given, receives the task's progress object.
    std::shared_ptr<HTTPSessionTask> uploadTaskWithStreamedRequest(const HTTPRequest& request,
                                                                   std::shared_ptr<HTTPProgress>* progress,
                                                                   HTTPCompletionHandler completionHandler);
    // A plain request (GET, or a POST whose HTTPBody holds a form); same delivery as uploads.
    std::shared_ptr<HTTPSessionTask> dataTaskWithRequest(const HTTPRequest& request,
                                                         HTTPCompletionHandler completionHandler);

    // The progress of a task made here and not yet completed.
    std::shared_ptr<HTTPProgress> uploadProgressForTask(const HTTPSessionTask& task) const;

    // HTTPSessionDelegate, on the worker.
    std::shared_ptr<HTTPInputStream> sessionTaskNeedNewBodyStream(HTTPSession& session,
                                                                  HTTPSessionTask& task) override;
    void sessionTaskDidSendBodyData(HTTPSession& session, HTTPSessionTask& task, qint64 bytesSent,
                                    qint64 totalBytesSent, qint64 totalBytesExpectedToSend) override;
    void sessionTaskDidReceiveData(HTTPSession& session, HTTPSessionTask& task,
                                   const QByteArray& data) override;
    void sessionTaskDidComplete(HTTPSession& session, HTTPSessionTask& task,
                                const std::optional<HTTPError>& error) override;

private:
    friend class HTTPSessionTaskDelegate;
    HTTPSessionManager() = default;

    void addDelegateForTask(const std::shared_ptr<HTTPSessionTask>& task,
                            std::shared_ptr<HTTPProgress>* progress, HTTPCompletionHandler completionHandler);
    std::shared_ptr<HTTPSessionTaskDelegate> delegateForTask(const HTTPSessionTask& task) const;
    Executor completionQueue() const;

    std::shared_ptr<HTTPSession> session_;
    mutable std::mutex lock_;
    std::map<quint64, std::shared_ptr<HTTPSessionTaskDelegate>> mutableTaskDelegatesKeyedByTaskIdentifier_;
    std::shared_ptr<const HTTPResponseSerializer> responseSerializer_ =
        std::make_shared<JSONResponseSerializer>();
    Executor completionQueue_;
    TaskDidSendBodyDataBlock taskDidSendBodyData_;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream_;
    TaskDidCompleteBlock taskDidComplete_;
};

// Name of the notification posted on the main thread after a task's completion handler ran;
// the object is the task (an HTTPSessionTask*).
inline constexpr const char* HTTPNetworkingTaskDidCompleteNotification = "org.airlark.http.task-did-complete";

} // namespace airlark
