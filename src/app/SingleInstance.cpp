#include "app/SingleInstance.h"

#include "platform/ApplicationIdentity.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QVariant>
#include <QtDebug>

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

// Looks at what has arrived so far; on Complete, `urls` holds the URLs and `length` the message size.
Received inspectMessage(const QByteArray& data, QStringList& urls, qsizetype& length)
{
    if (!data.startsWith(MessageHeader))
        return MessageHeader.startsWith(data) ? Received::Incomplete : Received::Foreign;
    const qsizetype end = data.indexOf("\n\n", MessageHeader.size() - 1);
    if (end < 0)
        return data.size() > MaximumMessageSize ? Received::Foreign : Received::Incomplete;
    length = end + 2;
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

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath))
{
}

SingleInstance::~SingleInstance() = default;

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
    QLocalServer::removeServer(socketPath_);
    if (listen())
        return Start::Primary;
    qWarning().noquote() << "Cannot listen for other Airlark instances on" << socketPath_ << ":"
                         << (server_ ? server_->errorString() : QString());
    return Start::Failed;
}

bool SingleInstance::listen()
{
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        server_->setMaxPendingConnections(8);
        connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    }
    return server_->listen(socketPath_);
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that never finishes its message must not hold the connection open.
        QTimer::singleShot(ConnectionTimeout, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket)
{
    if (socket->property("airlarkHandled").toBool())
        return;
    QStringList urls;
    qsizetype length = 0;
    switch (inspectMessage(socket->peek(MaximumMessageSize + 1), urls, length)) {
    case Received::Incomplete:
        return;
    case Received::Foreign:
        qWarning() << "Dropped a message that is not from Airlark";
        socket->abort();
        return;
    case Received::Complete:
        break;
    }
    socket->read(length);
    socket->setProperty("airlarkHandled", true);
    socket->write(&Acknowledgement, 1);
    socket->flush();
    socket->disconnectFromServer();
    emit activationRequested();
    for (const QString& url : std::as_const(urls))
        emit urlReceived(url);
}

bool SingleInstance::forward(const QString& socketPath, const QStringList& urls,
                             std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    const auto remaining = [&deadline] {
        return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0));
    };
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(remaining()))
        return false;

    const QByteArray message = encodeMessage(urls);
    if (message.size() > MaximumMessageSize)
        return false;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining()))
            return false;
    }
    // The URLs count as delivered only once the running instance says it took them.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remaining()))
            return false;
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == Acknowledgement;
}

} // namespace airlark
