// The streamed transfers of FTPClient: each runs on its own thread, whose FTPRunLoop delivers the
// server stream's events here; data moves through the client's one inline buffer.
#include "ftp/FTPClient.h"
#include "ftp/FTPCurlHandle.h"
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
#include <fcntl.h>
#include <sys/stat.h>

namespace airlark {

namespace {

// The destination's URL with `name` appended as a path component (as a folder when `folder`).
std::optional<QUrl> destinationURL(const FTPServer& server, const QString& name, bool folder)
{
    std::optional<QUrl> url =
        FTPDestinationString::ftpURLForPort(server.destination().value_or(QString()), server.port());
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
    return FTPCurlHandle::urlForSecurity(*url, server.security());
}

// A stream for `url` that logs in as the record says, with its security; none if it cannot be set up.
template <typename Create>
std::shared_ptr<FTPStream> streamFor(Create create, const std::optional<QUrl>& url, const FTPServer& server)
{
    std::shared_ptr<FTPStream> stream = url ? create(*url) : nullptr;
    if (!stream || !stream->setUserName(server.username().value_or(QString())) ||
        !stream->setPassword(server.password().value_or(QString())))
        return nullptr;
    stream->setSecurity(server.security());
    return stream;
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

bool FTPClient::uploadFile(const QUrl& fileURL, const FTPServer* server, ExistingFile existing)
{
    if (!checkFTPServer(server) || !fileURL.isValid() || !fileURL.isLocalFile())
        return false;
    const QFileInfo info(fileURL.toLocalFile());
    if (!info.exists() || info.isDir() || !isAcceptableName(info.fileName(), "file name"))
        return false;
    bool result = false;
    FTPThread::runInSeparateThread([&] { result = uploadFileWorker(fileURL, *server, existing); });
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
    if (fileName.contains(QLatin1Char('/')) || fileName == QLatin1String(".") ||
        fileName == QLatin1String(".."))
        return false;
    const QFileInfo directory(directoryURL.toLocalFile());
    if (!directory.isDir())
        return false;
    const QString localPath = QDir(directory.filePath()).filePath(fileName);
    bool result = false;
    FTPThread::runInSeparateThread([&] { result = downloadWorker(fileName, localPath, *server); });
    return result;
}

bool FTPClient::uploadFileWorker(const QUrl& fileURL, const FTPServer& server, ExistingFile existing)
{
    const QString path = fileURL.toLocalFile();
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: each chunk goes from the file straight into the client's buffer.
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    struct stat status
    {
    };
    if (::fstat(file->handle(), &status) != 0)
        return false;
    // Read once, front to back: let the kernel read ahead generously.
    ::posix_fadvise(file->handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
    uploadPath_ = path;
    uploadDevice_ = status.st_dev;
    uploadInode_ = status.st_ino;
    fileSize_ = static_cast<quint64>(status.st_size);
    return uploadWorker(std::move(file), QFileInfo(path).fileName(), server, existing);
}

bool FTPClient::uploadDataWorker(const QByteArray& data, const QString& fileName, const FTPServer& server)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    uploadPath_.clear();
    fileSize_ = static_cast<quint64>(data.size());
    return uploadWorker(std::move(buffer), fileName, server, ExistingFile::Replace);
}

bool FTPClient::uploadWorker(std::unique_ptr<QIODevice> reader, const QString& fileName,
                             const FTPServer& server, ExistingFile existing)
{
    abortRequested_ = false; // a request for an earlier operation is not for this one
    action_ = Action::Upload;
    fileSizeProcessed_ = 0;
    bytesProcessed_ = 0;
    uploadReachedServer_ = false;
    uploadSizeUnknown_ = false;
    auto stream =
        streamFor(&FTPStream::createWriteStreamWithFTPURL, destinationURL(server, fileName, false), server);
    if (!stream) {
        action_ = Action::Finished;
        return false;
    }
    stream->setKeepExistingFile(existing == ExistingFile::Keep);
    fileReader_ = std::move(reader);
    serverStream_ = stream;
    if (!runTransfer(std::move(stream)))
        return false;
    return !uploadSizeUnknown_ || uploadSizeMatchesListing(fileName, server);
}

bool FTPClient::uploadSizeMatchesListing(const QString& fileName, const FTPServer& server)
{
    // The server confirmed the file but would not tell its size: the folder's listing does.
    const quint64 expected = fileSize_;
    const std::optional<QList<QVariantMap>> listing = listingWorker(server);
    qint64 size = -1;
    for (const QVariantMap& entry : listing.value_or(QList<QVariantMap>())) {
        if (entry.value(QString::fromLatin1(FTPResourceKey::Name)).toString() == fileName)
            size = entry.value(QString::fromLatin1(FTPResourceKey::Size), -1).toLongLong();
    }
    fileSize_ = expected;
    fileSizeProcessed_ = expected;
    action_ = Action::Finished;
    const bool whole = size >= 0 && static_cast<quint64>(size) == expected;
    streamSuccess_ = whole;
    if (whole)
        return true;
    FTPFailure failure;
    failure.kind = size < 0 ? FTPFailureKind::SizeUnverified : FTPFailureKind::IncompleteOnServer;
    failure.host = serverHost_;
    failure.serverSize = size;
    setFailureDetail(failure);
    failureReason_ = FTPStreamFailureReason::WriteError;
    return false;
}

bool FTPClient::createFolderWorker(const QString& folderName, const FTPServer& server)
{
    abortRequested_ = false;
    action_ = Action::CreateFolder;
    auto stream =
        streamFor(&FTPStream::createWriteStreamWithFTPURL, destinationURL(server, folderName, true), server);
    if (!stream) {
        action_ = Action::Finished;
        return false;
    }
    serverStream_ = stream;
    return runTransfer(std::move(stream));
}

std::optional<QList<QVariantMap>> FTPClient::listingWorker(const FTPServer& server)
{
    abortRequested_ = false;
    action_ = Action::ListDirectory;
    fileSize_ = 0;
    directoryListingData_.clear();
    directoryListingLines_ = 0;
    auto stream =
        streamFor(&FTPStream::createReadStreamWithFTPURL, destinationURL(server, QString(), false), server);
    if (!stream) {
        action_ = Action::Finished;
        return std::nullopt;
    }
    serverReadStream_ = stream;
    if (!runTransfer(std::move(stream)))
        return std::nullopt;
    QList<QVariantMap> entries = FTPListingParser::parseListing(directoryListingData_);
    directoryListingData_.clear();
    directoryListingData_.squeeze();
    return entries;
}

bool FTPClient::downloadWorker(const QString& fileName, const QString& localPath, const FTPServer& server)
{
    abortRequested_ = false;
    action_ = Action::Download;
    fileSize_ = 0;
    fileSizeProcessed_ = 0;
    bytesProcessed_ = 0;
    auto stream =
        streamFor(&FTPStream::createReadStreamWithFTPURL, destinationURL(server, fileName, false), server);
    // Written beside the target and renamed over it only once complete: a failed download leaves
    // nothing behind, and never a half-overwritten older file.
    auto writer = std::make_unique<QSaveFile>(localPath);
    writer->setDirectWriteFallback(false);
    if (!stream || !writer->open(QIODevice::WriteOnly)) {
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
    setFailureDetail({});
    serverHost_ = stream->host();
    closeAtOnce_ = false; // an abort of an earlier operation is not for this one
    FTPRunLoop loop;
    {
        std::lock_guard lock(loopMutex_);
        currentRunLoop_ = &loop;
        if (abortRequested_.exchange(false))
            loop.post([this] { abortOnTransferThread(); });
    }
    stream->setCloseAtOnceFlag(&closeAtOnce_);
    stream->setTimeout(timeout());
    stream->setDelegate(
        [this](FTPStream& source, FTPStreamEvent event) { streamHandleEvent(source, event); });
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

} // namespace airlark
