#include "hosts/HTTPDataRequest.h"

#include "http/HTTPSessionManager.h"

#include <QTimer>

namespace airlark {

namespace {

// Hands back every answer as it came: the OAuth2 and user-details code judges statuses itself.
std::shared_ptr<const HTTPResponseSerializer> rawResponses()
{
    auto serializer = std::make_shared<HTTPResponseSerializer>();
    serializer->acceptableStatusCodes.reset();
    serializer->acceptableContentTypes.reset();
    return serializer;
}

void send(const HTTPRequest& request, bool again, std::function<void(HTTPDataResult)> completion)
{
    auto manager = HTTPSessionManager::create();
    manager->setResponseSerializer(rawResponses());
    auto task = manager->dataTaskWithRequest(request, [request, again, completion = std::move(completion)](
                                                          const std::optional<HTTPResponse>& response,
                                                          const QVariant& object,
                                                          const std::optional<HTTPError>& error) {
        HTTPDataResult result;
        const bool transportFailed = error && error->domain == QLatin1String(HTTPURLErrorDomain);
        if (response && !transportFailed) {
            result.statusCode = response->statusCode;
            result.body = object.toByteArray();
            if (result.statusCode == 429 || result.statusCode == 503)
                result.retryAfter = response->retryAfter();
        } else {
            result.transportError = error ? error->localizedDescription : QStringLiteral("No response");
        }
        if (!again && result.retryAfter && *result.retryAfter <= ShortRetryAfter) {
            // A small request is worth a short wait; a longer one is for the user to know of.
            QTimer::singleShot(*result.retryAfter,
                               [request, completion] { send(request, true, completion); });
            return;
        }
        completion(result);
    });
    task->resume();
}

} // namespace

void sendHTTPDataRequest(const HTTPRequest& request, std::function<void(HTTPDataResult)> completion)
{
    send(request, false, std::move(completion));
}

QByteArray formURLEncoded(const QList<QPair<QString, QString>>& fields)
{
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

} // namespace airlark
