#include "hosts/LoopbackRedirectListener.h"

#include "platform/StreamSocket.h"

#include <QPointer>
#include <QTimer>
#include <map>
#include <utility>

namespace airlark {

namespace {

// A redirect request line and its headers are small; anything larger is not a browser redirect.
constexpr qsizetype MaximumRequestSize = 16 * 1024;

const QByteArray ClosePage = QByteArrayLiteral(
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Airlark</title></head>"
    "<body style=\"font-family: sans-serif; margin: 3em;\"><h1>Back to Airlark</h1>"
    "<p>You can close this tab and return to Airlark, which shows how the sign-in went.</p></body></html>\n");

const QByteArray NotThisSignInPage = QByteArrayLiteral(
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Airlark</title></head>"
    "<body style=\"font-family: sans-serif; margin: 3em;\"><h1>Not this sign-in</h1>"
    "<p>This is not the sign-in Airlark is waiting for. Airlark keeps waiting for the one it started."
    "</p></body></html>\n");

const QByteArray NotFoundPage = QByteArrayLiteral("Not found\n");

void answer(StreamConnection* socket, const QByteArray& status, const QByteArray& contentType,
            const QByteArray& body, const QByteArray& extraHeaders = {})
{
    QByteArray response = "HTTP/1.1 " + status + "\r\n" + extraHeaders;
    response += "Content-Type: " + contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    response += body;
    socket->sendAndClose(response);
}

// The listener that holds each port. A registered redirect URI names one port, so a new sign-in
// takes it over from an abandoned one that is still waiting (the latest sign-in wins).
std::map<quint16, QPointer<LoopbackRedirectListener>>& listenersByPort()
{
    static std::map<quint16, QPointer<LoopbackRedirectListener>> listeners;
    return listeners;
}

} // namespace

LoopbackRedirectListener::LoopbackRedirectListener(QObject* parent) : QObject(parent) {}

LoopbackRedirectListener::~LoopbackRedirectListener()
{
    stop();
}

bool LoopbackRedirectListener::isLoopbackRedirectURI(const QUrl& uri)
{
    if (!uri.isValid() || uri.scheme() != QLatin1String("http"))
        return false;
    const QString host = uri.host();
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("::1") ||
           host == QLatin1String("localhost");
}

QUrl LoopbackRedirectListener::listen(const QUrl& redirectURI, Handlers handlers)
{
    stop();
    if (!isLoopbackRedirectURI(redirectURI))
        return {};
    const int port = redirectURI.port(80);
    if (port < 0 || port > 65535)
        return {};

    if (port != 0) {
        const auto holder = listenersByPort().find(static_cast<quint16>(port));
        if (holder != listenersByPort().end() && holder->second && holder->second != this)
            holder->second->stop();
    }

    server_ = new StreamListener(this);
    const bool ipv6 = redirectURI.host() == QLatin1String("::1");
    if (!server_->listenLoopback(ipv6, static_cast<quint16>(port), 50)) {
        qWarning("Unable to listen for the sign-in redirect on port %d: %s", port,
                 qUtf8Printable(server_->errorString()));
        delete server_;
        server_ = nullptr;
        return {};
    }
    connect(server_, &StreamListener::accepted, this, &LoopbackRedirectListener::accept);

    redirectURI_ = redirectURI;
    redirectURI_.setPort(server_->port());
    listenersByPort()[server_->port()] = this;
    handlers_ = std::move(handlers);
    return redirectURI_;
}

void LoopbackRedirectListener::accept(StreamConnection* socket)
{
    // Sockets outlive the listener so that the answer is sent even when the redirect's receiver
    // ends the listener at once; each deletes itself when closed or timed out.
    socket->setParent(nullptr);
    connect(socket, &StreamConnection::closed, socket, &QObject::deleteLater);
    if (std::ssize(*open_) >= MaximumConnections) {
        StreamConnection* oldest = open_->front();
        open_->pop_front();
        oldest->abort();
    }
    open_->push_back(socket);
    connect(socket, &QObject::destroyed, [open = open_, socket] { open->remove(socket); });
    connect(socket, &StreamConnection::readyRead, this, [this, socket] { readRequest(socket); });
    // The answer is written at once, so this also bounds a reader that never takes it.
    QTimer::singleShot(RequestTimeout, socket, &StreamConnection::abort);
}

void LoopbackRedirectListener::stop()
{
    if (server_) {
        const auto holder = listenersByPort().find(server_->port());
        if (holder != listenersByPort().end() && holder->second == this)
            listenersByPort().erase(holder);
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
}

bool LoopbackRedirectListener::isListening() const
{
    return server_ && server_->isListening();
}

void LoopbackRedirectListener::readRequest(StreamConnection* socket)
{
    // Wait for the whole request head; a redirect carries no body. Every answer hangs up, so each
    // connection is answered once.
    const QByteArray head = socket->received().left(MaximumRequestSize + 1);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > MaximumRequestSize)
            socket->abort();
        return;
    }

    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
        answer(socket, "400 Bad Request", "text/plain; charset=utf-8", "Bad request\n");
        return;
    }
    const QUrl target = QUrl::fromEncoded(requestLine[1], QUrl::StrictMode);
    if (!server_ || !target.isValid() || target.path() != redirectURI_.path()) {
        answer(socket, "404 Not Found", "text/plain; charset=utf-8", NotFoundPage);
        return;
    }
    if (requestLine[0] != "GET") {
        answer(socket, "405 Method Not Allowed", "text/plain; charset=utf-8", "Method not allowed\n",
               "Allow: GET\r\n");
        return;
    }

    QUrl redirect = redirectURI_;
    redirect.setQuery(target.query(QUrl::FullyEncoded), QUrl::StrictMode);
    if (!handlers_.judge || !handlers_.judge(redirect)) {
        answer(socket, "400 Bad Request", "text/html; charset=utf-8", NotThisSignInPage);
        return;
    }
    answer(socket, "200 OK", "text/html; charset=utf-8", ClosePage);
    stop();

    // The receiver may delete this listener, so the hand-off runs after this call returns.
    if (auto handOn = std::exchange(handlers_, {}).onRedirect)
        QTimer::singleShot(0, this, [handOn = std::move(handOn), redirect] { handOn(redirect); });
}

} // namespace airlark
