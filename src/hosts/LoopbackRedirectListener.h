#pragma once

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace airlark {

// An HTTP listener on 127.0.0.1 that takes the browser's OAuth2 redirect to a loopback redirect
// URI (RFC 8252). Any page in the browser can reach it, so it trusts nothing it is sent:
// - a GET of the redirect path is handed to `judge`; the one it accepts gets the "you can close
//   this tab" page, ends the listener and is handed on once; any other gets 400 and the listener
//   keeps waiting, until MaximumBadAttempts of them end it through `onGiveUp`;
// - other paths (a favicon) get 404, other methods 405, and change nothing;
// - at most MaximumConnections are open at once, each for a few seconds.
// It also ends when a newer listener takes its port (the latest sign-in wins). Main thread only.
class LoopbackRedirectListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaximumBadAttempts = 5;
    static constexpr int MaximumConnections = 8;

    explicit LoopbackRedirectListener(QObject* parent = nullptr);
    ~LoopbackRedirectListener() override;

    // True for an http URL whose host is 127.0.0.1, [::1] or localhost.
    static bool isLoopbackRedirectURI(const QUrl& uri);

    struct Handlers
    {
        std::function<bool(const QUrl&)> judge;      // true: the redirect the sign-in waits for
        std::function<void(const QUrl&)> onRedirect; // the accepted redirect, after it was answered
        std::function<void()> onGiveUp;              // too many bad redirects
    };

    // Listens on the URI's port (0: any free port). Returns the URI with the bound port, or an
    // empty URL when the port cannot be bound.
    QUrl listen(const QUrl& redirectURI, Handlers handlers);
    void stop();
    bool isListening() const;

private:
    void accept();
    void readRequest(QTcpSocket* socket);

    QTcpServer* server_ = nullptr;
    QUrl redirectURI_;
    Handlers handlers_;
    int badAttempts_ = 0;
    std::shared_ptr<int> openConnections_ = std::make_shared<int>(0);
};

} // namespace airlark
