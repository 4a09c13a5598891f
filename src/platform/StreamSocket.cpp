#include "platform/StreamSocket.h"

#include <QSocketNotifier>
#include <QtDebug>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace airlark {

namespace {

// What one wake-up reads at most: a peer that keeps sending is looked at between reads, so its
// reader can hang up before it has buffered much.
constexpr qsizetype ReadSize = 16 * 1024;

bool isTransient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool localAddress(const QByteArray& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    // The path and its terminating NUL.
    if (path.isEmpty() || path.size() + 1 > qsizetype(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

} // namespace

qint64 sendSome(int descriptor, const char* data, qint64 size)
{
    return ::send(descriptor, data, size_t(size), MSG_NOSIGNAL);
}

bool waitForSocket(int descriptor, short events, const QDeadlineTimer& deadline)
{
    pollfd entry{descriptor, events, 0};
    for (;;) {
        const int wait =
            deadline.isForever() ? -1 : int(std::clamp<qint64>(deadline.remainingTime(), 0, INT_MAX));
        // Readiness includes a hang-up or an error: the next call on the socket tells which.
        const int ready = ::poll(&entry, 1, wait);
        if (ready >= 0)
            return ready > 0;
        if (errno != EINTR)
            return false;
    }
}

int connectLocal(const QByteArray& path, const QDeadlineTimer& deadline)
{
    sockaddr_un address;
    if (!localAddress(path, address))
        return -1;
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return -1;
    for (;;) {
        if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return descriptor;
        if (errno == EINTR)
            continue;
        // A full backlog: someone listens but has not taken the earlier connections yet.
        if (errno != EAGAIN || deadline.hasExpired())
            break;
        ::poll(nullptr, 0, 10);
    }
    ::close(descriptor);
    return -1;
}

StreamConnection::StreamConnection(int descriptor, QObject* parent)
    : QObject(parent), descriptor_(descriptor),
      reader_(new QSocketNotifier(qintptr(descriptor), QSocketNotifier::Read, this))
{
    connect(reader_, &QSocketNotifier::activated, this, &StreamConnection::readAvailable);
}

StreamConnection::~StreamConnection()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

void StreamConnection::readAvailable()
{
    char buffer[ReadSize];
    const ssize_t count = ::recv(descriptor_, buffer, sizeof buffer, 0);
    if (count > 0) {
        received_.append(buffer, count);
        emit readyRead();
    } else if (count == 0 || !isTransient(errno)) {
        abort(); // the peer hung up, possibly in the middle of its request
    }
}

void StreamConnection::sendAndClose(const QByteArray& answer)
{
    if (descriptor_ < 0)
        return;
    reader_->setEnabled(false);
    unsent_ += answer;
    writePending();
}

void StreamConnection::writePending()
{
    while (!unsent_.isEmpty()) {
        const qint64 sent = sendSome(descriptor_, unsent_.constData(), unsent_.size());
        if (sent >= 0) {
            unsent_.remove(0, sent);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            break; // the peer is gone: nobody to send the rest to
        if (!writer_) {
            writer_ = new QSocketNotifier(qintptr(descriptor_), QSocketNotifier::Write, this);
            connect(writer_, &QSocketNotifier::activated, this, &StreamConnection::writePending);
        }
        return;
    }
    abort();
}

void StreamConnection::abort()
{
    if (descriptor_ < 0)
        return;
    // The notifiers may be the ones calling: they are switched off here and go with the connection.
    reader_->setEnabled(false);
    if (writer_)
        writer_->setEnabled(false);
    ::close(descriptor_);
    descriptor_ = -1;
    unsent_.clear();
    emit closed();
}

StreamListener::~StreamListener()
{
    close();
}

bool StreamListener::listenLocal(const QByteArray& path, int backlog)
{
    close();
    sockaddr_un address;
    if (!localAddress(path, address)) {
        error_ = qt_error_string(ENAMETOOLONG);
        return false;
    }
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Linux gives the socket's file the mode of the socket itself: set before bind(), it is
    // owner-only from its first moment, with no window in which another user could connect.
    if (descriptor < 0 || ::fchmod(descriptor, S_IRUSR | S_IWUSR) != 0 ||
        ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error_ = qt_error_string(errno);
        if (descriptor >= 0)
            ::close(descriptor);
        return false;
    }
    localPath_ = path;
    return finishListening(descriptor, backlog);
}

bool StreamListener::listenLoopback(bool ipv6, quint16 port, int backlog)
{
    close();
    sockaddr_in address4{};
    sockaddr_in6 address6{};
    address4.sin_family = AF_INET;
    address4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address4.sin_port = htons(port);
    address6.sin6_family = AF_INET6;
    address6.sin6_addr = in6addr_loopback;
    address6.sin6_port = htons(port);
    const auto* address =
        ipv6 ? reinterpret_cast<const sockaddr*>(&address6) : reinterpret_cast<const sockaddr*>(&address4);
    const socklen_t length = ipv6 ? sizeof address6 : sizeof address4;

    const int descriptor = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // The fixed port of a registered redirect must be free again right after the last sign-in's
    // connections closed; a port somebody listens on stays refused all the same.
    const int reuse = 1;
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    if (descriptor < 0 || ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        ::bind(descriptor, address, length) != 0 ||
        ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0) {
        error_ = qt_error_string(errno);
        if (descriptor >= 0)
            ::close(descriptor);
        return false;
    }
    port_ = ntohs(ipv6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                       : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    return finishListening(descriptor, backlog);
}

bool StreamListener::finishListening(int descriptor, int backlog)
{
    if (::listen(descriptor, backlog) != 0) {
        error_ = qt_error_string(errno);
        ::close(descriptor);
        if (!localPath_.isEmpty())
            ::unlink(localPath_.constData());
        localPath_.clear();
        port_ = 0;
        return false;
    }
    descriptor_ = descriptor;
    notifier_ = new QSocketNotifier(qintptr(descriptor), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StreamListener::acceptPending);
    error_.clear();
    return true;
}

void StreamListener::acceptPending()
{
    while (descriptor_ >= 0) {
        const int connection = ::accept4(descriptor_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection >= 0) {
            emit accepted(new StreamConnection(connection, this));
            continue;
        }
        // A connection its peer gave up while it waited is simply gone; the next may be fine.
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (!isTransient(errno))
            qWarning("Unable to accept a connection: %s", std::strerror(errno));
        return;
    }
}

void StreamListener::close()
{
    if (descriptor_ < 0)
        return;
    // Whoever calls may be running from the notifier: it is switched off now and deleted later.
    notifier_->setEnabled(false);
    notifier_->deleteLater();
    notifier_ = nullptr;
    ::close(descriptor_);
    descriptor_ = -1;
    if (!localPath_.isEmpty())
        ::unlink(localPath_.constData());
    localPath_.clear();
    port_ = 0;
}

} // namespace airlark
