#pragma once

#include <QString>
#include <memory>
#include <mutex>
#include <optional>

namespace airlark {

// How the conversation with the server is protected. With TLS, the data connections (uploads,
// listings, downloads) are encrypted as well, and the server's certificate must verify against
// the system's CA store (or the CA file the environment names in AIRLARK_FTP_CA_FILE, for tests)
// and name the host connected to.
enum class FTPSecurity
{
    None,        // plain FTP: the password and the data cross the network in clear
    ImplicitTLS, // TLS from the first byte ("ftps://", usually port 990)
    ExplicitTLS, // a plain connection that asks for TLS ("AUTH TLS") before the log-in
};

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
                                                            const QString& username, const QString& password);
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

    // None unless set.
    FTPSecurity security() const;
    void setSecurity(FTPSecurity security);

private:
    mutable std::mutex mutex_;
    std::optional<QString> destination_;
    std::optional<QString> username_;
    std::optional<QString> password_;
    qint32 port_ = DefaultPort;
    FTPSecurity security_ = FTPSecurity::None;
};

} // namespace airlark
