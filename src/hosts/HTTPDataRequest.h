#pragma once

#include "http/HTTPRequest.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace airlark {

// What a small request without a streamed body brought back: the status and the body,
// or a transport failure (statusCode 0). The body is not validated or decoded.
struct HTTPDataResult
{
    int statusCode = 0;
    QByteArray body;
    QString transportError; // empty unless the request did not reach an answer
};

// Sends `request` on Airlark's HTTP client; `completion` runs later on the main thread.
void sendHTTPDataRequest(const HTTPRequest& request, std::function<void(HTTPDataResult)> completion);

// A body of "application/x-www-form-urlencoded" name-value pairs, in the given order.
QByteArray formURLEncoded(const QList<QPair<QString, QString>>& fields);

} // namespace airlark
