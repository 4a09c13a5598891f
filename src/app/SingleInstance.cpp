#include "app/SingleInstance.h"

#include "platform/ApplicationIdentity.h"
#include "platform/StreamSocket.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>
#include <QtDebug>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace airlark {

namespace {

// One message per connection: a header line, each URL as one line of ':' and Base64 (so any
// text, the empty one too, survives exactly), and an empty line. The listener answers one byte.
const QByteArray MessageHeader = QByteArrayLiteral("AIRLARK/1\n");
constexpr char Acknowledgement = 'K';
// A message is a handful of URLs; anything larger is not from Airlark and is cut off.
constexpr qint64 MaximumMessageSize = 256 * 1024;
constexpr auto ConnectionTimeout = std::chrono::seconds(10);

QByteArray encodeMessage(const QStringList& urls)
{
    QByteArray message = MessageHeader;
    for (const QString& url : urls)
        message += ':' + url.toUtf8().toBase64() + '\n';
    return message + '\n';
}

enum class Received
{
    Incomplete,
    Complete,
    Foreign
};

// Looks at what has arrived so far; on Complete, `urls` holds the URLs.
Received inspectMessage(const QByteArray& data, QStringList& urls)
{
    if (!data.startsWith(MessageHeader))
        return MessageHeader.startsWith(data) ? Received::Incomplete : Received::Foreign;
    const qsizetype end = data.indexOf("\n\n", MessageHeader.size() - 1);
    if (end < 0)
        return data.size() > MaximumMessageSize ? Received::Foreign : Received::Incomplete;
    urls.clear();
    const QByteArray body = data.mid(MessageHeader.size(), end + 1 - MessageHeader.size());
    for (const QByteArray& line : body.split('\n')) {
        if (line.isEmpty())
            continue;
        if (!line.startsWith(':'))
            return Received::Foreign;
        const auto decoded =
            QByteArray::fromBase64Encoding(line.mid(1), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return Received::Foreign;
        urls.append(QString::fromUtf8(*decoded));
    }
    return Received::Complete;
}

// A socket path as the system takes it. One too long for a socket address (the runtime folder can
// be anywhere) is reached through /proc/self/fd/N, N being `folder` opened for the purpose: the
// socket stays in its folder with the folder's permissions. `folder` is -1 when the path fits, and
// is to be closed by the caller once the path is no longer used.
QString reachablePath(const QString& socketPath, int& folder)
{
    folder = -1;
    // The path and its terminating NUL.
    if (QFile::encodeName(socketPath).size() + 1 <= qsizetype(sizeof(sockaddr_un::sun_path)))
        return socketPath;
    const QFileInfo file(socketPath);
    folder = ::open(QFile::encodeName(file.absolutePath()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return socketPath; // fails as it would have, with the system's reason
    return QStringLiteral("/proc/self/fd/%1/").arg(folder) + file.fileName();
}

void closeFolder(int& folder)
{
    if (folder >= 0)
        ::close(folder);
    folder = -1;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath))
{
}

SingleInstance::~SingleInstance()
{
    // The server removes its socket through the folder's alias, so it goes first.
    delete server_;
    closeFolder(serverFolder_);
}

QString SingleInstance::defaultSocketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') +
           applicationIdentifier() + QStringLiteral(".socket");
}

bool SingleInstance::isListening() const
{
    return server_ && server_->isListening();
}

SingleInstance::Start SingleInstance::start(const QStringList& urls, std::chrono::milliseconds timeout)
{
    if (forward(socketPath_, urls, timeout))
        return Start::Forwarded;
    if (listen())
        return Start::Primary;
    // Another instance may have started listening just now; otherwise the socket is left over
    // from an instance that ended without removing it.
    if (forward(socketPath_, urls, timeout))
        return Start::Forwarded;
    {
        int folder = -1;
        ::unlink(QFile::encodeName(reachablePath(socketPath_, folder)).constData());
        closeFolder(folder);
    }
    if (listen())
        return Start::Primary;
    problem_ = tr("This Airlark window cannot reach another Airlark, nor be reached by one (%1: %2). A "
                  "SoundCloud sign-in finished in the browser now may not reach the window that started "
                  "it: sign in from this window.")
                   .arg(socketPath_, server_ ? server_->errorString() : QString());
    if (!urls.isEmpty())
        problem_ += QLatin1Char(' ') + tr("The address this window was opened with was not handed on.");
    return Start::Failed;
}

bool SingleInstance::listen()
{
    if (!server_) {
        server_ = new StreamListener(this);
        connect(server_, &StreamListener::accepted, this, &SingleInstance::accept);
    }
    closeFolder(serverFolder_);
    return server_->listenLocal(QFile::encodeName(reachablePath(socketPath_, serverFolder_)), 8);
}

void SingleInstance::accept(StreamConnection* connection)
{
    connect(connection, &StreamConnection::closed, connection, &QObject::deleteLater);
    // A peer that never finishes its message must not hold the connection open.
    QTimer::singleShot(ConnectionTimeout, connection, &StreamConnection::abort);
    connect(connection, &StreamConnection::readyRead, this, [this, connection] { readFrom(connection); });
}

void SingleInstance::readFrom(StreamConnection* connection)
{
    QStringList urls;
    switch (inspectMessage(connection->received().left(MaximumMessageSize + 1), urls)) {
    case Received::Incomplete:
        return;
    case Received::Foreign:
        qWarning() << "Dropped a message that is not from Airlark";
        connection->abort();
        return;
    case Received::Complete:
        break;
    }
    // Nothing is read after the answer, so a message is handled once.
    connection->sendAndClose(QByteArray(1, Acknowledgement));
    emit activationRequested();
    for (const QString& url : std::as_const(urls))
        emit urlReceived(url);
}

bool SingleInstance::forward(const QString& socketPath, const QStringList& urls,
                             std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    int folder = -1;
    const int socket = connectLocal(QFile::encodeName(reachablePath(socketPath, folder)), deadline);
    closeFolder(folder);
    if (socket < 0)
        return false;
    const auto closeSocket = qScopeGuard([socket] { ::close(socket); });

    const QByteArray message = encodeMessage(urls);
    if (message.size() > MaximumMessageSize)
        return false;
    for (qsizetype sent = 0; sent < message.size();) {
        const qint64 count = sendSome(socket, message.constData() + sent, message.size() - sent);
        if (count >= 0)
            sent += count;
        else if (errno != EINTR && !(errno == EAGAIN && waitForSocket(socket, POLLOUT, deadline)))
            return false;
    }
    // The URLs count as delivered only once the running instance says it took them.
    for (;;) {
        char answer = 0;
        const ssize_t count = ::recv(socket, &answer, 1, 0);
        if (count == 1)
            return answer == Acknowledgement;
        if (count == 0 || (errno != EINTR && !(errno == EAGAIN && waitForSocket(socket, POLLIN, deadline))))
            return false;
    }
}

} // namespace airlark
