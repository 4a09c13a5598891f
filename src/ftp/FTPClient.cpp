#include "ftp/FTPClient.h"

#include "ftp/FTPControlConnection.h"
#include "ftp/FTPDestinationString.h"
#include "ftp/FTPRunLoop.h"
#include "ftp/FTPStream.h"
#include "ftp/FTPThread.h"

#include <QDebug>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>

namespace airlark {

FTPClient::FTPClient() = default;
FTPClient::~FTPClient() = default;

bool FTPClient::checkFTPServer(const FTPServer* server)
{
    if (!server) {
        qWarning("FTP server check failed: server cannot be nil");
        return false;
    }
    bool passed = true;
    const std::optional<QString> destination = server->destination();
    const std::optional<QString> username = server->username();
    const std::optional<QString> password = server->password();
    if (!destination) {
        qWarning("FTP server check failed: destination cannot be nil");
        passed = false;
    }
    if (!username) {
        qWarning("FTP server check failed: username cannot be nil");
        passed = false;
    }
    if (!password) {
        qWarning("FTP server check failed: password cannot be nil");
        passed = false;
    }
    if (server->port() <= 0) {
        qWarning("FTP server check failed: port cannot be negative");
        passed = false;
    } else if (server->port() > 65535) {
        qWarning("FTP server check failed: port cannot be above 65535");
        passed = false;
    }
    // A line break would end the command it is sent in and start another one of the text's choosing.
    if (destination && !isSafeFTPText(*destination)) {
        qWarning("FTP server check failed: destination cannot contain line breaks");
        passed = false;
    }
    if (username && !isSafeFTPText(*username)) {
        qWarning("FTP server check failed: username cannot contain line breaks");
        passed = false;
    }
    if (password && !isSafeFTPText(*password)) {
        qWarning("FTP server check failed: password cannot contain line breaks");
        passed = false;
    }
    return passed;
}

bool FTPClient::checkLogin(const FTPServer* server)
{
    if (!checkFTPServer(server))
        return false;
    bool verdict = false;
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, std::nullopt); });
    return verdict;
}

bool FTPClient::deleteFileNamed(const QString& name, const FTPServer* server)
{
    if (!checkFTPServer(server) || name.isEmpty())
        return false;
    const QString command = (name.contains(QLatin1Char('.')) ? QStringLiteral("DELE ") : QStringLiteral("RMD ")) + name;
    bool verdict = false;
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, command); });
    return verdict;
}

bool FTPClient::deleteFile(const QString& name, const FTPServer* server)
{
    bool verdict = false;
    FTPThread::runInSeparateThread([&] { verdict = deleteFileNamed(name, server); });
    return verdict;
}

bool FTPClient::chmodFileNamed(const QString& name, int mode, const FTPServer* server)
{
    if (!checkFTPServer(server) || name.isEmpty() || mode < 0 || mode >= 778)
        return false;
    const QString command = QStringLiteral("SITE CHMOD %1 %2").arg(mode).arg(name);
    bool verdict = false;
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, command); });
    return verdict;
}

bool FTPClient::ftpActionForServer(const FTPServer* server, const std::optional<QString>& command)
{
    action_ = Action::ControlCommand;
    const auto finish = [this](bool verdict) {
        streamSuccess_ = verdict;
        action_ = Action::Finished;
        return verdict;
    };

    const QString destination = server->destination().value_or(QString());
    const QByteArray host = FTPDestinationString::fmhost(destination).toUtf8();
    const std::optional<QString> directory = FTPDestinationString::fmdir(destination);
    const bool hasDirectory = directory && !directory->isEmpty();

    // Every line is formatted before anything is sent, so that a refused line sends nothing at all.
    std::vector<QByteArray> lines;
    const auto addLine = [&lines](const char* format, const QByteArray& argument) {
        std::array<char, CommandBufferSize> line{};
        const int length = std::snprintf(line.data(), line.size(), format, argument.constData());
        if (length < 0 || static_cast<std::size_t>(length) >= line.size())
            return false;
        lines.emplace_back(line.data(), length);
        return true;
    };
    if (command && !isSafeFTPText(*command)) {
        qWarning("FTP command refused: the command cannot contain line breaks");
        return finish(false);
    }
    bool fits = addLine("USER %s\r\n", server->username().value_or(QString()).toUtf8())
        && addLine("PASS %s\r\n", server->password().value_or(QString()).toUtf8());
    if (fits && command) {
        if (hasDirectory)
            fits = addLine("CWD %s\r\n", directory->toUtf8());
        fits = fits && addLine("%s\r\n", command->toUtf8());
    }
    if (!fits) {
        qWarning("FTP command refused: a command line is longer than %d bytes", int(CommandBufferSize) - 1);
        return finish(false);
    }
    const std::size_t expectedReplies = 1 + lines.size(); // the greeting, then one per line before QUIT
    lines.emplace_back("QUIT\r\n");

    FTPControlConnection connection;
    if (!connection.connectToHost(host, server->port(), timeout()))
        return finish(false);
    for (const QByteArray& line : lines) {
        if (!connection.sendAll(line.constData(), static_cast<std::size_t>(line.size())))
            return finish(false);
    }
    bool complete = false;
    const QByteArray reply = connection.readUntilClosed(timeout(), &complete);
    connection.close();

    // Only what the server said counts: a log-in it confirmed, an answer to every line, no refusal.
    const std::vector<int> codes = ftpReplyCodes(reply);
    const bool refused = std::any_of(codes.begin(), codes.end(), [](int code) { return code >= 400 && code < 600; });
    const bool loggedIn = std::any_of(codes.begin(), codes.end(), [](int code) { return code == 230 || code == 202; });
    return finish(!refused && loggedIn && codes.size() >= expectedReplies);
}

std::optional<QVariantMap> FTPClient::progress() const
{
    const Action action = action_;
    if ((action != Action::Upload && action != Action::Download) || !serverStreamOpen_ || fileSize_ == 0)
        return std::nullopt;
    return progressDictionary();
}

QVariantMap FTPClient::progressDictionary() const
{
    const quint64 size = fileSize_;
    const quint64 processed = fileSizeProcessed_;
    QVariantMap progress;
    progress.insert(QStringLiteral("fileSize"), QVariant::fromValue<quint64>(size));
    progress.insert(QStringLiteral("bytesProcessed"), QVariant::fromValue<quint64>(bytesProcessed_));
    progress.insert(QStringLiteral("fileSizeProcessed"), QVariant::fromValue<quint64>(processed));
    progress.insert(QStringLiteral("progress"),
                    QVariant::fromValue<float>(size == 0 ? 0.0f : static_cast<float>(processed) / static_cast<float>(size)));
    return progress;
}

FTPStreamFailureReason FTPClient::failureReason() const
{
    return failureReason_;
}

void FTPClient::abort()
{
    std::lock_guard lock(loopMutex_);
    if (currentRunLoop_)
        currentRunLoop_->post([this] { abortOnTransferThread(); });
}

bool FTPClient::streamSuccess() const
{
    return streamSuccess_;
}

FTPClient::Action FTPClient::action() const
{
    return action_;
}

FTPClientDelegate* FTPClient::delegate() const
{
    return delegate_;
}

void FTPClient::setDelegate(FTPClientDelegate* delegate)
{
    delegate_ = delegate;
}

std::chrono::milliseconds FTPClient::timeout() const
{
    return std::chrono::milliseconds(timeoutMs_.load());
}

void FTPClient::setTimeout(std::chrono::milliseconds timeout)
{
    timeoutMs_ = std::max<qint64>(1, timeout.count());
}

} // namespace airlark
