#include "http/HTTPBodyPart.h"

#include <QStringEncoder>
#include <cstring>

namespace airlark {

namespace {

const QByteArray CRLF = QByteArrayLiteral("\r\n");

HTTPError lengthMismatch(quint64 expected)
{
    return HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamLengthMismatch,
                     QStringLiteral("The file changed while it was being sent."),
                     QStringLiteral("Expected exactly %1 bytes of content.").arg(expected));
}

} // namespace

HTTPBodyPart::HTTPBodyPart() = default;

HTTPInputStream& HTTPBodyPart::inputStream()
{
    if (!inputStream_) {
        if (const auto* data = std::get_if<QByteArray>(&body))
            inputStream_ = std::make_shared<DataInputStream>(*data);
        else if (const auto* url = std::get_if<QUrl>(&body))
            inputStream_ = std::make_shared<FileInputStream>(url->toLocalFile());
        else if (const auto* stream = std::get_if<std::shared_ptr<HTTPInputStream>>(&body); stream && *stream)
            inputStream_ = *stream;
        else
            inputStream_ = std::make_shared<DataInputStream>(QByteArray());
    }
    return *inputStream_;
}

std::optional<HTTPError> HTTPBodyPart::error() const
{
    if (error_)
        return error_;
    return inputStream_ ? inputStream_->streamError() : std::nullopt;
}

QByteArray HTTPBodyPart::encapsulationBoundaryData() const
{
    QStringEncoder encoder(stringEncoding);
    const QByteArray line = QByteArray("--") + QByteArray(encoder(boundary)) + CRLF;
    return hasInitialBoundary ? line : CRLF + line;
}

QByteArray HTTPBodyPart::headersData() const
{
    QStringEncoder encoder(stringEncoding);
    QString text;
    for (const auto& field : headers.fields())
        text += field.first + QStringLiteral(": ") + field.second + QStringLiteral("\r\n");
    text += QStringLiteral("\r\n");
    return encoder(text);
}

QByteArray HTTPBodyPart::finalBoundaryData() const
{
    if (!hasFinalBoundary)
        return {};
    QStringEncoder encoder(stringEncoding);
    return CRLF + QByteArray("--") + QByteArray(encoder(boundary)) + QByteArray("--") + CRLF;
}

quint64 HTTPBodyPart::contentLength() const
{
    return static_cast<quint64>(encapsulationBoundaryData().size() + headersData().size() +
                                finalBoundaryData().size()) +
           bodyContentLength;
}

bool HTTPBodyPart::hasBytesAvailable() const
{
    if (phase_ == FinalBoundaryPhase)
        return true;
    if (!inputStream_)
        return true; // not opened yet
    switch (inputStream_->streamStatus()) {
    case HTTPInputStream::Status::NotOpen:
    case HTTPInputStream::Status::Opening:
    case HTTPInputStream::Status::Open:
    case HTTPInputStream::Status::Reading:
    case HTTPInputStream::Status::Writing:
        return true;
    case HTTPInputStream::Status::AtEnd:
        // At the end of the content but the body phase has not moved on yet.
        return phase_ == BodyPhase;
    case HTTPInputStream::Status::Closed:
    case HTTPInputStream::Status::Error:
        return false;
    }
    return false;
}

qint64 HTTPBodyPart::read(char* buffer, qint64 length)
{
    qint64 total = 0;
    if (phase_ == EncapsulationBoundaryPhase)
        total += readData(encapsulationBoundaryData(), buffer + total, length - total);
    if (phase_ == HeaderPhase)
        total += readData(headersData(), buffer + total, length - total);
    if (phase_ == BodyPhase) {
        const qint64 count = readBody(buffer + total, length - total);
        if (count < 0)
            return -1;
        total += count;
    }
    if (phase_ == FinalBoundaryPhase)
        total += readData(finalBoundaryData(), buffer + total, length - total);
    return total;
}

qint64 HTTPBodyPart::readData(const QByteArray& data, char* buffer, qint64 length)
{
    const qint64 count = std::min<qint64>(data.size() - phaseReadOffset_, length);
    if (count > 0) {
        std::memcpy(buffer, data.constData() + phaseReadOffset_, static_cast<size_t>(count));
        phaseReadOffset_ += count;
    }
    if (phaseReadOffset_ >= data.size())
        transitionToNextPhase();
    return std::max<qint64>(count, 0);
}

// Reads exactly bodyContentLength bytes: the length went into "Content-Length" when the part was
// appended, so a file that has since grown or shrunk would corrupt the form or stall the upload.
qint64 HTTPBodyPart::readBody(char* buffer, qint64 length)
{
    HTTPInputStream& stream = inputStream();
    const quint64 remaining = bodyContentLength - bodyBytesRead_;
    if (remaining == 0) {
        char probe = 0;
        const qint64 extra = stream.read(&probe, 1);
        if (extra < 0)
            return -1;
        if (extra > 0) {
            error_ = lengthMismatch(bodyContentLength);
            return -1;
        }
        transitionToNextPhase();
        return 0;
    }
    if (length <= 0)
        return 0;
    const qint64 count =
        stream.read(buffer, static_cast<qint64>(std::min<quint64>(remaining, static_cast<quint64>(length))));
    if (count < 0)
        return -1;
    if (count == 0) {
        error_ = lengthMismatch(bodyContentLength);
        return -1;
    }
    bodyBytesRead_ += static_cast<quint64>(count);
    if (bodyBytesRead_ == bodyContentLength && count < length) {
        // Room is left in the buffer: confirm the end now rather than on the next read.
        const qint64 more = readBody(buffer + count, length - count);
        if (more < 0)
            return -1;
        return count + more;
    }
    return count;
}

bool HTTPBodyPart::transitionToNextPhase()
{
    switch (phase_) {
    case EncapsulationBoundaryPhase:
        phase_ = HeaderPhase;
        break;
    case HeaderPhase:
        phase_ = BodyPhase;
        bodyBytesRead_ = 0;
        inputStream().open();
        break;
    case BodyPhase:
        inputStream().close();
        phase_ = FinalBoundaryPhase;
        break;
    case FinalBoundaryPhase:
        phase_ = EncapsulationBoundaryPhase;
        break;
    }
    phaseReadOffset_ = 0;
    return true;
}

std::unique_ptr<HTTPBodyPart> HTTPBodyPart::copy() const
{
    auto part = std::make_unique<HTTPBodyPart>();
    part->stringEncoding = stringEncoding;
    part->boundary = boundary;
    part->headers = headers;
    part->body = body;
    if (const auto* stream = std::get_if<std::shared_ptr<HTTPInputStream>>(&body); stream && *stream) {
        if (auto fresh = (*stream)->copy())
            part->body = std::move(fresh);
    }
    part->bodyContentLength = bodyContentLength;
    part->hasInitialBoundary = hasInitialBoundary;
    part->hasFinalBoundary = hasFinalBoundary;
    return part;
}

} // namespace airlark
