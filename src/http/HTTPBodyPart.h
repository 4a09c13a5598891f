#pragma once

#include "http/HTTPInputStream.h"
#include "http/HTTPRequest.h"

#include <QByteArray>
#include <QStringConverter>
#include <QUrl>
#include <memory>
#include <variant>

namespace airlark {

// One part of a multipart/form-data body: boundary line, header block, content, and for the
// last part the closing line. Reads itself phase by phase into the caller's buffer.
//
// Phase changes happen on the reading thread (the session's worker). Nothing here needs the
// main thread, so a main thread that waits on an upload cannot deadlock it.
class HTTPBodyPart
{
public:
    enum Phase
    {
        EncapsulationBoundaryPhase = 1,
        HeaderPhase = 2,
        BodyPhase = 3,
        FinalBoundaryPhase = 4
    };
    using Body = std::variant<std::monostate, QByteArray, QUrl, std::shared_ptr<HTTPInputStream>>;

    HTTPBodyPart();

    QStringConverter::Encoding stringEncoding = QStringConverter::Utf8;
    QString boundary;
    HTTPHeaderFields headers;
    Body body;
    quint64 bodyContentLength = 0;
    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    Phase phase() const { return phase_; }
    qint64 phaseReadOffset() const { return phaseReadOffset_; }

    // The stream over the content, made on first use from `body`.
    HTTPInputStream& inputStream();
    // Why the last read failed: the input stream's error, or content that did not have
    // exactly bodyContentLength bytes (a file that changed since it was appended).
    std::optional<HTTPError> error() const;

    // Exact number of bytes this part produces: boundary line, header block, content, closing line.
    quint64 contentLength() const;
    bool hasBytesAvailable() const;
    // Reads up to `length` bytes; returns the count, or -1 when the content failed (see inputStream()).
    qint64 read(char* buffer, qint64 length);
    // Back to the first byte, with a fresh input stream on the next read.
    bool transitionToNextPhase();

    // A part with the same headers, content and boundary, not yet read.
    std::unique_ptr<HTTPBodyPart> copy() const;

private:
    QByteArray encapsulationBoundaryData() const;
    QByteArray headersData() const;
    QByteArray finalBoundaryData() const;
    qint64 readData(const QByteArray& data, char* buffer, qint64 length);
    qint64 readBody(char* buffer, qint64 length);

    Phase phase_ = EncapsulationBoundaryPhase;
    qint64 phaseReadOffset_ = 0;
    quint64 bodyBytesRead_ = 0;
    std::shared_ptr<HTTPInputStream> inputStream_;
    std::optional<HTTPError> error_;
};

} // namespace airlark
