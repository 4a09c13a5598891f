#pragma once

#include "http/HTTPRequest.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace airlark {

// What a small request without a streamed body brought back: the status and the body,
// or a transport failure (statusCode 0). The body is not validated or decoded.
struct HTTPDataResult
{
    int statusCode = 0;
    QByteArray body;
    QString transportError;                         // empty unless the request did not reach an answer
    std::optional<std::chrono::seconds> retryAfter; // how long a 429 or 503 asks to wait, if it says
};

// Sends `request` on Airlark's HTTP client; `completion` runs later on the main thread. A 429 or
// 503 that asks to wait no longer than ShortRetryAfter is waited out and sent once more, by itself.
inline constexpr std::chrono::seconds ShortRetryAfter{10};
void sendHTTPDataRequest(const HTTPRequest& request, std::function<void(HTTPDataResult)> completion);

// A body of "application/x-www-form-urlencoded" name-value pairs, in the given order.
QByteArray formURLEncoded(const QList<QPair<QString, QString>>& fields);

} // namespace airlark
