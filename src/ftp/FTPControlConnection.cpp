#include "ftp/FTPControlConnection.h"

#include <QDebug>

#include <arpa/inet.h>
#include <cctype>
#include <memory>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace airlark {

namespace {

// A reply longer than this is not an FTP server talking.
constexpr qsizetype MaximumReplyBytes = 1024 * 1024;

struct AddressListDeleter { void operator()(addrinfo* list) const { freeaddrinfo(list); } };

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool connectWithin(int fd, const sockaddr* address, socklen_t length, std::chrono::milliseconds timeout)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int result = ::connect(fd, address, length);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd poller{fd, POLLOUT, 0};
        result = -1;
        if (::poll(&poller, 1, static_cast<int>(timeout.count())) == 1) {
            int error = 0;
            socklen_t size = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0)
                result = 0;
        }
    }
    fcntl(fd, F_SETFL, flags);
    return result == 0;
}

} // namespace

FTPControlConnection::~FTPControlConnection()
{
    close();
}

bool FTPControlConnection::connectToHost(const QByteArray& host, qint32 port, std::chrono::milliseconds timeout)
{
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(port);
    if (getaddrinfo(host.constData(), service.constData(), &hints, &found) != 0 || !found) {
        qWarning("host error!");
        return false;
    }
    std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);
    bool opened = false;
    for (addrinfo* address = addresses.get(); address; address = address->ai_next) {
        const int fd = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (fd < 0)
            continue;
        opened = true;
        if (connectWithin(fd, address->ai_addr, address->ai_addrlen, timeout)) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
    qWarning(opened ? "error connecting." : "could not open socket!");
    return false;
}

bool FTPControlConnection::sendAll(const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t sent = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

QByteArray FTPControlConnection::readUntilClosed(std::chrono::milliseconds timeout, bool* complete)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QByteArray text;
    char chunk[256];
    *complete = false;
    while (text.size() < MaximumReplyBytes) {
        pollfd poller{fd_, POLLIN, 0};
        const int ready = ::poll(&poller, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            qWarning(ready == 0 ? "Error reading from socket! (the server did not answer in time)"
                                : "Error reading from socket!");
            return text;
        }
        const ssize_t received = ::recv(fd_, chunk, sizeof chunk, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0) {
            qWarning("Error reading from socket!");
            return text;
        }
        if (received == 0) {
            *complete = true;
            return text;
        }
        text.append(chunk, received);
    }
    qWarning("Error reading from socket! (reply too long)");
    return text;
}

void FTPControlConnection::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::vector<int> ftpReplyCodes(const QByteArray& text)
{
    std::vector<int> codes;
    int openMultiline = 0;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const bool hasCode = line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0]))
            && std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2]))
            && (line.size() == 3 || line[3] == ' ' || line[3] == '-');
        if (!hasCode)
            continue;
        const int code = line.left(3).toInt();
        const bool continues = line.size() > 3 && line[3] == '-';
        if (openMultiline) {
            if (code == openMultiline && !continues) {
                codes.push_back(code);
                openMultiline = 0;
            }
            continue;
        }
        if (continues)
            openMultiline = code;
        else
            codes.push_back(code);
    }
    return codes;
}

} // namespace airlark
