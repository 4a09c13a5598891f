#pragma once

#include "http/HTTPBodyPart.h"
#include "http/HTTPInputStream.h"

#include <QStringConverter>
#include <limits>
#include <memory>
#include <vector>

namespace airlark {

// The body of a multipart/form-data request, produced part by part on demand. File parts are
// read from disk in the reader's chunks; only boundary lines and header blocks live in memory.
class MultipartBodyStream final : public HTTPInputStream
{
public:
    explicit MultipartBodyStream(QStringConverter::Encoding encoding = QStringConverter::Utf8);

    QStringConverter::Encoding stringEncoding;
    // Most bytes returned by one read, and seconds to sleep after each part read (for tests of
    // slow networks).
    qint64 numberOfBytesInPacket = std::numeric_limits<qint64>::max();
    double delay = 0;

    const std::vector<std::unique_ptr<HTTPBodyPart>>& HTTPBodyParts() const { return parts_; }
    void appendHTTPBodyPart(std::unique_ptr<HTTPBodyPart> part);
    bool isEmpty() const { return parts_.empty(); }
    // First part: initial boundary; last part: final boundary; all others neither.
    void setInitialAndFinalBoundaries();

    void open() override;
    void close() override;
    qint64 read(char* buffer, qint64 maxLength) override;
    // True exactly while open: the end of the body is a read of 0 bytes.
    bool hasBytesAvailable() const override;
    // The exact number of bytes the stream produces.
    quint64 contentLength() const;
    // A new stream with copies of every part, from the first byte.
    std::shared_ptr<HTTPInputStream> copy() const override;

private:
    std::vector<std::unique_ptr<HTTPBodyPart>> parts_;
    size_t currentPart_ = 0;
    bool started_ = false;
};

} // namespace airlark
