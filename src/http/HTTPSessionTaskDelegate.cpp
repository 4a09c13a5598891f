#include "http/HTTPSessionTaskDelegate.h"

#include "http/HTTPSessionManager.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

#include <QThreadPool>

namespace airlark {

double HTTPProgress::fractionCompleted() const
{
    const qint64 total = totalUnitCount();
    return total > 0 ? static_cast<double>(completedUnitCount()) / static_cast<double>(total) : 0.0;
}

HTTPSessionTaskDelegate::HTTPSessionTaskDelegate(std::weak_ptr<HTTPSessionManager> owner,
                                                 HTTPCompletionHandler handler)
    : manager(std::move(owner)), completionHandler(std::move(handler))
{
}

void HTTPSessionTaskDelegate::taskDidReceiveData(const QByteArray& data)
{
    mutableData_.append(data);
}

void HTTPSessionTaskDelegate::taskDidComplete(HTTPSessionTask& task, const std::optional<HTTPError>& error)
{
    const QByteArray data = std::move(mutableData_);
    mutableData_ = QByteArray();

    const auto owner = manager.lock();
    if (!owner)
        return;
    const HTTPSessionManager::Executor queue = owner->completionQueue();
    const auto serializer = owner->responseSerializer();
    const std::optional<HTTPResponse> response = task.response();
    const std::shared_ptr<HTTPSessionTask> finished = task.shared_from_this();
    const HTTPCompletionHandler handler = completionHandler;

    const auto deliver = [queue, handler, response, finished](QVariant object,
                                                              std::optional<HTTPError> failure) {
        queue([handler, response, finished, object = std::move(object), failure = std::move(failure)] {
            if (handler)
                handler(response, object, failure);
            MainQueue::async([finished] {
                NotificationCenter::defaultCenter().post(
                    QString::fromLatin1(HTTPNetworkingTaskDidCompleteNotification), finished.get());
            });
        });
    };

    if (error) {
        // A transport failure: the body (if any) is not decoded.
        deliver(QVariant(), error);
        return;
    }
    QThreadPool::globalInstance()->start([serializer, response, data, deliver] {
        std::optional<HTTPError> serializationError;
        QVariant object = serializer ? serializer->responseObjectForResponse(response ? &*response : nullptr,
                                                                             data, &serializationError)
                                     : QVariant(data);
        deliver(std::move(object), std::move(serializationError));
    });
}

} // namespace airlark
