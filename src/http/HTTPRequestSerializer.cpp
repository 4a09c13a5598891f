#include "http/HTTPRequestSerializer.h"

#include "platform/ApplicationIdentity.h"

#include <QLocale>
#include <QStringEncoder>
#include <QSysInfo>

namespace airlark {

namespace {

void flatten(const QString& field, const QVariant& value, QList<QPair<QString, QVariant>>& pairs)
{
    const auto nested = [&field](const QString& key) {
        return field.isEmpty() ? key : QStringLiteral("%1[%2]").arg(field, key);
    };
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap(); // keys in ascending order
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            flatten(nested(it.key()), it.value(), pairs);
        return;
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        QStringList keys = hash.keys();
        keys.sort();
        for (const QString& key : std::as_const(keys))
            flatten(nested(key), hash.value(key), pairs);
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = value.toList();
        for (const QVariant& element : list)
            flatten(field + QStringLiteral("[]"), element, pairs);
        return;
    }
    default:
        pairs.append({field, value});
    }
}

// The text of a value, as a form field or query item carries it.
QString valueText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value.toString();
}

QByteArray valueData(const QVariant& value, QStringConverter::Encoding encoding)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    QStringEncoder encoder(encoding);
    return encoder(valueText(value));
}

QString percentEscaped(const QString& text)
{
    // Everything but the unreserved characters, '/' and '?' is escaped, so that values may
    // carry '&', '=', '+' and brackets safely.
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("/?")));
}

QString toASCII(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString ascii;
    for (const QChar c : decomposed) {
        if (c.unicode() < 128)
            ascii.append(c);
    }
    return ascii;
}

} // namespace

HTTPRequestSerializer::HTTPRequestSerializer()
    : HTTPMethodsEncodingParametersInURI(
          {QStringLiteral("GET"), QStringLiteral("HEAD"), QStringLiteral("DELETE")})
{
    const QString acceptLanguage = defaultAcceptLanguage(QLocale::system().uiLanguages());
    if (!acceptLanguage.isEmpty())
        setValueForHTTPHeaderField(acceptLanguage, QStringLiteral("Accept-Language"));
    setValueForHTTPHeaderField(defaultUserAgent(), QStringLiteral("User-Agent"));
}

QString HTTPRequestSerializer::defaultAcceptLanguage(const QStringList& preferredLanguages)
{
    QStringList entries;
    for (qsizetype i = 0; i < preferredLanguages.size(); ++i) {
        const float q = 1.0f - static_cast<float>(i) * 0.1f;
        entries.append(QString::asprintf("%s;q=%0.1g", qUtf8Printable(preferredLanguages.at(i)),
                                         static_cast<double>(q)));
        if (q <= 0.5f)
            break;
    }
    return entries.join(QStringLiteral(", "));
}

QString HTTPRequestSerializer::defaultUserAgent()
{
    QString name = applicationName();
    if (name.isEmpty())
        name = applicationIdentifier();
    QString osName = QSysInfo::productType();
    QString osVersion = QSysInfo::productVersion();
    if (osName.isEmpty() || osName == QLatin1String("unknown")) {
        osName = QSysInfo::kernelType();
        osVersion = QSysInfo::kernelVersion();
    }
    if (!osName.isEmpty())
        osName[0] = osName[0].toUpper();
    const QString userAgent =
        QStringLiteral("%1/%2 (%3 %4)").arg(name, applicationVersion(), osName, osVersion);
    for (const QChar c : userAgent) {
        if (c.unicode() >= 128)
            return toASCII(userAgent);
    }
    return userAgent;
}

void HTTPRequestSerializer::setValueForHTTPHeaderField(const std::optional<QString>& value,
                                                       const QString& field)
{
    mutableHTTPRequestHeaders_.setValue(value, field);
}

std::optional<QString> HTTPRequestSerializer::valueForHTTPHeaderField(const QString& field) const
{
    return mutableHTTPRequestHeaders_.value(field);
}

QList<QPair<QString, QVariant>>
HTTPRequestSerializer::queryStringPairsFromParameters(const QVariant& parameters)
{
    QList<QPair<QString, QVariant>> pairs;
    flatten(QString(), parameters, pairs);
    return pairs;
}

