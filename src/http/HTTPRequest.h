#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace airlark {

class HTTPInputStream;

// Header fields in their insertion order with case-insensitive names, as HTTP wants them.
class HTTPHeaderFields
{
public:
    using Field = QPair<QString, QString>;

    HTTPHeaderFields() = default;
    HTTPHeaderFields(std::initializer_list<Field> fields);

    // The value of the first field with this name, or nothing.
    std::optional<QString> value(const QString& name) const;
    bool contains(const QString& name) const;
    // Replaces the field's value in place (keeping its position), or appends the field;
    // nothing as value removes it.
    void setValue(const std::optional<QString>& value, const QString& name);
    void remove(const QString& name);
    // Appends without replacing (a response may repeat a field).
    void append(const QString& name, const QString& value);

    const QList<Field>& fields() const { return fields_; }
    qsizetype size() const { return fields_.size(); }
    bool isEmpty() const { return fields_.isEmpty(); }
    bool operator==(const HTTPHeaderFields& other) const = default;

private:
    QList<Field> fields_;
};

enum class HTTPRequestCachePolicy
{
    UseProtocolCachePolicy,
    ReloadIgnoringLocalCacheData,
    ReturnCacheDataElseLoad,
    ReturnCacheDataDontLoad
};
enum class HTTPRequestNetworkServiceType
{
    Default,
    Background,
    ResponsiveData
};

// A request of our libcurl layer. A copy shares the body stream with the original: a stream
// is read once; a sender that needs the body again reads a copy of the stream.
struct HTTPRequest
{
    QUrl URL;
    QString HTTPMethod = QStringLiteral("GET");
    HTTPHeaderFields allHTTPHeaderFields;
    QByteArray HTTPBody;                             // used when there is no body stream
    std::shared_ptr<HTTPInputStream> HTTPBodyStream; // streamed body (the multipart form)

    // Seconds without any progress (connecting, sending or receiving) before the request
    // fails with a time-out; nothing uses the session configuration's value.
    std::optional<double> timeoutInterval;
    bool allowsCellularAccess = true;
    HTTPRequestCachePolicy cachePolicy = HTTPRequestCachePolicy::UseProtocolCachePolicy;
    bool HTTPShouldHandleCookies = true;
    bool HTTPShouldUsePipelining = false;
    HTTPRequestNetworkServiceType networkServiceType = HTTPRequestNetworkServiceType::Default;

    HTTPRequest() = default;
    explicit HTTPRequest(QUrl url) : URL(std::move(url)) {}

    std::optional<QString> valueForHTTPHeaderField(const QString& field) const
    {
        return allHTTPHeaderFields.value(field);
    }
    void setValueForHTTPHeaderField(const std::optional<QString>& value, const QString& field)
    {
        allHTTPHeaderFields.setValue(value, field);
    }
};

} // namespace airlark
