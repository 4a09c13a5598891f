#pragma once

#include <QObject>
#include <QUrl>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace airlark {

// A one-shot HTTP listener on 127.0.0.1 that takes the browser's OAuth2 redirect to a loopback
// redirect URI (RFC 8252), answers with a short "you can close this tab" page and hands the full
// redirect URL on. Requests for other paths (a browser's favicon) get 404 and the listener keeps
// waiting. It stops listening after the first redirect, or when a newer listener takes its port
// (the latest sign-in wins). Main thread only.
class LoopbackRedirectListener : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackRedirectListener(QObject* parent = nullptr);
    ~LoopbackRedirectListener() override;

    // True for an http URL whose host is 127.0.0.1, [::1] or localhost.
    static bool isLoopbackRedirectURI(const QUrl& uri);

    // Listens on the URI's port (0: any free port). Returns the URI with the bound port, or an
    // empty URL when the port cannot be bound.
    QUrl listen(const QUrl& redirectURI, std::function<void(const QUrl&)> onRedirect);
    void stop();
    bool isListening() const;

private:
    void readRequest(QTcpSocket* socket);

    QTcpServer* server_ = nullptr;
    QUrl redirectURI_;
    std::function<void(const QUrl&)> onRedirect_;
};

} // namespace airlark
