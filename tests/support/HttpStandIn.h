#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <memory>
#include <optional>
#include <vector>

namespace airlark::test {

// One request as the stand-in received it.
struct StandInRequest
{
    struct Part
    {
        QByteArray name;
        QByteArray fileName;
        QByteArray contentType;
        QByteArray body;
    };

    int listener = 0; // the index of the port it reached
    QByteArray method;
    QString path;
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body; // empty when bodies are not kept
    qint64 bodyLength = 0;
    bool bodyComplete = false;
    std::optional<QList<Part>> parts; // of a complete multipart/form-data body that parsed strictly

    QByteArray header(const QByteArray& name) const; // empty when absent
    bool hasHeader(const QByteArray& name) const;
};

// The HTTP stand-in (tests/support/http_server.py) on 127.0.0.1, one port per listener. Started
// by the constructor (check isRunning()), stopped by the destructor. A response is a JSON object
// as the script reads it: "status", "headers" ([[name, value], ...]), "json" or "body", and the
// misbehaviours "huge" (bytes), "endless", "gzip_bomb", "partial" (bytes, "then": "drop" or
// "stall"), "read_limit" (request bytes read, "then": "drop" or "stall"), "action": "silent", and "delay"
// (seconds before answering).
//
//   HttpStandIn server({HttpStandIn::Plain, HttpStandIn::Tls});
//   server.route("GET", "/me", reply(301, {{"Location", server.url("/me", 0).toString()}}));
class HttpStandIn
{
public:
    enum Listener
    {
        Plain,
        Tls
    };

    explicit HttpStandIn(QList<Listener> listeners = {Plain}, bool keepBodies = true);
    ~HttpStandIn();
    HttpStandIn(const HttpStandIn&) = delete;
    HttpStandIn& operator=(const HttpStandIn&) = delete;

    bool isRunning() const { return !ports_.isEmpty(); }
    quint16 port(int listener = 0) const { return ports_.value(listener); }
    QUrl url(const QString& pathAndQuery, int listener = 0) const
    {
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2%3")
                .arg(listeners_.value(listener) == Tls ? QStringLiteral("https") : QStringLiteral("http"))
                .arg(port(listener))
                .arg(pathAndQuery));
    }
    // The certificate of the TLS listeners, to trust as a certificate authority.
    QString certificateFile() const { return folder_.filePath(QStringLiteral("cert.pem")); }

    // Answers `method` ("*": any) on `path` with `response`, on one listener or (-1) all of them;
    // an empty response removes the route.
    void route(const QByteArray& method, const QString& path, const QJsonObject& response, int listener = -1);
    std::vector<StandInRequest> requests();

    // Plays SoundCloud with these settings ("token", "retry_after", "refresh_delay", "me", "username",
    // "lifetime";
    // "issue": true issues a token pair, as a refresh would, outside any request);
    // `revoke` makes every access token issued so far invalid. Answers its state:
    // "exchanges", "refreshes", "token_requests", "access_token",
    // "refresh_token", "client_id", "client_secret".
    QJsonObject soundCloud(const QJsonObject& settings = {}, bool revoke = false)
    {
        return command({{"cmd", "soundcloud"}, {"settings", settings}, {"revoke", revoke}});
    }

private:
    QJsonObject command(const QJsonObject& request);
    QByteArray answer(); // the script's next line

    QTemporaryDir folder_;
    std::unique_ptr<QProcess> process_;
    QList<Listener> listeners_;
    QList<quint16> ports_;
};

// A response of `status` with these headers and a JSON body.
QJsonObject reply(int status, const QList<QPair<QString, QString>>& headers = {},
                  const QJsonValue& json = {});
// A response of `status` with a body of this type.
QJsonObject page(int status, const QString& contentType, const QString& body);

} // namespace airlark::test
