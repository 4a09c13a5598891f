#pragma once

#include "support/FtpTestServer.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace airlark::test {

// Libsyn's FTP server for the end-to-end tests: the shared FTP test server over implicit TLS, as
// Libsyn's own default is, on 127.0.0.1. Airlark reads Libsyn's server address once per process,
// so one server serves a whole test process and can come back on its port after a test has killed
// it. Airlark is pointed at it through AIRLARK_LIBSYN_FTP_HOST/PORT/SECURITY.
class LibsynFtpServer
{
public:
    static inline const QString& Email = FtpTestServer::LocalUser;
    static inline const QString& Password = FtpTestServer::LocalPassword;

    // Starts the server on its port (a free one the first time) with an empty home folder, and
    // points Airlark at it; with a read limit, uploads arrive at that many bytes per second.
    bool start(int readLimitBytesPerSecond = 0);
    bool isRunning() const { return server_ && server_->isRunning(); }
    // Kills the server at once, in the middle of whatever it does.
    void kill();
    quint16 port() const { return port_; }

    bool makeDirectory(const QString& relativePath) const { return server_->makeDirectory(relativePath); }
    QByteArray fileContents(const QString& relativePath) const { return server_->fileContents(relativePath); }
    bool exists(const QString& relativePath) const;
    bool removeDirectory(const QString& relativePath) const;

private:
    std::unique_ptr<FtpTestServer> server_;
    quint16 port_ = 0;
};

} // namespace airlark::test
