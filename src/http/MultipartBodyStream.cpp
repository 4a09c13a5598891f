#include "http/MultipartBodyStream.h"

#include <chrono>
#include <thread>

namespace airlark {

MultipartBodyStream::MultipartBodyStream(QStringConverter::Encoding encoding) : stringEncoding(encoding) {}

void MultipartBodyStream::appendHTTPBodyPart(std::unique_ptr<HTTPBodyPart> part)
{
    parts_.push_back(std::move(part));
}

void MultipartBodyStream::setInitialAndFinalBoundaries()
{
    for (size_t i = 0; i < parts_.size(); ++i) {
        parts_[i]->hasInitialBoundary = i == 0;
        parts_[i]->hasFinalBoundary = i + 1 == parts_.size();
    }
}

void MultipartBodyStream::open()
{
    if (streamStatus() == Status::Open)
        return;
    setStatus(Status::Open);
    setInitialAndFinalBoundaries();
    currentPart_ = 0;
    started_ = true;
}

void MultipartBodyStream::close()
{
    if (streamStatus() != Status::Error)
        setStatus(Status::Closed);
}

qint64 MultipartBodyStream::read(char* buffer, qint64 maxLength)
{
    if (streamStatus() == Status::Error)
        return -1;
    if (streamStatus() != Status::Open)
        return 0;

    const qint64 limit = std::min(numberOfBytesInPacket, maxLength);
    qint64 total = 0;
    while (total < limit) {
        if (currentPart_ >= parts_.size())
            break;
        HTTPBodyPart& part = *parts_[currentPart_];
        if (!part.hasBytesAvailable()) {
            ++currentPart_;
            continue;
        }
        const qint64 count = part.read(buffer + total, limit - total);
        if (count < 0) {
            fail(part.error().value_or(
                HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamReadFailed,
                          QStringLiteral("A part of the request body could not be read."))));
            return -1;
        }
        total += count;
        if (delay > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    }
    return total;
}

bool MultipartBodyStream::hasBytesAvailable() const
{
    return streamStatus() == Status::Open;
}

quint64 MultipartBodyStream::contentLength() const
{
    quint64 length = 0;
    for (const auto& part : parts_)
        length += part->contentLength();
    return length;
}

std::shared_ptr<HTTPInputStream> MultipartBodyStream::copy() const
{
    auto stream = std::make_shared<MultipartBodyStream>(stringEncoding);
    stream->numberOfBytesInPacket = numberOfBytesInPacket;
    stream->delay = delay;
    for (const auto& part : parts_)
        stream->appendHTTPBodyPart(part->copy());
    stream->setInitialAndFinalBoundaries();
    return stream;
}

} // namespace airlark
