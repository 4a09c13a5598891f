#pragma once

#include "ftp/FTPServer.h"
#include "support/Mp3Fixtures.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

namespace airlark::test {

// A real FTP server on 127.0.0.1 serving a temporary home folder to one user. Started by the
// constructor; check isRunning(). Stopped by the destructor.
//
// Plain FTP is pyftpdlib (which can refuse uploads after the data and throttle them), or a script
// played to one connection for replies no real server gives. With TLS it is vsftpd, run as root with a local
// user it creates once ("airlark-ftp-test"), whose certificate a throw-away CA of the test process signs;
// AIRLARK_FTP_CA_FILE names that CA for the whole process, so clients trust it and nothing else beside the
// system's store.
//
//   FtpTestServer server;
//   ASSERT_TRUE(server.isRunning());
//   auto record = server.record("dir");
class FtpTestServer
{
public:
    enum class Certificate
    {
        Trusted,       // signed by the process's CA, for 127.0.0.1 and localhost
        UnknownIssuer, // signed by a CA that nobody trusts
        OtherHostName, // signed by the process's CA, for another host name
    };

    // vsftpd's one user.
    static inline const QString LocalUser = QStringLiteral("airlark-ftp-test");
    static inline const QString LocalPassword = QStringLiteral("tls pass word");

    struct Options
    {
        QString user = QStringLiteral("podcaster");
        QString password = QStringLiteral("s3cret pass");
        // Refuse (552, after the data) every upload that takes the home folder above this many bytes.
        qint64 quotaBytes = -1;
        // Answer every completed upload with this reply code (e.g. 553) instead of 226.
        int refuseUploadsWithCode = 0;
        // Bytes per second an upload may arrive at (0: no limit).
        int readLimit = 0;
        // Keep only this many bytes of each stored file and answer 226 all the same (-1: keep them
        // all); pyftpdlib, or a script with TLS.
        qint64 keepBytes = -1;
        // Wait this long before each greeting (the whole server waits); pyftpdlib only.
        int greetingDelayMs = 0;
        // Listen on this port (0: a free one), e.g. to come back on the port of an earlier server.
        quint16 port = 0;
        // Anything but None runs vsftpd (with Debian's TLS settings: the data connections must
        // reuse the log-in's TLS session), which then requires TLS for the log-in and the data;
        // a script offers explicit TLS (AUTH TLS) instead.
        FTPSecurity security = FTPSecurity::None;
        // vsftpd without TLS, or with TLS offered but not required (plain log-ins accepted too).
        bool vsftpd = false;
        bool tlsOptional = false;
        Certificate certificate = Certificate::Trusted;
        // Not empty: no files are served; one connection gets "greeting" (none when empty) after
        // "delayMs", then "replies" by verb (USER, PASS, PWD, CWD, TYPE and QUIT succeed unless told
        // otherwise, PASV opens a data port on which LIST sends "listing" lines without end, the rest
        // get 502).
        QJsonObject script;
    };

    FtpTestServer();
    explicit FtpTestServer(Options options);
    ~FtpTestServer() { stop(); }
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool isRunning() const { return process_ && process_->state() == QProcess::Running && port_ != 0; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString user() const { return options_.vsftpd ? LocalUser : options_.user; }
    QString password() const { return options_.vsftpd ? LocalPassword : options_.password; }
    FTPSecurity security() const { return options_.security; }
    // A record for this server's user, port and security.
    std::shared_ptr<FTPServer> record(const QString& directory = QString()) const;
    // Creates a folder (and its parents) below the home folder.
    bool makeDirectory(const QString& relativePath) const;
    QString pathInHome(const QString& relativePath) const { return home_.filePath(relativePath); }
    QByteArray fileContents(const QString& relativePath) const { return readFile(pathInHome(relativePath)); }
    // What vsftpd logged of the conversations: every command ("PASS <password>" masked) and reply.
    QByteArray protocolLog() const { return readFile(work_.filePath(QStringLiteral("log"))); }
    // What a scripted server heard: each verb in turn, with "early" first if the client spoke
    // before the greeting.
    QByteArrayList conversation() const;

    // Stops the server in an orderly way.
    void stop();
    // Kills the server and every session it runs at once (SIGKILL), e.g. in the middle of a
    // transfer. Safe from any thread.
    void kill();

private:
    bool startPyftpdlib();
    bool startVsftpd();
    // The server's key and certificate in the work folder, as options_.certificate says.
    bool makeCertificate(const QString& certificate, const QString& key) const;

    Options options_;
    QTemporaryDir home_;
    QTemporaryDir work_;
    std::unique_ptr<QProcess> process_;
    qint64 pid_ = 0;
    quint16 port_ = 0;
};

// A TCP server on 127.0.0.1 whose connections are accepted and never answered: never calling
// nextPendingConnection() leaves them in the backlog, connected and silent.
class SilentTcpServer
{
public:
    SilentTcpServer() { server_.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return server_.serverPort(); }
    bool isListening() const { return server_.isListening(); }
    // Whether a client connected (waiting up to `waitMs` for one).
    bool receivedConnection(int waitMs)
    {
        return server_.hasPendingConnections() || server_.waitForNewConnection(waitMs);
    }

private:
    QTcpServer server_;
};

} // namespace airlark::test
