#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>

class QLocalServer;
class QLocalSocket;

namespace airlark {

// Keeps Airlark to one running instance per user session, so that the "airlark" URL a browser
// hands to a new `airlark URL` process reaches the instance whose sign-in is waiting for it.
//
// The first instance listens on a local socket in the user's runtime directory; a later one
// connects, sends its URLs (possibly none, which just asks the first to come to the front), waits
// for the first to confirm it took them, and exits.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Start
    {
        Primary,   // no instance was running: this one now listens
        Forwarded, // another instance runs and took the URLs: exit now
        Failed,    // neither; carry on without forwarding (the reason is logged)
    };

    // `socketPath` defaults to defaultSocketPath().
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/<application identifier>.socket (Qt's runtime location when unset).
    static QString defaultSocketPath();

    // Hands `urls` to a running instance, or becomes the running instance. Blocks for at most
    // `timeout` while talking to another instance; call before the event loop runs.
    Start start(const QStringList& urls, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    const QString& socketPath() const { return socketPath_; }
    bool isListening() const;

    // Sends `urls` to the instance listening on `socketPath` and waits for its confirmation.
    static bool forward(const QString& socketPath, const QStringList& urls,
                        std::chrono::milliseconds timeout);

signals:
    // Another process asked this instance to come to the front.
    void activationRequested();
    // A URL another process handed over, exactly as it received it.
    void urlReceived(const QString& url);

private:
    bool listen();
    void acceptConnections();
    void readFrom(QLocalSocket* socket);

    QString socketPath_;
    QLocalServer* server_ = nullptr;
};

} // namespace airlark
