#include "http/HTTPInputStream.h"

#include <cstring>

namespace airlark {

bool HTTPInputStream::getBuffer(const char**, qint64*) const
{
    return false;
}

void HTTPInputStream::fail(HTTPError error)
{
    error_ = std::move(error);
    status_ = Status::Error;
}

DataInputStream::DataInputStream(QByteArray data) : data_(std::move(data)) {}

void DataInputStream::open()
{
    if (streamStatus() == Status::NotOpen)
        setStatus(data_.isEmpty() ? Status::AtEnd : Status::Open);
}

void DataInputStream::close()
{
    setStatus(Status::Closed);
}

qint64 DataInputStream::read(char* buffer, qint64 maxLength)
{
    if (streamStatus() != Status::Open)
        return streamStatus() == Status::Error ? -1 : 0;
    const qint64 count = std::min<qint64>(maxLength, data_.size() - offset_);
    std::memcpy(buffer, data_.constData() + offset_, static_cast<size_t>(count));
    offset_ += count;
    if (offset_ == data_.size())
        setStatus(Status::AtEnd);
    return count;
}

bool DataInputStream::hasBytesAvailable() const
{
    return streamStatus() == Status::Open;
}

std::shared_ptr<HTTPInputStream> DataInputStream::copy() const
{
    return std::make_shared<DataInputStream>(data_);
}

FileInputStream::FileInputStream(QString path) : path_(std::move(path)), file_(path_) {}

void FileInputStream::open()
{
    if (streamStatus() != Status::NotOpen)
        return;
    if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamOpenFailed,
                       QStringLiteral("The file “%1” couldn’t be opened.").arg(path_), file_.errorString()));
        return;
    }
    setStatus(Status::Open);
}

void FileInputStream::close()
{
    file_.close();
    if (streamStatus() != Status::Error)
        setStatus(Status::Closed);
}

qint64 FileInputStream::read(char* buffer, qint64 maxLength)
{
    if (streamStatus() != Status::Open)
        return streamStatus() == Status::Error ? -1 : 0;
    const qint64 count = file_.read(buffer, maxLength);
    if (count < 0) {
        fail(HTTPError(QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamReadFailed,
                       QStringLiteral("The file “%1” couldn’t be read.").arg(path_), file_.errorString()));
        return -1;
    }
    if (count == 0)
        setStatus(Status::AtEnd);
    return count;
}

bool FileInputStream::hasBytesAvailable() const
{
    return streamStatus() == Status::Open;
}

std::shared_ptr<HTTPInputStream> FileInputStream::copy() const
{
    return std::make_shared<FileInputStream>(path_);
}

} // namespace airlark
