#pragma once

#include <QObject>
#include <QUrl>
#include <chrono>
#include <functional>
#include <list>
#include <memory>

namespace airlark {

class StreamConnection;
class StreamListener;

// An HTTP listener on 127.0.0.1 that takes the browser's OAuth2 redirect to a loopback redirect
// URI (RFC 8252). Any page in the browser can reach it, so it trusts nothing it is sent:
// - a GET of the redirect path is handed to `judge`; the one it accepts gets the "you can close
//   this tab" page, ends the listener and is handed on once; any other gets 400 and the listener
//   keeps waiting, however many come (only the user or the sign-in's time limit ends a sign-in);
// - other paths (a favicon) get 404, other methods 405, a malformed request 400, and change nothing;
// - a connection has RequestTimeout to send its request and take the answer; at most
//   MaximumConnections are open at once, and a new one takes the place of the oldest, so that
//   idle connections cannot keep the browser's redirect out.
// It also ends when a newer listener takes its port (the latest sign-in wins). Main thread only.
class LoopbackRedirectListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaximumConnections = 32;
    static constexpr std::chrono::milliseconds RequestTimeout = std::chrono::seconds(3);

    explicit LoopbackRedirectListener(QObject* parent = nullptr);
    ~LoopbackRedirectListener() override;

    // True for an http URL whose host is 127.0.0.1, [::1] or localhost.
    static bool isLoopbackRedirectURI(const QUrl& uri);

    struct Handlers
    {
        std::function<bool(const QUrl&)> judge;      // true: the redirect the sign-in waits for
        std::function<void(const QUrl&)> onRedirect; // the accepted redirect, after it was answered
    };

    // Listens on the URI's port (0: any free port). Returns the URI with the bound port, or an
    // empty URL when the port cannot be bound.
    QUrl listen(const QUrl& redirectURI, Handlers handlers);
    void stop();
    bool isListening() const;

private:
    void accept(StreamConnection* socket);
    void readRequest(StreamConnection* socket);

    StreamListener* server_ = nullptr;
    QUrl redirectURI_;
    Handlers handlers_;
    // Open connections, oldest first. Sockets outlive the listener (see accept()), so the list is
    // shared with their clean-up.
    std::shared_ptr<std::list<StreamConnection*>> open_ = std::make_shared<std::list<StreamConnection*>>();
};

} // namespace airlark
