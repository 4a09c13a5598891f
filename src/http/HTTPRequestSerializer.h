#pragma once

#include "http/HTTPError.h"
#include "http/HTTPRequest.h"
#include "http/MultipartFormData.h"

#include <QSet>
#include <QString>
#include <QStringConverter>
#include <QVariant>
#include <functional>
#include <optional>

namespace airlark {

// Makes requests: default headers, parameters as a query string (in the URL for GET, HEAD and
// DELETE, as an "application/x-www-form-urlencoded" body otherwise), and multipart/form-data
// bodies streamed from their parts.
class HTTPRequestSerializer
{
public:
    HTTPRequestSerializer();

    QStringConverter::Encoding stringEncoding = QStringConverter::Utf8;
    QSet<QString> HTTPMethodsEncodingParametersInURI;

    // Default header fields applied to every request made here (a copy).
    HTTPHeaderFields HTTPRequestHeaders() const { return mutableHTTPRequestHeaders_; }
    // Nothing as value removes the field.
    void setValueForHTTPHeaderField(const std::optional<QString>& value, const QString& field);
    std::optional<QString> valueForHTTPHeaderField(const QString& field) const;

    // Request properties copied into each new request once set here; unset ones keep the
    // request's own defaults.
    std::optional<bool> allowsCellularAccess;
    std::optional<HTTPRequestCachePolicy> cachePolicy;
    std::optional<bool> HTTPShouldHandleCookies;
    std::optional<bool> HTTPShouldUsePipelining;
    std::optional<HTTPRequestNetworkServiceType> networkServiceType;
    std::optional<double> timeoutInterval;

    // A new request for the URL text. Nothing (and `error`) when the text is not a valid URL.
    std::optional<HTTPRequest> requestWithMethod(const QString& method, const QString& URLString,
                                                 const std::optional<QVariantMap>& parameters,
                                                 HTTPError* error = nullptr) const;
    // A copy of `request` with the default headers it lacks and the parameters encoded.
    std::optional<HTTPRequest> requestBySerializingRequest(const HTTPRequest& request,
                                                           const std::optional<QVariantMap>& parameters,
                                                           HTTPError* error = nullptr) const;
    // A multipart/form-data request: the parameters become text parts (sorted by key, nested
    // dictionaries and arrays flattened), then `block` appends its parts.
    std::optional<HTTPRequest> multipartFormRequestWithMethod(
        const QString& method, const QString& URLString, const std::optional<QVariantMap>& parameters,
        const std::function<void(MultipartFormData&)>& block, HTTPError* error = nullptr) const;

    // Parameters as (field, value) pairs: dictionary keys (QVariantMap, QVariantHash) sorted,
    // "a[b]" for nested dictionaries, "a[]" for elements of lists (QVariantList, QStringList).
    static QList<QPair<QString, QVariant>> queryStringPairsFromParameters(const QVariant& parameters);
    // "a=1&b%5Bc%5D=x": pairs percent-encoded and joined.
    static QString queryStringFromParameters(const QVariantMap& parameters);

    // "en-GB;q=1, en;q=0.9" from the user's preferred languages.
    static QString defaultAcceptLanguage(const QStringList& preferredLanguages);
    // "<name>/<version> (<OS name> <OS version>)", reduced to ASCII when needed.
    static QString defaultUserAgent();

private:
    HTTPHeaderFields mutableHTTPRequestHeaders_;
};

} // namespace airlark
