#include "ftp/FTPServer.h"

namespace airlark {

std::shared_ptr<FTPServer> FTPServer::serverWithDestination(const QString& destination,
                                                            const QString& username, const QString& password)
{
    auto server = std::make_shared<FTPServer>();
    server->setDestination(destination);
    server->setUsername(username);
    server->setPassword(password);
    return server;
}

std::shared_ptr<FTPServer> FTPServer::anonymousServerWithDestination(const QString& destination)
{
    return serverWithDestination(destination, QStringLiteral("anonymous"), QString());
}

std::optional<QString> FTPServer::destination() const
{
    std::lock_guard lock(mutex_);
    return destination_;
}

void FTPServer::setDestination(std::optional<QString> destination)
{
    std::lock_guard lock(mutex_);
    destination_ = std::move(destination);
}

std::optional<QString> FTPServer::username() const
{
    std::lock_guard lock(mutex_);
    return username_;
}

void FTPServer::setUsername(std::optional<QString> username)
{
    std::lock_guard lock(mutex_);
    username_ = std::move(username);
}

std::optional<QString> FTPServer::password() const
{
    std::lock_guard lock(mutex_);
    return password_;
}

void FTPServer::setPassword(std::optional<QString> password)
{
    std::lock_guard lock(mutex_);
    password_ = std::move(password);
}

qint32 FTPServer::port() const
{
    std::lock_guard lock(mutex_);
    return port_;
}

void FTPServer::setPort(qint32 port)
{
    std::lock_guard lock(mutex_);
    port_ = port;
}

FTPSecurity FTPServer::security() const
{
    std::lock_guard lock(mutex_);
    return security_;
}

void FTPServer::setSecurity(FTPSecurity security)
{
    std::lock_guard lock(mutex_);
    security_ = security;
}

} // namespace airlark
