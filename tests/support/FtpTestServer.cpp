#include "support/FtpTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QMultiHash>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace airlark::test {

namespace {

bool run(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The test process's certificate authorities, made before main(): one its clients trust
// (AIRLARK_FTP_CA_FILE names it, since the client reads it once) and one nobody trusts. A process
// that a test process started trusts its parent's.
struct TestAuthorities
{
    TestAuthorities()
    {
        if (qEnvironmentVariableIsSet("AIRLARK_FTP_CA_FILE"))
            return;
        folder = QDir::tempPath() + QStringLiteral("/airlark-test-ca-%1").arg(::getpid());
        qputenv("AIRLARK_FTP_CA_FILE", QFile::encodeName(file(true, "pem")));
        QDir().mkpath(folder);
        for (const bool trusted : {true, false})
            run(QStringLiteral("openssl"),
                QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2")
                        .split(QLatin1Char(' ')) +
                    QStringList{QStringLiteral("-keyout"), file(trusted, "key"), QStringLiteral("-out"),
                                file(trusted, "pem"), QStringLiteral("-subj"),
                                trusted ? QStringLiteral("/CN=Airlark test CA")
                                        : QStringLiteral("/CN=Stranger CA")});
    }
    ~TestAuthorities()
    {
        if (!folder.isEmpty())
            QDir(folder).removeRecursively();
    }
    QString file(bool trusted, const char* suffix) const
    {
        return folder + (trusted ? QStringLiteral("/trusted.") : QStringLiteral("/stranger.")) +
               QLatin1String(suffix);
    }

    QString folder;
};

const TestAuthorities authorities;

// vsftpd logs in local users only: one system user without a shell or home serves every test.
bool ensureLocalUser()
{
    static const bool ready = [] {
        if (::geteuid() != 0) {
            qWarning("FtpTestServer: vsftpd needs root to serve its local user");
            return false;
        }
        if (!::getpwnam(FtpTestServer::LocalUser.toUtf8().constData()) &&
            !run(QStringLiteral("useradd"),
                 {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                  QStringLiteral("--home-dir"), QStringLiteral("/"), QStringLiteral("--shell"),
                  QStringLiteral("/usr/sbin/nologin"), FtpTestServer::LocalUser}) &&
            !::getpwnam(FtpTestServer::LocalUser.toUtf8().constData()))
            return false;
        return run(
            QStringLiteral("chpasswd"), {},
            (FtpTestServer::LocalUser + QLatin1Char(':') + FtpTestServer::LocalPassword + QLatin1Char('\n'))
                .toUtf8());
    }();
    return ready;
}

// Every process below `root` (vsftpd runs each session in a session of its own, so its process
// group does not hold them).
QList<pid_t> descendants(pid_t root)
{
    QMultiHash<pid_t, pid_t> children;
    for (const QFileInfo& process :
         QDir(QStringLiteral("/proc")).entryInfoList({QStringLiteral("[1-9]*")}, QDir::Dirs)) {
        QFile stat(process.filePath() + QStringLiteral("/stat"));
        // "pid (name) state ppid ...": the name may hold spaces, the last ")" ends it.
        const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const pid_t parent = text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toInt();
        if (parent > 0)
            children.insert(parent, process.fileName().toInt());
    }
    QList<pid_t> found{root};
    for (qsizetype index = 0; index < found.size(); ++index)
        found += children.values(found[index]);
    return found;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace

FtpTestServer::FtpTestServer() : FtpTestServer(Options()) {}

FtpTestServer::FtpTestServer(Options options) : options_(std::move(options))
{
    if (options_.security != FTPSecurity::None && options_.script.isEmpty())
        options_.vsftpd = true;
    if (!home_.isValid() || !work_.isValid())
        return;
    if (!(options_.vsftpd ? startVsftpd() : startPyftpdlib()))
        stop();
}

bool FtpTestServer::startPyftpdlib()
{
    QJsonObject settings{{"home", home_.path()},
                         {"user", options_.user},
                         {"password", options_.password},
                         {"port", options_.port},
                         {"read_limit", options_.readLimit},
                         {"quota", options_.quotaBytes},
                         {"refuse_stor", options_.refuseUploadsWithCode},
                         {"keep", options_.keepBytes},
                         {"greeting_delay", options_.greetingDelayMs / 1000.0},
                         {"log", work_.filePath(QStringLiteral("log"))}};
    if (!options_.script.isEmpty()) {
        QJsonObject script = options_.script;
        if (options_.security != FTPSecurity::None) {
            const QString certificate = work_.filePath(QStringLiteral("server.pem"));
            const QString key = work_.filePath(QStringLiteral("server.key"));
            if (!makeCertificate(certificate, key))
                return false;
            script.insert(QStringLiteral("tls"), QJsonObject{{"cert", certificate}, {"key", key}});
        }
        script.insert(QStringLiteral("keep"), options_.keepBytes);
        settings.insert(QStringLiteral("script"), script);
    }

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(AIRLARK_SOURCE_DIR "/tests/support/ftp_server.py"),
                     QString::fromUtf8(QJsonDocument(settings).toJson(QJsonDocument::Compact))});
    if (!process_->waitForStarted(5000))
        return false;
    pid_ = process_->processId();
    // The server prints "port N" once it listens.
    const QDeadlineTimer deadline(std::chrono::seconds(15));
    while (!process_->canReadLine() &&
           process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
    }
    const QByteArray line = process_->readLine().trimmed();
    port_ = line.startsWith("port ") ? static_cast<quint16>(line.mid(5).toUInt()) : 0;
    return port_ != 0;
}

bool FtpTestServer::startVsftpd()
{
    if (!ensureLocalUser())
        return false;
    const QString certificate = work_.filePath(QStringLiteral("server.pem"));
    const QString key = work_.filePath(QStringLiteral("server.key"));
    const bool tls = options_.security != FTPSecurity::None;
    if (tls && !makeCertificate(certificate, key))
        return false;
    // The chroot's empty folder must belong to root and be closed to others; the home is the user's.
    const QString empty = work_.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    QFile::setPermissions(empty, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                     QFile::ExeOther);
    QFile::setPermissions(home_.path(), QFile::Permissions(0x7777));

    const QDeadlineTimer deadline(std::chrono::seconds(15));
    while (!deadline.hasExpired()) {
        port_ = options_.port ? options_.port : freePort();
        const QString yes = QStringLiteral("YES");
        const QString no = QStringLiteral("NO");
        const QString required = tls && !options_.tlsOptional ? yes : no;
        QStringList lines{
            QStringLiteral("listen=YES"), QStringLiteral("listen_ipv6=NO"),
            QStringLiteral("listen_address=127.0.0.1"), QStringLiteral("listen_port=%1").arg(port_),
            QStringLiteral("background=NO"), QStringLiteral("anonymous_enable=NO"),
            QStringLiteral("local_enable=YES"), QStringLiteral("write_enable=YES"),
            QStringLiteral("local_umask=022"), QStringLiteral("chroot_local_user=YES"),
            QStringLiteral("allow_writeable_chroot=YES"), QStringLiteral("local_root=") + home_.path(),
            QStringLiteral("secure_chroot_dir=") + empty,
            // No such PAM service: PAM's "other" checks the local user's password.
            QStringLiteral("pam_service_name=airlark-test-ftp"), QStringLiteral("seccomp_sandbox=NO"),
            QStringLiteral("local_max_rate=%1").arg(options_.readLimit), QStringLiteral("max_per_ip=64"),
            QStringLiteral("xferlog_enable=YES"), QStringLiteral("xferlog_std_format=NO"),
            QStringLiteral("log_ftp_protocol=YES"),
            QStringLiteral("vsftpd_log_file=") + work_.filePath(QStringLiteral("log")),
            QStringLiteral("ssl_enable=") + (tls ? yes : no)};
        if (tls)
            lines << QStringLiteral("implicit_ssl=") +
                         (options_.security == FTPSecurity::ImplicitTLS ? yes : no)
                  << QStringLiteral("rsa_cert_file=") + certificate
                  << QStringLiteral("rsa_private_key_file=") + key << QStringLiteral("ssl_ciphers=HIGH")
                  << QStringLiteral("force_local_logins_ssl=") + required
                  << QStringLiteral("force_local_data_ssl=") + required;
        const QString config = work_.filePath(QStringLiteral("vsftpd.conf"));
        if (!writeFile(config, lines.join(QLatin1Char('\n')).toUtf8() + '\n'))
            return false;

        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::ForwardedChannels);
        process_->start(QStringLiteral("/usr/sbin/vsftpd"), {config});
        if (!process_->waitForStarted(5000))
            return false;
        pid_ = process_->processId();
        const QDeadlineTimer listening(3000);
        while (!listening.hasExpired() && process_->state() == QProcess::Running && !accepts(port_))
            QThread::msleep(20);
        if (process_->state() == QProcess::Running && accepts(port_))
            return true;
        stop();
        QThread::msleep(250);
    }
    return false;
}

