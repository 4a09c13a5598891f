#include "ftp/FTPClient.h"

#include "ftp/FTPCurlHandle.h"
#include "ftp/FTPDestinationString.h"
#include "ftp/FTPRunLoop.h"
#include "ftp/FTPStream.h"
#include "ftp/FTPThread.h"
#include "platform/LibCurl.h"

#include <QDebug>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

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
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, std::nullopt, false); });
    return verdict;
}

bool FTPClient::checkLoginAndDirectory(const FTPServer* server)
{
    if (!checkFTPServer(server))
        return false;
    bool verdict = false;
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, std::nullopt, true); });
    return verdict;
}

bool FTPClient::deleteFileNamed(const QString& name, const FTPServer* server)
{
    if (!checkFTPServer(server) || name.isEmpty())
        return false;
    // What Airlark removes is always a file it uploaded, whether or not its name has a dot.
    const QString command = QStringLiteral("DELE ") + name;
    bool verdict = false;
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, command, true); });
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
    FTPThread::runInSeparateThread([&] { verdict = ftpActionForServer(server, command, true); });
    return verdict;
}

namespace {

// Whether every line of a control conversation can be sent, checked before anything is: no line
// break in the command, and each line within the command buffer.
bool conversationFits(const FTPServer& server, const std::optional<QString>& command,
                      const QString* directory)
{
    const auto fits = [](const char* verb, const QString& argument) {
        return std::strlen(verb) + 1 + static_cast<std::size_t>(argument.toUtf8().size()) + 2 <
               FTPClient::CommandBufferSize;
    };
    if (command && !isSafeFTPText(*command)) {
        qWarning("FTP command refused: the command cannot contain line breaks");
        return false;
    }
    if (!fits("USER", server.username().value_or(QString())) ||
        !fits("PASS", server.password().value_or(QString())) || (directory && !fits("CWD", *directory)) ||
        (command && !fits("", *command))) {
        qWarning("FTP command refused: a command line is longer than %d bytes",
                 int(FTPClient::CommandBufferSize) - 1);
        return false;
    }
    return true;
}

} // namespace

bool FTPClient::ftpActionForServer(const FTPServer* server, const std::optional<QString>& command,
                                   bool enterDirectory)
{
    const LibCurl& curl = LibCurl::get();
    action_ = Action::ControlCommand;
    setFailureDetail({});
    const auto finish = [this](bool verdict) {
        streamSuccess_ = verdict;
        action_ = Action::Finished;
        return verdict;
    };

    const QString destination = server->destination().value_or(QString());
    const std::optional<QString> directory = FTPDestinationString::fmdir(destination);
    const bool hasDirectory = enterDirectory && directory && !directory->isEmpty();

    if (!conversationFits(*server, command, hasDirectory ? &*directory : nullptr))
        return finish(false);

    std::optional<QUrl> url = FTPDestinationString::ftpURLForPort(
        hasDirectory ? destination : FTPDestinationString::fmhost(destination), server->port());
    FTPCurlHandle handle;
    if (!url || !handle.isValid())
        return finish(false);
    // A path ending in "/" names a directory: curl changes into it and transfers nothing.
    url->setPath(url->path(QUrl::FullyDecoded) + QLatin1Char('/'), QUrl::DecodedMode);
    handle.setURL(FTPCurlHandle::urlForSecurity(*url, server->security()));
    handle.setSecurity(server->security());
    handle.setTimeout(timeout());
    if (!handle.setUserName(server->username().value_or(QString())) ||
        !handle.setPassword(server->password().value_or(QString())))
        return finish(false);
    curl.easySetopt(handle.get(), CURLOPT_NOBODY, 1L);
    CurlSlist commands;
    if (command) {
        commands.reset(curl.slistAppend(nullptr, command->toUtf8().constData()));
        curl.easySetopt(handle.get(), CURLOPT_POSTQUOTE, commands.get());
    }
    const CURLcode result = curl.easyPerform(handle.get());
    if (result == CURLE_COULDNT_RESOLVE_HOST)
        qWarning("host error!");
    else if (result == CURLE_COULDNT_CONNECT)
        qWarning("error connecting.");
    const FTPFailure failure = handle.failureFor(result);
    if (failure.failed())
        qInfo("FTP %s failed: %s (%s)", command ? "command" : "log-in check", qUtf8Printable(failure.reason),
              ftpFailureKindName(failure.kind));
    setFailureDetail(failure);
    return finish(result == CURLE_OK);
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
                    QVariant::fromValue<float>(
                        size == 0 ? 0.0f : static_cast<float>(processed) / static_cast<float>(size)));
    return progress;
}

FTPStreamFailureReason FTPClient::failureReason() const
{
    return failureReason_;
}

FTPFailure FTPClient::failureDetail() const
{
    std::lock_guard lock(failureMutex_);
    return failureDetail_;
}

void FTPClient::setFailureDetail(FTPFailure failure)
{
    std::lock_guard lock(failureMutex_);
    failureDetail_ = std::move(failure);
}

void FTPClient::abort()
{
    closeAtOnce_ = true;
    std::lock_guard lock(loopMutex_);
    if (currentRunLoop_) {
        // The loop wakes at once; the transfer is taken out of curl without waiting for the server.
        currentRunLoop_->post([this] { abortOnTransferThread(); });
        return;
    }
    // A transfer still setting up takes the request once its loop exists.
    const Action action = action_;
    if (action == Action::Upload || action == Action::CreateFolder || action == Action::ListDirectory ||
        action == Action::Download)
        abortRequested_ = true;
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
