#include "LibsynFtpServer.h"

#include <QDir>
#include <QFile>

namespace airlark::test {

bool LibsynFtpServer::start(int readLimitBytesPerSecond)
{
    server_.reset();
    FtpTestServer::Options options;
    options.security = FTPSecurity::ImplicitTLS;
    options.readLimit = readLimitBytesPerSecond;
    options.port = port_;
    server_ = std::make_unique<FtpTestServer>(options);
    if (!server_->isRunning())
        return false;
    port_ = server_->port();
    qputenv("AIRLARK_LIBSYN_FTP_HOST", "127.0.0.1");
    qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(port_));
    qputenv("AIRLARK_LIBSYN_FTP_SECURITY", "implicit");
    return true;
}

void LibsynFtpServer::kill()
{
    if (server_)
        server_->kill();
}

bool LibsynFtpServer::exists(const QString& relativePath) const
{
    return QFile::exists(server_->pathInHome(relativePath));
}

} // namespace airlark::test

namespace airlark::test {

bool LibsynFtpServer::removeDirectory(const QString& relativePath) const
{
    return QDir(server_->pathInHome(relativePath)).removeRecursively();
}

} // namespace airlark::test
