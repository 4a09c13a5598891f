// The streamed transfers of FTPClient: each runs on its own thread, whose FTPRunLoop delivers the
// server stream's events here; data moves through the client's one inline buffer.
#include "ftp/FTPClient.h"

#include "ftp/FTPDestinationString.h"
#include "ftp/FTPListingParser.h"
#include "ftp/FTPRunLoop.h"
#include "ftp/FTPStream.h"
#include "ftp/FTPThread.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace airlark {

namespace {

// The destination's URL with `name` appended as a path component (as a folder when `folder`).
std::optional<QUrl> destinationURL(const FTPServer& server, const QString& name, bool folder)
{
    std::optional<QUrl> url = FTPDestinationString::ftpURLForPort(server.destination().value_or(QString()), server.port());
    if (!url)
        return std::nullopt;
    QString path = url->path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += name;
    if (folder && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url->setPath(path, QUrl::DecodedMode);
    if (!url->isValid())
        return std::nullopt;
    return url;
}

bool isAcceptableName(const QString& name, const char* what)
{
    if (name.isEmpty())
        return false;
    if (!isSafeFTPText(name)) {
        qWarning("FTP transfer refused: the %s cannot contain line breaks", what);
        return false;
    }
    return true;
}

} // namespace

bool FTPClient::uploadFile(const QUrl& fileURL, const FTPServer* server)
{
    if (!checkFTPServer(server) || !fileURL.isValid() || !fileURL.isLocalFile())
        return false;
    const QFileInfo info(fileURL.toLocalFile());
    if (!info.exists() || info.isDir() || !isAcceptableName(info.fileName(), "file name"))
        return false;
    bool result = false;
    FTPThread::runInSeparateThread([&] { result = uploadFileWorker(fileURL, *server); });
    return result;
}

bool FTPClient::uploadData(const QByteArray& data, const QString& fileName, const FTPServer* server)
{
    if (!checkFTPServer(server) || !isAcceptableName(fileName, "file name"))
        return false;
    bool result = false;
    FTPThread::runInSeparateThread([&] { result = uploadDataWorker(data, fileName, *server); });
    return result;
}

bool FTPClient::createNewFolder(const QString& folderName, const FTPServer* server)
{
    if (!checkFTPServer(server) || !isAcceptableName(folderName, "folder name"))
        return false;
    bool result = false;
    FTPThread::runInSeparateThread([&] { result = createFolderWorker(folderName, *server); });
    return result;
}

std::optional<QList<QVariantMap>> FTPClient::contentsOfServer(const FTPServer* server)
{
    if (!checkFTPServer(server))
        return std::nullopt;
    std::optional<QList<QVariantMap>> result;
    FTPThread::runInSeparateThread([&] { result = listingWorker(*server); });
    return result;
}

bool FTPClient::downloadFile(const QString& fileName, const QUrl& directoryURL, const FTPServer* server)
{
    if (!checkFTPServer(server) || !isAcceptableName(fileName, "file name") || !directoryURL.isLocalFile())
        return false;
    // The name comes from the server side: it must not lead out of the chosen folder.
    if (fileName.contains(QLatin1Char('/')) || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return false;
    const QFileInfo directory(directoryURL.toLocalFile());
    if (!directory.isDir())
        return false;
    const QString localPath = QDir(directory.filePath()).filePath(fileName);
    bool result = false;
    FTPThread::runInSeparateThread([&] { result = downloadWorker(fileName, localPath, *server); });
    return result;
}

bool FTPClient::uploadFileWorker(const QUrl& fileURL, const FTPServer& server)
{
    const QString path = fileURL.toLocalFile();
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: each chunk goes from the file straight into the client's buffer.
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    struct stat status {};
    if (::fstat(file->handle(), &status) != 0)
        return false;
    uploadPath_ = path;
    uploadDevice_ = status.st_dev;
    uploadInode_ = status.st_ino;
    fileSize_ = static_cast<quint64>(status.st_size);
    return uploadWorker(std::move(file), QFileInfo(path).fileName(), server);
}

bool FTPClient::uploadDataWorker(const QByteArray& data, const QString& fileName, const FTPServer& server)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    uploadPath_.clear();
    fileSize_ = static_cast<quint64>(data.size());
    return uploadWorker(std::move(buffer), fileName, server);
}

bool FTPClient::uploadWorker(std::unique_ptr<QIODevice> reader, const QString& fileName, const FTPServer& server)
{
    action_ = Action::Upload;
    fileSizeProcessed_ = 0;
    bytesProcessed_ = 0;
    const std::optional<QUrl> url = destinationURL(server, fileName, false);
    std::shared_ptr<FTPStream> stream = url ? FTPStream::createWriteStreamWithFTPURL(*url) : nullptr;
    if (!stream || !stream->setUserName(server.username().value_or(QString()))
        || !stream->setPassword(server.password().value_or(QString()))) {
        action_ = Action::Finished;
        return false;
    }
    fileReader_ = std::move(reader);
    serverStream_ = stream;
    return runTransfer(std::move(stream));
}

bool FTPClient::createFolderWorker(const QString& folderName, const FTPServer& server)
{
    action_ = Action::CreateFolder;
    const std::optional<QUrl> url = destinationURL(server, folderName, true);
    std::shared_ptr<FTPStream> stream = url ? FTPStream::createWriteStreamWithFTPURL(*url) : nullptr;
    if (!stream || !stream->setUserName(server.username().value_or(QString()))
        || !stream->setPassword(server.password().value_or(QString()))) {
        action_ = Action::Finished;
        return false;
    }
    serverStream_ = stream;
    return runTransfer(std::move(stream));
}

std::optional<QList<QVariantMap>> FTPClient::listingWorker(const FTPServer& server)
{
    action_ = Action::ListDirectory;
    fileSize_ = 0;
    directoryListingData_.clear();
    const std::optional<QUrl> url = destinationURL(server, QString(), false);
    std::shared_ptr<FTPStream> stream = url ? FTPStream::createReadStreamWithFTPURL(*url) : nullptr;
    if (!stream || !stream->setUserName(server.username().value_or(QString()))
        || !stream->setPassword(server.password().value_or(QString()))) {
        action_ = Action::Finished;
        return std::nullopt;
    }
    serverReadStream_ = stream;
    if (!runTransfer(std::move(stream)))
        return std::nullopt;
    QList<QVariantMap> entries = FTPListingParser::parseListing(directoryListingData_);
    directoryListingData_.clear();
    return entries;
}

bool FTPClient::downloadWorker(const QString& fileName, const QString& localPath, const FTPServer& server)
{
    action_ = Action::Download;
    fileSize_ = 0;
    fileSizeProcessed_ = 0;
    bytesProcessed_ = 0;
    const std::optional<QUrl> url = destinationURL(server, fileName, false);
    std::shared_ptr<FTPStream> stream = url ? FTPStream::createReadStreamWithFTPURL(*url) : nullptr;
    // Written beside the target and renamed over it only once complete: a failed download leaves
    // nothing behind, and never a half-overwritten older file.
    auto writer = std::make_unique<QSaveFile>(localPath);
    writer->setDirectWriteFallback(false);
    if (!stream || !stream->setUserName(server.username().value_or(QString()))
        || !stream->setPassword(server.password().value_or(QString())) || !writer->open(QIODevice::WriteOnly)) {
        action_ = Action::Finished;
        return false;
    }
    stream->setFetchResourceInfo(true);
    fileWriter_ = std::move(writer);
    serverReadStream_ = stream;
    return runTransfer(std::move(stream));
}

bool FTPClient::runTransfer(std::shared_ptr<FTPStream> stream)
{
    bufferOffset_ = 0;
    bufferLimit_ = 0;
    readerAtEnd_ = false;
    FTPRunLoop loop;
    {
        std::lock_guard lock(loopMutex_);
        currentRunLoop_ = &loop;
    }
    stream->setTimeout(timeout());
    stream->setDelegate([this](FTPStream& source, FTPStreamEvent event) { streamHandleEvent(source, event); });
    stream->open();
    serverStreamOpen_ = true;
    stream->scheduleInRunLoop(loop);
    loop.run();
    {
        std::lock_guard lock(loopMutex_); // normally cleared by the end of the transfer already
        currentRunLoop_ = nullptr;
    }
    return streamSuccess_;
}

void FTPClient::streamHandleEvent(FTPStream& stream, FTPStreamEvent event)
{
    const Action action = action_;
    switch (event) {
    case FTPStreamEvent::CanAcceptBytes:
        if (action == Action::Upload)
            handleUploadSpaceAvailable();
        else
            streamDidEnd(false, FTPStreamFailureReason::GeneralError);
        break;
    case FTPStreamEvent::HasBytesAvailable:
        if (action == Action::Download)
            handleDownloadBytesAvailable();
        else if (action == Action::ListDirectory)
            handleListingBytesAvailable();
        else
            streamDidEnd(false, FTPStreamFailureReason::GeneralError);
        break;
    case FTPStreamEvent::OpenCompleted:
        if (action == Action::Download) {
            fileSize_ = static_cast<quint64>(std::max<qint64>(0, stream.resourceSize()));
            if (FTPClientDelegate* delegate = delegate_)
                delegate->ftpManagerDownloadProgressDidChange(progressDictionary());
        }
        break;
    case FTPStreamEvent::ErrorOccurred:
        streamDidEnd(false, FTPStreamFailureReason::GeneralError);
        break;
    case FTPStreamEvent::EndEncountered:
        handleEndEncountered();
        break;
    }
}

void FTPClient::handleUploadSpaceAvailable()
{
    if (bufferOffset_ == bufferLimit_) {
        if (readerAtEnd_)
            return;
        const qint64 count = fileReader_->read(buffer_.data(), static_cast<qint64>(buffer_.size()));
        if (count == 0) {
            // Sent only if the file we sent is the whole of the file we were given.
            if (!uploadedFileIsIntact()) {
                streamDidEnd(false, FTPStreamFailureReason::ReadError);
                return;
            }
            // The server's confirmation, not the end of the file, ends the transfer.
            readerAtEnd_ = true;
            serverStream_->finishWriting();
            return;
        }
        if (count < 0) {
            streamDidEnd(false, FTPStreamFailureReason::ReadError);
            return;
        }
        bufferOffset_ = 0;
        bufferLimit_ = static_cast<std::size_t>(count);
    }
    const qint64 written = serverStream_->write(buffer_.data() + bufferOffset_,
                                                static_cast<qint64>(bufferLimit_ - bufferOffset_));
    if (written <= 0) {
        streamDidEnd(false, FTPStreamFailureReason::WriteError);
        return;
    }
    bufferOffset_ += static_cast<std::size_t>(written);
    fileSizeProcessed_ += static_cast<quint64>(written);
    bytesProcessed_ = static_cast<quint64>(written);
    if (FTPClientDelegate* delegate = delegate_)
        delegate->ftpManagerUploadProgressDidChange(progressDictionary());
}

bool FTPClient::uploadedFileIsIntact() const
{
    if (fileSizeProcessed_ != fileSize_)
        return false;
    if (uploadPath_.isEmpty())
        return true;
    struct stat status {};
    return ::stat(QFile::encodeName(uploadPath_).constData(), &status) == 0
        && static_cast<quint64>(status.st_dev) == uploadDevice_ && static_cast<quint64>(status.st_ino) == uploadInode_
        && static_cast<quint64>(status.st_size) == fileSize_;
}

void FTPClient::handleDownloadBytesAvailable()
{
    if (bufferOffset_ == bufferLimit_) {
        const qint64 count = serverReadStream_->read(buffer_.data(), static_cast<qint64>(buffer_.size()));
        if (count == 0) {
            streamDidEnd(true, FTPStreamFailureReason::None);
            return;
        }
        if (count < 0) {
            streamDidEnd(false, FTPStreamFailureReason::ReadError);
            return;
        }
        bufferOffset_ = 0;
        bufferLimit_ = static_cast<std::size_t>(count);
        fileSizeProcessed_ += static_cast<quint64>(count);
        bytesProcessed_ = static_cast<quint64>(count);
        if (FTPClientDelegate* delegate = delegate_)
            delegate->ftpManagerDownloadProgressDidChange(progressDictionary());
    }
    if (bufferOffset_ < bufferLimit_) {
        const qint64 written = fileWriter_->write(buffer_.data() + bufferOffset_,
                                                  static_cast<qint64>(bufferLimit_ - bufferOffset_));
        if (written <= 0) {
            streamDidEnd(false, FTPStreamFailureReason::WriteError);
            return;
        }
        bufferOffset_ += static_cast<std::size_t>(written);
    }
}

void FTPClient::handleListingBytesAvailable()
{
    const qint64 count = serverReadStream_->read(buffer_.data(), static_cast<qint64>(buffer_.size()));
    if (count == 0) {
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    }
    if (count < 0) {
        streamDidEnd(false, FTPStreamFailureReason::ReadError);
        return;
    }
    directoryListingData_.append(buffer_.data(), count);
}

void FTPClient::handleEndEncountered()
{
    switch (action_.load()) {
    case Action::CreateFolder:
    case Action::ListDirectory:
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    case Action::Upload:
        // The server ended the transfer before we had sent the whole file.
        if (!readerAtEnd_) {
            streamDidEnd(false, FTPStreamFailureReason::WriteError);
            return;
        }
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    case Action::Download:
        while (bufferOffset_ < bufferLimit_) {
            const qint64 written = fileWriter_->write(buffer_.data() + bufferOffset_,
                                                      static_cast<qint64>(bufferLimit_ - bufferOffset_));
            if (written <= 0) {
                streamDidEnd(false, FTPStreamFailureReason::WriteError);
                return;
            }
            bufferOffset_ += static_cast<std::size_t>(written);
        }
        if (fileSize_ != 0 && fileSizeProcessed_ != fileSize_) {
            streamDidEnd(false, FTPStreamFailureReason::ReadError);
            return;
        }
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    case Action::ControlCommand:
    case Action::Finished:
        break;
    }
    streamDidEnd(false, FTPStreamFailureReason::GeneralError);
}

void FTPClient::abortOnTransferThread()
{
    const Action action = action_;
    const bool writing = action == Action::Upload || action == Action::CreateFolder;
    const bool reading = action == Action::ListDirectory || action == Action::Download;
    if ((writing && serverStream_) || (reading && serverReadStream_))
        streamDidEnd(false, FTPStreamFailureReason::Aborted);
}

void FTPClient::streamDidEnd(bool success, FTPStreamFailureReason reason)
{
    FTPRunLoop* loop = nullptr;
    {
        std::lock_guard lock(loopMutex_);
        if (!currentRunLoop_)
            return; // ended already
        loop = currentRunLoop_;
        currentRunLoop_ = nullptr;
    }
    if (success && fileWriter_ && !fileWriter_->commit()) {
        success = false;
        reason = FTPStreamFailureReason::WriteError;
    }
    action_ = Action::Finished;
    serverStreamOpen_ = false;
    streamSuccess_ = success;
    if (!success) {
        failureReason_ = reason;
        if (const char* message = ftpStreamFailureMessage(reason); *message)
            qWarning("%s", message);
    }
    for (std::shared_ptr<FTPStream>* stream : {&serverStream_, &serverReadStream_}) {
        if (*stream) {
            (*stream)->removeFromRunLoop();
            (*stream)->setDelegate(nullptr);
            (*stream)->close();
            stream->reset();
        }
    }
    fileReader_.reset();
    fileWriter_.reset(); // an uncommitted save file removes what it wrote
    loop->stop();
}

} // namespace airlark
