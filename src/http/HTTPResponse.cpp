#include "http/HTTPResponse.h"

#include <QHash>

namespace airlark {

namespace {

// The "type/subtype" and the parameters of a Content-Type value.
QStringList contentTypeFields(const HTTPResponse& response)
{
    const auto value = response.valueForHTTPHeaderField(QStringLiteral("Content-Type"));
    if (!value)
        return {};
    return value->split(QLatin1Char(';'));
}

} // namespace

QString HTTPResponse::MIMEType() const
{
    const QStringList fields = contentTypeFields(*this);
    return fields.isEmpty() ? QString() : fields.first().trimmed().toLower();
}

std::optional<std::chrono::seconds> HTTPResponse::retryAfter(const QDateTime& now) const
{
    const QString value =
        valueForHTTPHeaderField(QStringLiteral("Retry-After")).value_or(QString()).trimmed();
    bool isNumber = false;
    const qint64 seconds = value.toLongLong(&isNumber);
    if (isNumber)
        return seconds >= 0 ? std::optional(std::chrono::seconds(seconds)) : std::nullopt;
    // An HTTP date, "Sun, 06 Nov 1994 08:49:37 GMT", is RFC 2822's form.
    const QDateTime date = QDateTime::fromString(value, Qt::RFC2822Date);
    if (!date.isValid())
        return std::nullopt;
    return std::chrono::seconds(qMax<qint64>(0, now.secsTo(date)));
}

QString HTTPResponse::textEncodingName() const
{
    const QStringList fields = contentTypeFields(*this);
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString parameter = fields.at(i).trimmed();
        const qsizetype equals = parameter.indexOf(QLatin1Char('='));
        if (equals < 0 ||
            parameter.left(equals).trimmed().compare(QLatin1String("charset"), Qt::CaseInsensitive) != 0)
            continue;
        QString value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value.toLower();
    }
    return {};
}

qint64 HTTPResponse::expectedContentLength() const
{
    const auto value = valueForHTTPHeaderField(QStringLiteral("Content-Length"));
    if (!value)
        return -1;
    bool ok = false;
    const qint64 length = value->trimmed().toLongLong(&ok);
    return ok && length >= 0 ? length : -1;
}

QString HTTPResponse::localizedStringForStatusCode(int statusCode)
{
    static const QHash<int, QString> phrases = {
        {100, QStringLiteral("continue")},
        {101, QStringLiteral("switching protocols")},
        {200, QStringLiteral("no error")},
        {201, QStringLiteral("created")},
        {202, QStringLiteral("accepted")},
        {203, QStringLiteral("non-authoritative information")},
        {204, QStringLiteral("no content")},
        {205, QStringLiteral("reset content")},
        {206, QStringLiteral("partial content")},
        {300, QStringLiteral("multiple choices")},
        {301, QStringLiteral("moved permanently")},
        {302, QStringLiteral("found")},
        {303, QStringLiteral("see other")},
        {304, QStringLiteral("not modified")},
        {305, QStringLiteral("use proxy")},
        {307, QStringLiteral("temporarily redirected")},
        {308, QStringLiteral("permanent redirect")},
        {400, QStringLiteral("bad request")},
        {401, QStringLiteral("unauthorized")},
        {402, QStringLiteral("payment required")},
        {403, QStringLiteral("forbidden")},
        {404, QStringLiteral("not found")},
        {405, QStringLiteral("method not allowed")},
        {406, QStringLiteral("unacceptable")},
        {407, QStringLiteral("proxy authentication required")},
        {408, QStringLiteral("request timed out")},
        {409, QStringLiteral("conflict")},
        {410, QStringLiteral("no longer exists")},
        {411, QStringLiteral("length required")},
        {412, QStringLiteral("precondition failed")},
        {413, QStringLiteral("request too large")},
        {414, QStringLiteral("requested URL too long")},
        {415, QStringLiteral("unsupported media type")},
        {416, QStringLiteral("requested range not satisfiable")},
        {417, QStringLiteral("expectation failed")},
        {422, QStringLiteral("unprocessable entity")},
        {429, QStringLiteral("too many requests")},
        {500, QStringLiteral("internal server error")},
        {501, QStringLiteral("unimplemented")},
        {502, QStringLiteral("bad gateway")},
        {503, QStringLiteral("service unavailable")},
        {504, QStringLiteral("gateway timed out")},
        {505, QStringLiteral("unsupported version")},
    };
    if (const auto it = phrases.constFind(statusCode); it != phrases.constEnd())
        return *it;
    if (statusCode >= 100 && statusCode < 200)
        return QStringLiteral("informational");
    if (statusCode >= 200 && statusCode < 300)
        return QStringLiteral("success");
    if (statusCode >= 300 && statusCode < 400)
        return QStringLiteral("redirected");
    if (statusCode >= 400 && statusCode < 500)
        return QStringLiteral("client error");
    return QStringLiteral("server error");
}

QString HTTPResponse::description() const
{
    QStringList headers;
    for (const auto& field : allHeaderFields.fields())
        headers.append(field.first + QStringLiteral(": ") + field.second);
    return QStringLiteral("<HTTPResponse: %1> { Status Code: %2, Headers { %3 } }")
        .arg(URL.toString())
        .arg(statusCode)
        .arg(headers.join(QStringLiteral("; ")));
}

} // namespace airlark
