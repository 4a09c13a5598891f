#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace airlark {

// The two small servers Airlark runs (the single-instance channel and the sign-in's loopback
// listener) need little of a network library: accept a connection, gather a short request, send a
// short answer, hang up. These are plain non-blocking sockets on the main thread's event loop, so
// that the program does not load a network stack (and the Kerberos and proxy libraries that come
// with it) at every start for two local conversations.

// One accepted connection. It reads what arrives into received() and says so with readyRead();
// closed() comes once, however it ends (the peer hung up, an error, abort(), or the answer was
// sent). Main thread only.
class StreamConnection : public QObject
{
    Q_OBJECT
public:
    // Takes over `descriptor`, a connected non-blocking socket.
    explicit StreamConnection(int descriptor, QObject* parent = nullptr);
    ~StreamConnection() override;

    // What arrived and was not consumed yet.
    const QByteArray& received() const { return received_; }
    void consume(qsizetype length) { received_.remove(0, length); }
    bool isOpen() const { return descriptor_ >= 0; }

    // Sends `answer` (as much as the peer takes) and hangs up once it is sent; nothing is read
    // any more.
    void sendAndClose(const QByteArray& answer);
    // Hangs up at once, dropping whatever is not sent.
    void abort();

signals:
    void readyRead();
    void closed();

private:
    void readAvailable();
    void writePending();

    int descriptor_;
    QSocketNotifier* reader_;
    QSocketNotifier* writer_ = nullptr;
    QByteArray received_;
    QByteArray unsent_;
};

// A listening socket: a Unix-domain one at a path only its user may connect to, or a loopback TCP
// one. Each connection it accepts is announced with accepted(), as a child of the listener; the
// receiver may take it elsewhere. Main thread only.
class StreamListener : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~StreamListener() override;

    // Listens at `path`, which must not exist yet; the socket file is made for its owner only and
    // removed again by close().
    bool listenLocal(const QByteArray& path, int backlog);
    // Listens on 127.0.0.1 (or ::1) at `port`, 0 for any free one.
    bool listenLoopback(bool ipv6, quint16 port, int backlog);
    void close();

    bool isListening() const { return descriptor_ >= 0; }
    quint16 port() const { return port_; }
    // Why the last listen failed, in the system's words.
    const QString& errorString() const { return error_; }

signals:
    void accepted(airlark::StreamConnection* connection);

private:
    bool finishListening(int descriptor, int backlog);
    void acceptPending();

    int descriptor_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QByteArray localPath_;
    quint16 port_ = 0;
    QString error_;
};

// Connects to the Unix-domain socket at `path`, waiting at most until `deadline` while its listener
// is too busy to take the connection. Returns a non-blocking descriptor for the caller to close,
// or -1 when nobody listens there.
int connectLocal(const QByteArray& path, const QDeadlineTimer& deadline);

// Waits until `descriptor` is ready for `events` (poll() events) or `deadline` passes.
bool waitForSocket(int descriptor, short events, const QDeadlineTimer& deadline);

// Like send(), but never raises SIGPIPE at a peer that hung up: the caller sees EPIPE instead.
qint64 sendSome(int descriptor, const char* data, qint64 size);

} // namespace airlark