bool FtpTestServer::makeCertificate(const QString& certificate, const QString& key) const
{
    const bool trusted = options_.certificate != Certificate::UnknownIssuer;
    const QString names = options_.certificate == Certificate::OtherHostName
                              ? QStringLiteral("subjectAltName=DNS:elsewhere.example")
                              : QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1");
    // One command makes the server's key and the certificate the authority signs for it.
    const QStringList request =
        QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -addext "
                       "basicConstraints=critical,CA:FALSE -subj /CN=Airlark-test-server")
            .split(QLatin1Char(' '));
    return !authorities.folder.isEmpty() &&
           run(QStringLiteral("openssl"),
               request + QStringList{QStringLiteral("-addext"), names, QStringLiteral("-CA"),
                                     authorities.file(trusted, "pem"), QStringLiteral("-CAkey"),
                                     authorities.file(trusted, "key"), QStringLiteral("-keyout"), key,
                                     QStringLiteral("-out"), certificate});
}

std::shared_ptr<FTPServer> FtpTestServer::record(const QString& directory) const
{
    auto server = FTPServer::serverWithDestination(
        directory.isEmpty() ? host() : host() + QLatin1Char('/') + directory, user(), password());
    server->setPort(port());
    server->setSecurity(options_.security);
    return server;
}

bool FtpTestServer::makeDirectory(const QString& relativePath) const
{
    if (!QDir(home_.path()).mkpath(relativePath))
        return false;
    // vsftpd's user writes into it, and into each folder on the way.
    for (QString path = relativePath; path != QStringLiteral("."); path = QFileInfo(path).path())
        QFile::setPermissions(pathInHome(path), QFile::Permissions(0x7777));
    return true;
}

QByteArrayList FtpTestServer::conversation() const
{
    QByteArrayList lines = protocolLog().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

void FtpTestServer::stop()
{
    if (!process_)
        return;
    // With its sessions: vsftpd runs each in a process of its own.
    kill();
    process_->waitForFinished(3000);
    process_.reset();
    pid_ = 0;
}

void FtpTestServer::kill()
{
    if (pid_ <= 0)
        return;
    for (const pid_t pid : descendants(static_cast<pid_t>(pid_)))
        ::kill(pid, SIGKILL);
}

} // namespace airlark::test
