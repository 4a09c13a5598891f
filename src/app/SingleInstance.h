#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>

namespace airlark {

class StreamConnection;
class StreamListener;

// Keeps Airlark to one running instance per user session, so that the "airlark" URL a browser
// hands to a new `airlark URL` process reaches the instance whose sign-in is waiting for it.
//
// The first instance listens on a local socket in the user's runtime directory (only its user may
// connect); a later one connects, sends its URLs (possibly none, which just asks the first to come
// to the front), waits for the first to confirm it took them, and exits. A socket path too long
// for the system's socket addresses is reached through a short alias of its folder, so the runtime
// directory may be anywhere.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Start
    {
        Primary,   // no instance was running: this one now listens
        Forwarded, // another instance runs and took the URLs: exit now
        Failed,    // neither; carry on alone: problem() says why, in the user's words
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
    // After Failed: that this window is on its own and what a browser's sign-in link now does.
    const QString& problem() const { return problem_; }

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
    void accept(StreamConnection* connection);
    void readFrom(StreamConnection* connection);

    QString socketPath_;
    StreamListener* server_ = nullptr;
    // The folder of a socket path too long to use as it is, open for as long as the server listens
    // through its alias (-1: none).
    int serverFolder_ = -1;
    QString problem_;
};

} // namespace airlark
