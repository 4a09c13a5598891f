#pragma once

#include "http/HTTPError.h"
#include "http/HTTPResponse.h"

#include <QByteArray>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace airlark {

class HTTPSessionManager;
class HTTPSessionTask;

// Byte counts of one transfer; safe to read from any thread.
class HTTPProgress
{
public:
    qint64 totalUnitCount() const { return total_.load(); }
    qint64 completedUnitCount() const { return completed_.load(); }
    void setTotalUnitCount(qint64 count) { total_.store(count); }
    void setCompletedUnitCount(qint64 count) { completed_.store(count); }
    double fractionCompleted() const;

private:
    std::atomic<qint64> total_ = -1;
    std::atomic<qint64> completed_ = 0;
};

// The response, the decoded object (invalid QVariant for none) and the error (none on success).
using HTTPCompletionHandler =
    std::function<void(const std::optional<HTTPResponse>& response, const QVariant& responseObject,
                       const std::optional<HTTPError>& error)>;

// The per-task bookkeeping of a session manager: gathers the response body and, when the task
// completes, decodes it off the worker and hands the result to the completion queue.
class HTTPSessionTaskDelegate
{
public:
    HTTPSessionTaskDelegate(std::weak_ptr<HTTPSessionManager> manager,
                            HTTPCompletionHandler completionHandler);

    std::weak_ptr<HTTPSessionManager> manager;
    std::shared_ptr<HTTPProgress> progress = std::make_shared<HTTPProgress>();
    HTTPCompletionHandler completionHandler;

    // On the session's delegate queue.
    void taskDidReceiveData(const QByteArray& data);
    void taskDidComplete(HTTPSessionTask& task, const std::optional<HTTPError>& error);

private:
    QByteArray mutableData_;
};

} // namespace airlark
