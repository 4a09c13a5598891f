#pragma once

#include "http/HTTPRequest.h"

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

namespace airlark {

// The status line and headers of a response as our libcurl layer received them (after any
// redirects: URL is the final one).
struct HTTPResponse
{
    QUrl URL;
    int statusCode = 0;
    HTTPHeaderFields allHeaderFields;

    // "Content-Type" without parameters, lower-cased ("application/json"); empty when absent.
    QString MIMEType() const;
    // The "charset" parameter of "Content-Type", lower-cased without quotes; empty when absent.
    QString textEncodingName() const;
    // "Content-Length", or -1 when absent or malformed.
    qint64 expectedContentLength() const;
    std::optional<QString> valueForHTTPHeaderField(const QString& field) const
    {
        return allHeaderFields.value(field);
    }

    // How long "Retry-After" asks to wait: its seconds, or the time from `now` to its HTTP date
    // (none for a date past); nothing when the field is absent or malformed.
    std::optional<std::chrono::seconds>
    retryAfter(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;

    // The reason phrase of a status code in lower case, e.g. "unprocessable entity" for 422.
    static QString localizedStringForStatusCode(int statusCode);

    // One line for diagnostics: "<HTTPResponse: <URL> > { Status Code: 201, Headers {...} }".
    QString description() const;
};

} // namespace airlark