QString HTTPRequestSerializer::queryStringFromParameters(const QVariantMap& parameters)
{
    QStringList components;
    const auto pairs = queryStringPairsFromParameters(parameters);
    for (const auto& pair : pairs) {
        if (pair.second.isNull())
            components.append(percentEscaped(pair.first));
        else
            components.append(percentEscaped(pair.first) + QLatin1Char('=') +
                              percentEscaped(valueText(pair.second)));
    }
    return components.join(QLatin1Char('&'));
}

std::optional<HTTPRequest>
HTTPRequestSerializer::requestWithMethod(const QString& method, const QString& URLString,
                                         const std::optional<QVariantMap>& parameters, HTTPError* error) const
{
    const QUrl url(URLString, QUrl::StrictMode);
    if (method.isEmpty() || !url.isValid() || url.scheme().isEmpty()) {
        if (error) {
            *error =
                HTTPError(QString::fromLatin1(HTTPURLRequestSerializationErrorDomain),
                          HTTPErrorCode::RequestSerializationFailed, QStringLiteral("Invalid request URL"),
                          QStringLiteral("“%1” is not a valid URL.").arg(URLString));
        }
        return std::nullopt;
    }
    HTTPRequest request(url);
    request.HTTPMethod = method;
    if (allowsCellularAccess)
        request.allowsCellularAccess = *allowsCellularAccess;
    if (cachePolicy)
        request.cachePolicy = *cachePolicy;
    if (HTTPShouldHandleCookies)
        request.HTTPShouldHandleCookies = *HTTPShouldHandleCookies;
    if (HTTPShouldUsePipelining)
        request.HTTPShouldUsePipelining = *HTTPShouldUsePipelining;
    if (networkServiceType)
        request.networkServiceType = *networkServiceType;
    if (timeoutInterval)
        request.timeoutInterval = *timeoutInterval;
    return requestBySerializingRequest(request, parameters, error);
}

std::optional<HTTPRequest> HTTPRequestSerializer::requestBySerializingRequest(
    const HTTPRequest& request, const std::optional<QVariantMap>& parameters, HTTPError*) const
{
    HTTPRequest mutableRequest = request;
    for (const auto& field : mutableHTTPRequestHeaders_.fields()) {
        if (!mutableRequest.allHTTPHeaderFields.contains(field.first))
            mutableRequest.setValueForHTTPHeaderField(field.second, field.first);
    }

    const QString query = parameters ? queryStringFromParameters(*parameters) : QString();
    if (HTTPMethodsEncodingParametersInURI.contains(mutableRequest.HTTPMethod.toUpper())) {
        if (!query.isEmpty()) {
            QUrl url = mutableRequest.URL;
            const QString existing = url.query(QUrl::FullyEncoded);
            url.setQuery(existing.isEmpty() ? query : existing + QLatin1Char('&') + query, QUrl::StrictMode);
            mutableRequest.URL = url;
        }
    } else {
        if (!mutableRequest.allHTTPHeaderFields.contains(QStringLiteral("Content-Type"))) {
            mutableRequest.setValueForHTTPHeaderField(QStringLiteral("application/x-www-form-urlencoded"),
                                                      QStringLiteral("Content-Type"));
        }
        QStringEncoder encoder(stringEncoding);
        mutableRequest.HTTPBody = encoder(query);
    }
    return mutableRequest;
}

std::optional<HTTPRequest> HTTPRequestSerializer::multipartFormRequestWithMethod(
    const QString& method, const QString& URLString, const std::optional<QVariantMap>& parameters,
    const std::function<void(MultipartFormData&)>& block, HTTPError* error) const
{
    auto request = requestWithMethod(method, URLString, std::nullopt, error);
    if (!request)
        return std::nullopt;
    MultipartFormData formData(*request, QStringConverter::Utf8);
    if (parameters) {
        const auto pairs = queryStringPairsFromParameters(*parameters);
        for (const auto& pair : pairs)
            formData.appendPartWithFormData(valueData(pair.second, stringEncoding), pair.first);
    }
    if (block)
        block(formData);
    return formData.requestByFinalizingMultipartFormData();
}

} // namespace airlark
