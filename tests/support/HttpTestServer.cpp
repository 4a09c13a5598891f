#include "support/HttpTestServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace airlark::test {

namespace {

constexpr int PollMilliseconds = 50;
constexpr qsizetype MaximumHeaderBytes = 1 << 20;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 422:
        return "Unprocessable Entity";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// One connection's reads, with a stop check between polls.
class Connection
{
public:
    Connection(int socket, const std::atomic<bool>& stopping) : socket_(socket), stopping_(stopping) {}

    // Reads more into pending; false when the peer closed or the server stops.
    bool fill(qsizetype most = 64 * 1024)
    {
        for (;;) {
            if (stopping_)
                return false;
            pollfd descriptor{socket_, POLLIN, 0};
            const int ready = ::poll(&descriptor, 1, PollMilliseconds);
            if (ready < 0 && errno != EINTR)
                return false;
            if (ready <= 0)
                continue;
            const qsizetype old = pending.size();
            pending.resize(old + most);
            const ssize_t count = ::recv(socket_, pending.data() + old, static_cast<size_t>(most), 0);
            if (count <= 0) {
                pending.resize(old);
                if (count < 0 && errno == EINTR)
                    continue;
                return false;
            }
            pending.resize(old + count);
            return true;
        }
    }

    bool readLine(QByteArray& line)
    {
        for (;;) {
            const qsizetype end = pending.indexOf("\r\n");
            if (end >= 0) {
                line = pending.left(end);
                pending.remove(0, end + 2);
                return true;
            }
            if (pending.size() > MaximumHeaderBytes || !fill())
                return false;
        }
    }

    bool sendAll(const QByteArray& data)
    {
        qsizetype sent = 0;
        while (sent < data.size()) {
            const ssize_t count = ::send(socket_, data.constData() + sent,
                                         static_cast<size_t>(data.size() - sent), MSG_NOSIGNAL);
            if (count < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            sent += count;
        }
        return true;
    }

    QByteArray pending;

private:
    int socket_;
    const std::atomic<bool>& stopping_;
};

} // namespace

// ---- HttpTestRequest / HttpTestResponse --------------------------------------------------------

QByteArray HttpTestRequest::header(const QByteArray& name) const
{
    for (const auto& field : headers) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            return field.second;
    }
    return {};
}

bool HttpTestRequest::hasHeader(const QByteArray& name) const
{
    for (const auto& field : headers) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QUrlQuery HttpTestRequest::formBody() const
{
    QByteArray text = body;
    text.replace('+', "%20");
    return QUrlQuery(QString::fromUtf8(text));
}

HttpTestResponse HttpTestResponse::json(int status, const QJsonDocument& document)
{
    return json(status, document.toJson(QJsonDocument::Compact));
}

HttpTestResponse HttpTestResponse::json(int status, const QByteArray& jsonText)
{
    return text(status, "application/json; charset=utf-8", jsonText);
}

HttpTestResponse HttpTestResponse::text(int status, const QByteArray& contentType, const QByteArray& body)
{
    HttpTestResponse response;
    response.status = status;
    response.headers.append({"Content-Type", contentType});
    response.body = body;
    return response;
}

HttpTestResponse HttpTestResponse::redirect(int status, const QByteArray& location)
{
    HttpTestResponse response;
    response.status = status;
    response.headers.append({"Location", location});
    return response;
}

HttpTestResponse HttpTestResponse::silent()
{
    HttpTestResponse response;
    response.action = Action::StaySilent;
    return response;
}

HttpTestResponse HttpTestResponse::close()
{
    HttpTestResponse response;
    response.action = Action::CloseImmediately;
    return response;
}

// ---- HttpTestServer ----------------------------------------------------------------------------

HttpTestServer::HttpTestServer()
{
    fallback_ = [](const HttpTestRequest&) { return HttpTestResponse::text(404, "text/plain", "Not Found"); };
}

HttpTestServer::~HttpTestServer()
{
    stop();
}

bool HttpTestServer::start()
{
    listenSocket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenSocket_ < 0)
        return false;
    const int yes = 1;
    ::setsockopt(listenSocket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenSocket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenSocket_, 64) != 0 ||
        ::getsockname(listenSocket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listenSocket_);
        listenSocket_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void HttpTestServer::stop()
{
    if (listenSocket_ < 0)
        return;
    stopping_ = true;
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard guard(mutex_);
        threads.swap(connectionThreads_);
    }
    for (auto& thread : threads)
        thread.join();
    ::close(listenSocket_);
    listenSocket_ = -1;
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(pathAndQuery));
}

void HttpTestServer::route(const QByteArray& method, const QString& path, Handler handler)
{
    std::lock_guard guard(mutex_);
    routes_.push_back({method, path, std::move(handler)});
}

void HttpTestServer::setFallback(Handler handler)
{
    std::lock_guard guard(mutex_);
    fallback_ = std::move(handler);
}

void HttpTestServer::respondWith(HttpTestResponse response)
{
    std::lock_guard guard(mutex_);
    routes_.clear();
    fallback_ = [response](const HttpTestRequest&) { return response; };
}

