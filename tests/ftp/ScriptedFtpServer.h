#pragma once

#include <QByteArray>
#include <QList>
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace airlark::test {

// A one-connection FTP server on loopback that plays a script: a greeting (after a delay; none
// when empty), then a reply per command verb. PASV opens a data port on which LIST sends a listing that
// never ends. It records every line the client sent, and whether anything came before the greeting.
class ScriptedFtpServer
{
public:
    struct Script
    {
        QByteArray greeting = "220 scripted";
        std::chrono::milliseconds greetingDelay{0};
        // Reply by verb; PASV opens the data port, and other verbs get 502.
        std::map<QByteArray, QByteArray> replies{{"USER", "331 password please"},
                                                 {"PASS", "230 logged in"},
                                                 {"PWD", "257 \"/\""},
                                                 {"CWD", "250 ok"},
                                                 {"TYPE", "200 ok"},
                                                 {"QUIT", "221 bye"}};
        QByteArray listingLine = "-rw-r--r-- 1 a b 1 Jan 01 2020 x.mp3\r\n";
    };

    explicit ScriptedFtpServer(Script script) : script_(std::move(script))
    {
        listener_ = listenOnLoopback(&port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedFtpServer()
    {
        ::shutdown(listener_, SHUT_RDWR);
        ::shutdown(dataListener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
        if (dataListener_ >= 0)
            ::close(dataListener_);
    }

    quint16 port() const { return port_; }
    // The verbs the client sent, in order ("USER", "PASS", ...).
    QList<QByteArray> verbs() const
    {
        std::lock_guard lock(mutex_);
        return verbs_;
    }
    bool sentBeforeGreeting() const { return sentBeforeGreeting_; }

private:
    static int listenOnLoopback(quint16* port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 4);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        *port = ntohs(address.sin_port);
        return fd;
    }

    void flood()
    {
        const int data = ::accept(dataListener_, nullptr, nullptr);
        if (data < 0)
            return;
        // Bounded all the same, so that a client that never stops reading ends the test.
        for (qint64 sent = 0; sent < qint64(1) << 31;) {
            const ssize_t count =
                ::send(data, script_.listingLine.constData(), script_.listingLine.size(), MSG_NOSIGNAL);
            if (count <= 0)
                break;
            sent += count;
        }
        ::close(data);
    }

    void serve()
    {
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0)
            return;
        timeval wait{10, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        std::this_thread::sleep_for(script_.greetingDelay);
        char probe = 0;
        sentBeforeGreeting_ = ::recv(connection, &probe, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
        if (!script_.greeting.isEmpty())
            send(connection, script_.greeting);
        QByteArray pending;
        char chunk[512];
        bool open = !script_.greeting.startsWith("421");
        while (open) {
            const ssize_t count = ::recv(connection, chunk, sizeof chunk, 0);
            if (count <= 0)
                break;
            pending.append(chunk, count);
            for (qsizetype end = pending.indexOf("\r\n"); end >= 0; end = pending.indexOf("\r\n")) {
                const QByteArray verb = pending.left(end).split(' ').first().toUpper();
                pending.remove(0, end + 2);
                {
                    std::lock_guard lock(mutex_);
                    verbs_.append(verb);
                }
                QByteArray answer = "502 not here";
                if (const auto it = script_.replies.find(verb); it != script_.replies.end()) {
                    answer = it->second;
                } else if (verb == "PASV") {
                    quint16 port = 0;
                    dataListener_ = listenOnLoopback(&port);
                    answer = "227 Entering Passive Mode (127,0,0,1," + QByteArray::number(port / 256) + "," +
                             QByteArray::number(port % 256) + ")";
                } else if (verb == "LIST") {
                    send(connection, "150 here it comes");
                    flood();
                    answer = "226 done";
                }
                send(connection, answer);
                open = verb != "QUIT" && !answer.startsWith("421");
            }
        }
        ::close(connection);
    }

    static void send(int connection, const QByteArray& line)
    {
        const QByteArray text = line + "\r\n";
        ::send(connection, text.constData(), text.size(), MSG_NOSIGNAL);
    }

    Script script_;
    int listener_ = -1;
    int dataListener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    QList<QByteArray> verbs_;
    std::atomic<bool> sentBeforeGreeting_{false};
};

} // namespace airlark::test
