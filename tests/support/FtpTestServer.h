#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace airlark::test {

// A real FTP server (pyftpdlib) on 127.0.0.1 and a free port, serving a temporary home folder to
// one test user. Started by the constructor; check isRunning(). Stopped by the destructor.
//
//   FtpTestServer server;
//   ASSERT_TRUE(server.isRunning());
//   auto record = FTPServer::serverWithDestination(server.destination("dir"), server.user(), server.password());
//   record->setPort(server.port());
class FtpTestServer
{
public:
    struct Options
    {
        QString user = QStringLiteral("podcaster");
        QString password = QStringLiteral("s3cret pass");
        // Refuse (552, after the data) every upload that takes the home folder above this many bytes.
        qint64 quotaBytes = -1;
        // Answer every completed upload with this reply code (e.g. 553) instead of 226.
        int refuseUploadsWithCode = 0;
        std::chrono::milliseconds startTimeout = std::chrono::seconds(15);
    };

    FtpTestServer();
    explicit FtpTestServer(Options options);
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool isRunning() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString user() const { return options_.user; }
    QString password() const { return options_.password; }
    // The served folder on the local disk; the FTP root "/" is this folder.
    QString homePath() const;
    // "127.0.0.1" or "127.0.0.1/<directory>", ready for an FTP server record (set its port too).
    QString destination(const QString& directory = QString()) const;
    // Creates a folder (and its parents) below the home folder.
    bool makeDirectory(const QString& relativePath) const;
    QString pathInHome(const QString& relativePath) const;
    QByteArray fileContents(const QString& relativePath) const;

    // Stops the server in an orderly way.
    void stop();
    // Kills the server at once (SIGKILL), e.g. in the middle of a transfer. Safe from any thread.
    void kill();

private:
    Options options_;
    QTemporaryDir home_;
    std::unique_ptr<QProcess> process_;
    qint64 pid_ = 0;
    quint16 port_ = 0;
};

// A TCP server on 127.0.0.1 whose connections are accepted and never answered.
class SilentTcpServer
{
public:
    SilentTcpServer();
    quint16 port() const;
    bool isListening() const;
    // Whether a client connected (waiting up to `waitMs` for one).
    bool receivedConnection(int waitMs);

private:
    QTcpServer server_;
};

} // namespace airlark::test
