#include "app/SingleInstance.h"

#include "platform/ApplicationIdentity.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>
#include <QVariant>
#include <QtDebug>

namespace airlark {

namespace {

// One message per connection: the magic, then the list of URLs. The listener answers one byte.
constexpr quint32 MessageMagic = 0x41524c31; // "ARL1"
constexpr char Acknowledgement = 'K';
// A message is a handful of URLs; anything larger is not from Airlark and is cut off.
constexpr qint64 MaximumMessageSize = 256 * 1024;
constexpr auto DataStreamVersion = QDataStream::Qt_6_0;
constexpr auto ConnectionTimeout = std::chrono::seconds(10);

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent) : QObject(parent), socketPath_(std::move(socketPath))
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
    const QByteArray head = socket->peek(sizeof(MessageMagic));
    const bool foreign = head.size() == sizeof(MessageMagic) && qFromBigEndian<quint32>(head.constData()) != MessageMagic;
    if (foreign || socket->bytesAvailable() > MaximumMessageSize) {
        qWarning() << "Dropped a message that is not from Airlark";
        socket->abort();
        return;
    }
    QDataStream stream(socket);
    stream.setVersion(DataStreamVersion);
    stream.startTransaction();
    quint32 magic = 0;
    QStringList urls;
    stream >> magic >> urls;
    if (!stream.commitTransaction())
        return; // the rest has not arrived yet
    socket->setProperty("airlarkHandled", true);
    socket->write(&Acknowledgement, 1);
    socket->flush();
    socket->disconnectFromServer();
    emit activationRequested();
    for (const QString& url : std::as_const(urls))
        emit urlReceived(url);
}

bool SingleInstance::forward(const QString& socketPath, const QStringList& urls, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    const auto remaining = [&deadline] { return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)); };
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(remaining()))
        return false;

    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream.setVersion(DataStreamVersion);
    stream << MessageMagic << urls;
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
