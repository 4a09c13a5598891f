#include "ftp/FTPStream.h"

#include "ftp/FTPRunLoop.h"
#include "platform/LibCurl.h"

#include <QDebug>
#include <algorithm>
#include <cstring>

namespace airlark {

namespace {

// curl's buffer for outgoing data, which the file is read straight into: one read() fills it, so
// a large buffer means few system calls per megabyte.
constexpr long UploadBufferSize = 256 * 1024;
constexpr long DownloadBufferSize = 64 * 1024;

bool isFTPURL(const QUrl& url)
{
    return url.isValid() && (url.scheme() == QLatin1String("ftp") || url.scheme() == QLatin1String("ftps"));
}

} // namespace

std::shared_ptr<FTPStream> FTPStream::createWriteStreamWithFTPURL(const QUrl& url)
{
    if (!isFTPURL(url))
        return nullptr;
    std::shared_ptr<FTPStream> stream(new FTPStream(Kind::Write, url));
    return stream->handle_.isValid() ? stream : nullptr;
}

std::shared_ptr<FTPStream> FTPStream::createReadStreamWithFTPURL(const QUrl& url)
{
    if (!isFTPURL(url))
        return nullptr;
    std::shared_ptr<FTPStream> stream(new FTPStream(Kind::Read, url));
    return stream->handle_.isValid() ? stream : nullptr;
}

FTPStream::FTPStream(Kind kind, const QUrl& url) : kind_(kind), url_(url)
{
    const LibCurl& curl = LibCurl::get();
    if (!handle_.isValid())
        return;
    CURL* easy = handle_.get();
    setSecurity(url.scheme() == QLatin1String("ftps") ? FTPSecurity::ImplicitTLS : FTPSecurity::None);

    QUrl target = url;
    const QString path = url.path(QUrl::FullyDecoded);
    if (kind == Kind::Write && path.endsWith(QLatin1Char('/')) && path.size() > 1) {
        // A write stream on a directory URL creates that directory: change to its parent, then MKD.
        QString parent = path.chopped(1);
        const QString folder = parent.mid(parent.lastIndexOf(QLatin1Char('/')) + 1);
        parent.chop(folder.size());
        target.setPath(parent, QUrl::DecodedMode);
        postCommands_.reset(
            curl.slistAppend(nullptr, (QStringLiteral("MKD ") + folder).toUtf8().constData()));
        curl.easySetopt(easy, CURLOPT_NOBODY, 1L);
        curl.easySetopt(easy, CURLOPT_POSTQUOTE, postCommands_.get());
    } else if (kind == Kind::Write) {
        curl.easySetopt(easy, CURLOPT_UPLOAD, 1L);
        curl.easySetopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);
        curl.easySetopt(easy, CURLOPT_READFUNCTION, &FTPStream::readCallback);
        curl.easySetopt(easy, CURLOPT_READDATA, this);
        // What curl learns of a file while asking whether it exists arrives as data: not ours.
        curl.easySetopt(easy, CURLOPT_WRITEFUNCTION, &FTPStream::discardHeader);
        // A 226 only says the server is done, not that it kept every byte: once it has confirmed,
        // its own count of the file's bytes is asked for on the same connection. "*": a server
        // that refuses SIZE does not turn a stored file into a failed transfer; the client then
        // looks the file up in the folder's listing.
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        postCommands_.reset(
            curl.slistAppend(nullptr, (QStringLiteral("*SIZE ") + name).toUtf8().constData()));
        curl.easySetopt(easy, CURLOPT_POSTQUOTE, postCommands_.get());
        probeCommands_.reset(
            curl.slistAppend(nullptr, (QStringLiteral("*MDTM ") + name).toUtf8().constData()));
    } else {
        curl.easySetopt(easy, CURLOPT_BUFFERSIZE, DownloadBufferSize);
        curl.easySetopt(easy, CURLOPT_WRITEFUNCTION, &FTPStream::writeCallback);
        curl.easySetopt(easy, CURLOPT_WRITEDATA, this);
    }
    // curl reports what it learns about a file as header lines; they are not the file's data.
    curl.easySetopt(easy, CURLOPT_HEADERFUNCTION, &FTPStream::discardHeader);
    handle_.setURL(target);
}

