#include "LibsynFtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace airlark::test {

LibsynFtpServer::LibsynFtpServer() = default;

LibsynFtpServer::~LibsynFtpServer()
{
    kill();
}

bool LibsynFtpServer::start(int readLimitBytesPerSecond)
{
    kill();
    if (!home_.isValid())
        return false;
    // A port just let go of may take a moment to be free again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_->start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(AIRLARK_SOURCE_DIR "/tests/support/ftp_server.py"),
                         QStringLiteral("--home"), home_.path(), QStringLiteral("--user"), Email,
                         QStringLiteral("--password"), Password, QStringLiteral("--port"),
                         QString::number(port_), QStringLiteral("--read-limit"),
                         QString::number(readLimitBytesPerSecond)});
        QByteArray output;
        const QDeadlineTimer deadline(15000);
        while (process_->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            output += process_->readAllStandardOutput();
            if (output.contains('\n'))
                break;
        }
        const QByteArray line = output.left(output.indexOf('\n')).trimmed();
        if (line.startsWith("port ")) {
            port_ = static_cast<quint16>(line.mid(5).toUInt());
            qputenv("AIRLARK_LIBSYN_FTP_HOST", "127.0.0.1");
            qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(port_));
            return true;
        }
        kill();
        QThread::msleep(250);
    }
    return false;
}

bool LibsynFtpServer::isRunning() const
{
    return process_ && process_->state() == QProcess::Running;
}

void LibsynFtpServer::kill()
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(5000);
    }
    process_.reset();
}

bool LibsynFtpServer::makeDirectory(const QString& relativePath) const
{
    return QDir(home_.path()).mkpath(relativePath);
}

QByteArray LibsynFtpServer::fileContents(const QString& relativePath) const
{
    QFile file(QDir(home_.path()).filePath(relativePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool LibsynFtpServer::exists(const QString& relativePath) const
{
    return QFile::exists(QDir(home_.path()).filePath(relativePath));
}

} // namespace airlark::test
