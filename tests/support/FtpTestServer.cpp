#include "support/FtpTestServer.h"

#include "support/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>

#include <csignal>
#include <sys/types.h>

namespace airlark::test {

FtpTestServer::FtpTestServer() : FtpTestServer(Options()) {}

FtpTestServer::FtpTestServer(Options options) : options_(std::move(options))
{
    if (!home_.isValid())
        return;
    QStringList arguments{QStringLiteral(AIRLARK_SOURCE_DIR "/tests/support/ftp_server.py"),
                          QStringLiteral("--home"), home_.path(),
                          QStringLiteral("--user"), options_.user,
                          QStringLiteral("--password"), options_.password};
    if (options_.quotaBytes >= 0)
        arguments << QStringLiteral("--quota") << QString::number(options_.quotaBytes);
    if (options_.refuseUploadsWithCode)
        arguments << QStringLiteral("--refuse-stor") << QString::number(options_.refuseUploadsWithCode);

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!process_->waitForStarted(static_cast<int>(options_.startTimeout.count()))) {
        process_.reset();
        return;
    }
    pid_ = process_->processId();

    // The server prints "port N" once it listens.
    const QDeadlineTimer deadline(options_.startTimeout);
    QByteArray output;
    while (!deadline.hasExpired() && !output.contains('\n')) {
        if (!process_->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        output += process_->readAllStandardOutput();
    }
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    if (line.startsWith("port "))
        port_ = static_cast<quint16>(line.mid(5).toUInt());
    if (port_ == 0)
        stop();
}

FtpTestServer::~FtpTestServer()
{
    stop();
}

bool FtpTestServer::isRunning() const
{
    return process_ && process_->state() == QProcess::Running && port_ != 0;
}

QString FtpTestServer::homePath() const
{
    return home_.path();
}

QString FtpTestServer::destination(const QString& directory) const
{
    return directory.isEmpty() ? host() : host() + QLatin1Char('/') + directory;
}

bool FtpTestServer::makeDirectory(const QString& relativePath) const
{
    return QDir(home_.path()).mkpath(relativePath);
}

QString FtpTestServer::pathInHome(const QString& relativePath) const
{
    return QDir(home_.path()).filePath(relativePath);
}

QByteArray FtpTestServer::fileContents(const QString& relativePath) const
{
    QFile file(pathInHome(relativePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void FtpTestServer::stop()
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    process_.reset();
    pid_ = 0;
}

void FtpTestServer::kill()
{
    if (pid_ > 0)
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
}

SilentTcpServer::SilentTcpServer()
{
    // Never calling nextPendingConnection() leaves connections in the backlog: connected, silent.
    server_.listen(QHostAddress::LocalHost, 0);
}

quint16 SilentTcpServer::port() const
{
    return server_.serverPort();
}

bool SilentTcpServer::receivedConnection(int waitMs)
{
    return server_.hasPendingConnections() || server_.waitForNewConnection(waitMs);
}

bool SilentTcpServer::isListening() const
{
    return server_.isListening();
}

} // namespace airlark::test