FTPStream::~FTPStream() = default;

bool FTPStream::setUserName(const QString& userName)
{
    return !opened_ && handle_.setUserName(userName);
}

bool FTPStream::setPassword(const QString& password)
{
    return !opened_ && handle_.setPassword(password);
}

void FTPStream::setSecurity(FTPSecurity security)
{
    handle_.setSecurity(security);
}

void FTPStream::setFetchResourceInfo(bool fetch)
{
    fetchResourceInfo_ = fetch && kind_ == Kind::Read;
}

void FTPStream::setKeepExistingFile(bool keep)
{
    keepExistingFile_ = keep && kind_ == Kind::Write && probeCommands_;
}

void FTPStream::setTimeout(std::chrono::milliseconds timeout)
{
    handle_.setTimeout(timeout);
}

void FTPStream::setDelegate(Delegate delegate)
{
    delegate_ = std::move(delegate);
}

bool FTPStream::open()
{
    const LibCurl& curl = LibCurl::get();
    if (opened_ || closed_)
        return false;
    opened_ = true;
    if (fetchResourceInfo_) {
        // First a transfer without a body, which asks for the size, then the retrieval itself on the
        // same handle (and the same logged-in connection).
        fetchingInfo_ = true;
        curl.easySetopt(handle_.get(), CURLOPT_NOBODY, 1L);
    }
    if (keepExistingFile_) {
        // First a transfer without a body, in which curl asks for the file's SIZE (and we for its
        // time), then the STOR on the same handle over the same logged-in connection, which is
        // kept for it.
        probing_ = true;
        CURL* easy = handle_.get();
        curl.easySetopt(easy, CURLOPT_UPLOAD, 0L);
        curl.easySetopt(easy, CURLOPT_NOBODY, 1L);
        curl.easySetopt(easy, CURLOPT_FORBID_REUSE, 0L);
        curl.easySetopt(easy, CURLOPT_POSTQUOTE, probeCommands_.get());
    }
    return true;
}

void FTPStream::scheduleInRunLoop(FTPRunLoop& loop)
{
    if (loop_ || closed_)
        return;
    loop_ = &loop;
    loop.addStream(shared_from_this());
}

void FTPStream::removeFromRunLoop()
{
    if (!loop_)
        return;
    FTPRunLoop* loop = loop_;
    loop_ = nullptr;
    loop->removeStream(this);
}

void FTPStream::close()
{
    closed_ = true;
    handle_.setGracefulClose(false);
    delegate_ = nullptr;
    removeFromRunLoop();
}

std::span<char> FTPStream::writeWindow()
{
    if (closed_ || writingFinished_ || !window_)
        return {};
    return {window_ + windowUsed_, windowLength_ - windowUsed_};
}

void FTPStream::commitWrite(std::size_t count)
{
    if (window_)
        windowUsed_ += std::min(count, windowLength_ - windowUsed_);
}

void FTPStream::finishWriting()
{
    writingFinished_ = true;
    handle_.setGracefulClose(true);
}

qint64 FTPStream::read(char* data, qint64 length)
{
    if (closed_)
        return -1;
    if (!window_)
        return atEnd_ ? 0 : -1;
    if (length <= 0)
        return 0;
    const size_t count = std::min(static_cast<size_t>(length), windowLength_ - windowUsed_);
    std::memcpy(data, window_ + windowUsed_, count);
    windowUsed_ += count;
    return static_cast<qint64>(count);
}

void FTPStream::deliver(FTPStreamEvent event)
{
    if (closed_ || !delegate_)
        return;
    // The delegate may close the stream and drop its reference while handling the event.
    std::shared_ptr<FTPStream> keepAlive = shared_from_this();
    Delegate delegate = delegate_;
    delegate(*this, event);
}

void FTPStream::deliverOpenOnce()
{
    if (openReported_)
        return;
    openReported_ = true;
    deliver(FTPStreamEvent::OpenCompleted);
}

size_t FTPStream::discardHeader(char*, size_t size, size_t count, void*)
{
    return size * count;
}

