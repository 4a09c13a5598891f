#include "hosts/HTTPDataRequest.h"

#include "http/HTTPSessionManager.h"

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

} // namespace

void sendHTTPDataRequest(const HTTPRequest& request, std::function<void(HTTPDataResult)> completion)
{
    auto manager = HTTPSessionManager::create();
    manager->setResponseSerializer(rawResponses());
    auto task = manager->dataTaskWithRequest(
        request,
        [completion = std::move(completion)](const std::optional<HTTPResponse>& response,
                                             const QVariant& object, const std::optional<HTTPError>& error) {
            HTTPDataResult result;
            const bool transportFailed = error && error->domain == QLatin1String(HTTPURLErrorDomain);
            if (response && !transportFailed) {
                result.statusCode = response->statusCode;
                result.body = object.toByteArray();
            } else {
                result.transportError = error ? error->localizedDescription : QStringLiteral("No response");
            }
            completion(result);
        });
    task->resume();
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
