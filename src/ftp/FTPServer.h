#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace airlark {

// Where and as whom to connect for FTP. A plain record shared between the screen that builds it
// and the thread that uses it, so every property is read and written under a lock.
class FTPServer
{
public:
    static constexpr qint32 DefaultPort = 21;

    FTPServer() = default;
    FTPServer(const FTPServer&) = delete;
    FTPServer& operator=(const FTPServer&) = delete;

    // A record with the three strings set and the default port.
    static std::shared_ptr<FTPServer> serverWithDestination(const QString& destination,
                                                            const QString& username,
                                                            const QString& password);
    // A record for anonymous log-in: user "anonymous", empty password, default port.
    static std::shared_ptr<FTPServer> anonymousServerWithDestination(const QString& destination);

    // Host, optionally followed by "/" and a directory path; a leading "ftp://" is ignored.
    std::optional<QString> destination() const;
    void setDestination(std::optional<QString> destination);

    std::optional<QString> username() const;
    void setUsername(std::optional<QString> username);

    std::optional<QString> password() const;
    void setPassword(std::optional<QString> password);

    qint32 port() const;
    void setPort(qint32 port);

private:
    mutable std::mutex mutex_;
    std::optional<QString> destination_;
    std::optional<QString> username_;
    std::optional<QString> password_;
    qint32 port_ = DefaultPort;
};

} // namespace airlark
