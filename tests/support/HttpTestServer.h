#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace airlark::test {

// One request as the server received it.
struct HttpTestRequest
{
    QByteArray method;
    QByteArray target; // as on the request line: path and query
    QString path;      // decoded path without the query
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;       // the full body (chunked bodies de-chunked), unless bodies are not kept
    qint64 bodyLength = 0; // bytes of body received, kept or not
    bool bodyComplete = false;

    // The first header of that name (case-insensitive), or an empty array.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // The body as a form ("a=1&b=2"), for token requests.
    QUrlQuery formBody() const;
};

// What to answer. The defaults make "200 OK" with an empty body.
struct HttpTestResponse
{
    enum class Action
    {
        Respond,          // send the response and close the connection
        CloseImmediately, // close without a word (after reading the request)
        StaySilent,       // keep the connection open and never answer
    };

    int status = 200;
    QByteArray reason; // empty: the usual phrase
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Action action = Action::Respond;
    bool sendContentLength = true;

    static HttpTestResponse json(int status, const QJsonDocument& document);
    static HttpTestResponse json(int status, const QByteArray& jsonText);
    static HttpTestResponse text(int status, const QByteArray& contentType, const QByteArray& body);
    static HttpTestResponse redirect(int status, const QByteArray& location);
    static HttpTestResponse silent();
    static HttpTestResponse close();
};

// A small HTTP/1.1 server for tests, on 127.0.0.1 and a free port, served by threads of its own.
// Each connection carries one request and is closed after the answer. The server records every
// request and answers it with the first route that matches its method and path, else with the
// fallback handler (404 by default). Handlers run on the server's threads.
//
//   HttpTestServer server;
//   server.route("POST", "/oauth2/token", [](const HttpTestRequest& r) {
//       return HttpTestResponse::json(200, R"({"access_token":"t"})");
//   });
//   ASSERT_TRUE(server.start());
//   QUrl url = server.url("/me");
class HttpTestServer
{
public:
    using Handler = std::function<HttpTestResponse(const HttpTestRequest&)>;

    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    bool start();
    void stop();
    quint16 port() const { return port_; }
    // "http://127.0.0.1:<port><pathAndQuery>"
    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;

    void route(const QByteArray& method, const QString& path, Handler handler);
    void setFallback(Handler handler);
    // Answers every request with the same response (clears the routes).
    void respondWith(HttpTestResponse response);

    // Closes the connection once this many body bytes have arrived, before answering.
    void setCloseAfterBodyBytes(std::optional<qint64> bytes);
    // Do not keep request bodies (count them only): for large uploads.
    void setKeepsBodies(bool keep);

    std::vector<HttpTestRequest> requests() const;
    size_t requestCount() const;
    // Waits (without spinning the Qt loop) until `count` requests have been recorded.
    bool waitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    struct Route
    {
        QByteArray method;
        QString path;
        Handler handler;
    };

    void acceptLoop();
    void serveConnection(int socket);
    HttpTestResponse answerFor(const HttpTestRequest& request) const;
    void record(const HttpTestRequest& request);

    int listenSocket_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<std::thread> connectionThreads_;
    std::vector<Route> routes_;
    Handler fallback_;
    std::optional<qint64> closeAfterBodyBytes_;
    bool keepsBodies_ = true;
    std::vector<HttpTestRequest> requests_;
};

// One part of a multipart/form-data body, parsed back for checks.
struct MultipartTestPart
{
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray name;     // from Content-Disposition
    QByteArray fileName; // from Content-Disposition, empty when absent
    QByteArray contentType;
    QByteArray body;
};

// The boundary parameter of a "multipart/form-data; boundary=..." value, or empty.
QByteArray multipartBoundary(const QByteArray& contentType);
// Parses a whole body strictly (CRLF lines, closing delimiter last); nothing when malformed.
std::optional<QList<MultipartTestPart>> parseMultipart(const QByteArray& body, const QByteArray& boundary);

} // namespace airlark::test