size_t FTPStream::readCallback(char* buffer, size_t size, size_t count, void* stream)
{
    return static_cast<FTPStream*>(stream)->fillUpload(buffer, size * count);
}

size_t FTPStream::writeCallback(char* data, size_t size, size_t count, void* stream)
{
    return static_cast<FTPStream*>(stream)->takeDownload(data, size * count);
}

size_t FTPStream::fillUpload(char* buffer, size_t capacity)
{
    deliverOpenOnce();
    if (closed_)
        return CURL_READFUNC_ABORT;
    window_ = buffer;
    windowLength_ = capacity;
    windowUsed_ = 0;
    while (windowUsed_ < windowLength_ && !writingFinished_ && !closed_) {
        const size_t before = windowUsed_;
        deliver(FTPStreamEvent::CanAcceptBytes);
        if (windowUsed_ == before)
            break;
    }
    window_ = nullptr;
    if (closed_)
        return CURL_READFUNC_ABORT;
    if (windowUsed_ > 0)
        return windowUsed_;
    // Returning 0 tells curl the file is complete, so only a finished writer may do it; a writer
    // that neither writes nor finishes has lost its data.
    return writingFinished_ ? 0 : CURL_READFUNC_ABORT;
}

size_t FTPStream::takeDownload(char* data, size_t length)
{
    // While asking for the size curl hands over its report as data too; it is not the file.
    if (fetchingInfo_)
        return length;
    deliverOpenOnce();
    if (closed_)
        return CURL_WRITEFUNC_ERROR;
    window_ = data;
    windowLength_ = length;
    windowUsed_ = 0;
    int idleEvents = 0;
    while (windowUsed_ < windowLength_ && !closed_) {
        const size_t before = windowUsed_;
        deliver(FTPStreamEvent::HasBytesAvailable);
        // The reader may spend an event or two writing out what it already holds.
        idleEvents = windowUsed_ == before ? idleEvents + 1 : 0;
        if (idleEvents > 2)
            break;
    }
    window_ = nullptr;
    if (closed_ || windowUsed_ < windowLength_)
        return CURL_WRITEFUNC_ERROR;
    return length;
}

void FTPStream::transferDidFinish(CURLcode result)
{
    const LibCurl& curl = LibCurl::get();
    if (closed_)
        return;
    // curl takes a refused SIZE for a missing file: then there is nothing to keep.
    if (probing_ && (result == CURLE_OK || result == CURLE_REMOTE_FILE_NOT_FOUND)) {
        probing_ = false;
        if (handle_.fileSizeReply() >= 0) {
            failure_.kind = FTPFailureKind::AlreadyOnServer;
            failure_.host = host();
            failure_.serverSize = handle_.fileSizeReply();
            failure_.serverTime = handle_.fileTimeReply();
            deliver(FTPStreamEvent::ErrorOccurred);
            return;
        }
        handle_.forgetFileFacts();
        CURL* easy = handle_.get();
        curl.easySetopt(easy, CURLOPT_NOBODY, 0L);
        curl.easySetopt(easy, CURLOPT_UPLOAD, 1L);
        curl.easySetopt(easy, CURLOPT_FORBID_REUSE, 1L);
        curl.easySetopt(easy, CURLOPT_POSTQUOTE, postCommands_.get());
        if (loop_)
            loop_->restartStream(this);
        return;
    }
    if (result == CURLE_OK && fetchingInfo_) {
        fetchingInfo_ = false;
        curl_off_t size = -1;
        if (curl.easyGetinfo(handle_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK)
            resourceSize_ = size;
        curl.easySetopt(handle_.get(), CURLOPT_NOBODY, 0L);
        if (loop_)
            loop_->restartStream(this);
        deliverOpenOnce();
        return;
    }
    if (result != CURLE_OK) {
        failure_ = handle_.failureFor(result);
        qInfo("ftp stream: %s (%s)", qUtf8Printable(failure_.reason), ftpFailureKindName(failure_.kind));
        deliver(FTPStreamEvent::ErrorOccurred);
        return;
    }
    atEnd_ = true;
    deliverOpenOnce();
    deliver(FTPStreamEvent::EndEncountered);
}

} // namespace airlark
