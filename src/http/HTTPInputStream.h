#pragma once

#include "http/HTTPError.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>
#include <optional>

namespace airlark {

// A pull stream of bytes, read on one thread at a time (the sender's). Reads block; nothing
// needs a run loop. The end of the stream is a read of 0 bytes; a failure is a read of -1,
// after which streamError() says why.
class HTTPInputStream
{
public:
    enum class Status
    {
        NotOpen,
        Opening,
        Open,
        Reading,
        Writing,
        AtEnd,
        Closed,
        Error
    };

    virtual ~HTTPInputStream() = default;

    virtual void open() = 0;
    virtual void close() = 0;
    virtual qint64 read(char* buffer, qint64 maxLength) = 0;
    virtual bool hasBytesAvailable() const = 0;
    // Direct access to an internal buffer; our streams offer none.
    virtual bool getBuffer(const char** buffer, qint64* length) const;

    Status streamStatus() const { return status_; }
    std::optional<HTTPError> streamError() const { return error_; }

    // A fresh stream over the same content from its first byte, or nothing when the content
    // cannot be read again.
    virtual std::shared_ptr<HTTPInputStream> copy() const { return nullptr; }

protected:
    void setStatus(Status status) { status_ = status; }
    void fail(HTTPError error);

private:
    Status status_ = Status::NotOpen;
    std::optional<HTTPError> error_;
};

// Reads a byte array.
class DataInputStream final : public HTTPInputStream
{
public:
    explicit DataInputStream(QByteArray data);

    void open() override;
    void close() override;
    qint64 read(char* buffer, qint64 maxLength) override;
    bool hasBytesAvailable() const override;
    std::shared_ptr<HTTPInputStream> copy() const override;

private:
    QByteArray data_;
    qint64 offset_ = 0;
};

// Reads a file from disk in the reader's chunks; the file is opened on open(), not before.
class FileInputStream final : public HTTPInputStream
{
public:
    explicit FileInputStream(QString path);

    void open() override;
    void close() override;
    qint64 read(char* buffer, qint64 maxLength) override;
    bool hasBytesAvailable() const override;
    std::shared_ptr<HTTPInputStream> copy() const override;

private:
    QString path_;
    QFile file_;
};

} // namespace airlark