void HttpTestServer::setCloseAfterBodyBytes(std::optional<qint64> bytes)
{
    std::lock_guard guard(mutex_);
    closeAfterBodyBytes_ = bytes;
}

void HttpTestServer::setKeepsBodies(bool keep)
{
    std::lock_guard guard(mutex_);
    keepsBodies_ = keep;
}

std::vector<HttpTestRequest> HttpTestServer::requests() const
{
    std::lock_guard guard(mutex_);
    return requests_;
}

size_t HttpTestServer::requestCount() const
{
    std::lock_guard guard(mutex_);
    return requests_.size();
}

bool HttpTestServer::waitForRequests(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(mutex_);
    return recorded_.wait_for(guard, timeout, [&] { return requests_.size() >= count; });
}

void HttpTestServer::acceptLoop()
{
    while (!stopping_) {
        pollfd descriptor{listenSocket_, POLLIN, 0};
        if (::poll(&descriptor, 1, PollMilliseconds) <= 0)
            continue;
        const int socket = ::accept4(listenSocket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        std::lock_guard guard(mutex_);
        connectionThreads_.emplace_back([this, socket] {
            serveConnection(socket);
            ::close(socket);
        });
    }
}

HttpTestResponse HttpTestServer::answerFor(const HttpTestRequest& request) const
{
    Handler handler;
    {
        std::lock_guard guard(mutex_);
        handler = fallback_;
        for (const Route& route : routes_) {
            if (route.method.compare(request.method, Qt::CaseInsensitive) == 0 &&
                route.path == request.path) {
                handler = route.handler;
                break;
            }
        }
    }
    return handler(request);
}

void HttpTestServer::record(const HttpTestRequest& request)
{
    {
        std::lock_guard guard(mutex_);
        requests_.push_back(request);
    }
    recorded_.notify_all();
}

void HttpTestServer::serveConnection(int socket)
{
    Connection connection(socket, stopping_);
    HttpTestRequest request;
    QByteArray line;
    if (!connection.readLine(line))
        return;
    const QList<QByteArray> requestLine = line.split(' ');
    if (requestLine.size() < 3)
        return;
    request.method = requestLine.at(0);
    request.target = requestLine.at(1);
    const qsizetype question = request.target.indexOf('?');
    request.path = QUrl::fromPercentEncoding(question < 0 ? request.target : request.target.left(question));
    if (question >= 0)
        request.query = QUrlQuery(QString::fromUtf8(request.target.mid(question + 1)));
    for (;;) {
        if (!connection.readLine(line))
            return;
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    std::optional<qint64> closeAfter;
    bool keep = true;
    {
        std::lock_guard guard(mutex_);
        closeAfter = closeAfterBodyBytes_;
        keep = keepsBodies_;
    }
    if (request.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0)
        connection.sendAll("HTTP/1.1 100 Continue\r\n\r\n");

    // Takes up to `count` body bytes; false when the connection is to be dropped.
    const auto take = [&](qint64 count) {
        while (count > 0) {
            if (connection.pending.isEmpty() && !connection.fill(1 << 20))
                return false;
            qint64 piece = std::min<qint64>(count, connection.pending.size());
            if (closeAfter)
                piece = std::min<qint64>(piece, std::max<qint64>(*closeAfter - request.bodyLength, 0));
            if (keep)
                request.body.append(connection.pending.constData(), piece);
            connection.pending.remove(0, piece);
            request.bodyLength += piece;
            count -= piece;
            if (closeAfter && request.bodyLength >= *closeAfter)
                return false;
        }
        return true;
    };

    bool complete = true;
    if (request.header("Transfer-Encoding").toLower().contains("chunked")) {
        for (;;) {
            if (!connection.readLine(line)) {
                complete = false;
                break;
            }
            bool ok = false;
            const qint64 size = line.split(';').first().trimmed().toLongLong(&ok, 16);
            if (!ok) {
                complete = false;
                break;
            }
            if (size == 0) {
                while (connection.readLine(line) && !line.isEmpty()) {
                }
                break;
            }
            if (!take(size) || !connection.readLine(line)) {
                complete = false;
                break;
            }
        }
    } else if (request.hasHeader("Content-Length")) {
        complete = take(request.header("Content-Length").toLongLong());
    }
    request.bodyComplete = complete;
    record(request);
    if (!complete) {
        // Reset rather than close politely, as a server that gives up mid-upload does.
        const linger abort{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        return;
    }

    const HttpTestResponse response = answerFor(request);
    switch (response.action) {
    case HttpTestResponse::Action::CloseImmediately:
        return;
    case HttpTestResponse::Action::StaySilent:
        while (connection.fill()) {
            connection.pending.clear();
        }
        return;
    case HttpTestResponse::Action::Respond:
        break;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      (response.reason.isEmpty() ? reasonPhrase(response.status) : response.reason) + "\r\n";
    for (const auto& field : response.headers)
        head += field.first + ": " + field.second + "\r\n";
    if (response.sendContentLength)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    connection.sendAll(head + response.body);
    ::shutdown(socket, SHUT_WR);
    // Let the client read the answer before the socket goes.
    while (connection.fill()) {
        connection.pending.clear();
    }
}

} // namespace airlark::test
