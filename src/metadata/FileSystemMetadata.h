#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace airlark {

// Facts about one audio file for the metadata step: name and size from the file system, duration
// from the audio stream (TagLib's audio properties). Read once, at construction; every reader
// yields nothing when its fact could not be obtained (for example when the file is gone).
class FileSystemMetadata
{
public:
    explicit FileSystemMetadata(const QUrl& url);

    std::optional<QString> fileName() const { return fileName_; }
    std::optional<qint64> fileSize() const { return fileSize_; }
    // Whole seconds, a fraction truncated toward zero.
    std::optional<qint64> durationSeconds() const
    {
        return durationMilliseconds_ ? std::optional<qint64>(*durationMilliseconds_ / 1000) : std::nullopt;
    }
    std::optional<qint64> durationMilliseconds() const { return durationMilliseconds_; }

private:
    std::optional<QString> fileName_;
    std::optional<qint64> fileSize_;
    std::optional<qint64> durationMilliseconds_;
};

// "%02u:%02u:%02u" of hours, minutes and seconds; hours above 99 print with more digits.
QString formattedDuration(qint64 seconds);

} // namespace airlark
