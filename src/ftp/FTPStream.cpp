#include "ftp/FTPStream.h"

#include "ftp/FTPRunLoop.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace airlark {

namespace {

// curl's buffer for outgoing data; larger than the client's chunk so that one send carries several.
constexpr long UploadBufferSize = 256 * 1024;
constexpr long DownloadBufferSize = 64 * 1024;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

bool isSafeFTPText(const QString& text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) && !text.contains(QChar(0));
}

std::shared_ptr<FTPStream> FTPStream::createWriteStreamWithFTPURL(const QUrl& url)
{
    if (!url.isValid() || url.scheme() != QLatin1String("ftp"))
        return nullptr;
    std::shared_ptr<FTPStream> stream(new FTPStream(Kind::Write, url));
    return stream->easy_ ? stream : nullptr;
}

std::shared_ptr<FTPStream> FTPStream::createReadStreamWithFTPURL(const QUrl& url)
{
    if (!url.isValid() || url.scheme() != QLatin1String("ftp"))
        return nullptr;
    std::shared_ptr<FTPStream> stream(new FTPStream(Kind::Read, url));
    return stream->easy_ ? stream : nullptr;
}

FTPStream::FTPStream(Kind kind, const QUrl& url) : kind_(kind), url_(url)
{
    initialiseCurlOnce();
    easy_.reset(curl_easy_init());
    if (!easy_)
        return;
    CURL* easy = easy_.get();
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    // The control connection is idle while a long upload runs; keep routers from forgetting it
    // before the server's final reply.
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPIDLE, 60L);
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPINTVL, 30L);

    QUrl target = url;
    const QString path = url.path(QUrl::FullyDecoded);
    if (kind == Kind::Write && path.endsWith(QLatin1Char('/')) && path.size() > 1) {
        // A write stream on a directory URL creates that directory: change to its parent, then MKD.
        QString parent = path.chopped(1);
        const QString folder = parent.mid(parent.lastIndexOf(QLatin1Char('/')) + 1);
        parent.chop(folder.size());
        target.setPath(parent, QUrl::DecodedMode);
        postCommands_.reset(curl_slist_append(nullptr, (QStringLiteral("MKD ") + folder).toUtf8().constData()));
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTQUOTE, postCommands_.get());
    } else if (kind == Kind::Write) {
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &FTPStream::readCallback);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
    } else {
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, DownloadBufferSize);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &FTPStream::writeCallback);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    }
    // curl reports what it learns about a file as header lines; they are not the file's data.
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &FTPStream::discardHeader);
    curl_easy_setopt(easy, CURLOPT_URL, target.toString(QUrl::FullyEncoded).toUtf8().constData());
    setTimeout(std::chrono::seconds(30));
}

FTPStream::~FTPStream() = default;

bool FTPStream::setUserName(const QString& userName)
{
    if (!isSafeFTPText(userName) || opened_)
        return false;
    return curl_easy_setopt(easy_.get(), CURLOPT_USERNAME, userName.toUtf8().constData()) == CURLE_OK;
}

bool FTPStream::setPassword(const QString& password)
{
    if (!isSafeFTPText(password) || opened_)
        return false;
    return curl_easy_setopt(easy_.get(), CURLOPT_PASSWORD, password.toUtf8().constData()) == CURLE_OK;
}

void FTPStream::setFetchResourceInfo(bool fetch)
{
    fetchResourceInfo_ = fetch && kind_ == Kind::Read;
}

void FTPStream::setTimeout(std::chrono::milliseconds timeout)
{
    const long milliseconds = std::max<long>(1, static_cast<long>(timeout.count()));
    const long seconds = std::max<long>(1, (milliseconds + 999) / 1000);
    CURL* easy = easy_.get();
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, milliseconds);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    // A data connection that moves nothing for that long is dead too.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, seconds);
}

void FTPStream::setDelegate(Delegate delegate)
{
    delegate_ = std::move(delegate);
}

bool FTPStream::open()
{
    if (opened_ || closed_)
        return false;
    opened_ = true;
    if (fetchResourceInfo_) {
        // First a transfer without a body, which asks for the size, then the retrieval itself on the
        // same handle (and the same logged-in connection).
        fetchingInfo_ = true;
        curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
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
    delegate_ = nullptr;
    removeFromRunLoop();
}

qint64 FTPStream::write(const char* data, qint64 length)
{
    if (closed_ || writingFinished_)
        return -1;
    if (!window_ || length <= 0)
        return 0;
    const size_t count = std::min(static_cast<size_t>(length), windowLength_ - windowUsed_);
    std::memcpy(window_ + windowUsed_, data, count);
    windowUsed_ += count;
    return static_cast<qint64>(count);
}

void FTPStream::finishWriting()
{
    writingFinished_ = true;
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

QString FTPStream::errorDescription() const
{
    if (errorBuffer_[0] != '\0')
        return QString::fromUtf8(errorBuffer_);
    return QString::fromUtf8(curl_easy_strerror(errorCode_));
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
    if (closed_)
        return;
    if (result == CURLE_OK && fetchingInfo_) {
        fetchingInfo_ = false;
        curl_off_t size = -1;
        if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK)
            resourceSize_ = size;
        curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 0L);
        if (loop_)
            loop_->restartStream(this);
        deliverOpenOnce();
        return;
    }
    if (result != CURLE_OK) {
        errorCode_ = result;
        qInfo("ftp stream: %s", qUtf8Printable(errorDescription()));
        deliver(FTPStreamEvent::ErrorOccurred);
        return;
    }
    atEnd_ = true;
    deliverOpenOnce();
    deliver(FTPStreamEvent::EndEncountered);
}

} // namespace airlark
