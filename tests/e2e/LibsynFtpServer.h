#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace airlark::test {

// Libsyn's FTP server for the end-to-end tests: pyftpdlib on 127.0.0.1, serving a temporary home
// folder to one log-in (an e-mail address, as on Libsyn). Airlark reads Libsyn's server address
// once per process, so one server serves a whole test process and can come back on its port after
// a test has killed it. Airlark is pointed at it through AIRLARK_LIBSYN_FTP_HOST/PORT.
class LibsynFtpServer
{
public:
    static inline const QString Email = QStringLiteral("host@example.com");
    static inline const QString Password = QStringLiteral("ftp pass word");

    LibsynFtpServer();
    ~LibsynFtpServer();
    LibsynFtpServer(const LibsynFtpServer&) = delete;
    LibsynFtpServer& operator=(const LibsynFtpServer&) = delete;

    // Starts the server on its port (a free one the first time) and points Airlark at it; with a
    // read limit, uploads arrive at that many bytes per second.
    bool start(int readLimitBytesPerSecond = 0);
    bool isRunning() const;
    // Kills the server at once, in the middle of whatever it does.
    void kill();
    quint16 port() const { return port_; }

    QString homePath() const { return home_.path(); }
    bool makeDirectory(const QString& relativePath) const;
    QByteArray fileContents(const QString& relativePath) const;
    bool exists(const QString& relativePath) const;

private:
    QTemporaryDir home_;
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
};

} // namespace airlark::test
