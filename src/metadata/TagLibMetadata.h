#pragma once

#include "metadata/EmbeddedArtwork.h"

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace airlark {

// Why the tag layer could not open or update a file.
enum class TagLibMetadataErrorCode
{
    FileNotFound,  // no file at that location (or not a local file)
    NotAFile,      // a folder or another kind of entry
    NotReadable,   // no permission to read it
    NotWritable,   // no permission to write it, or marked read-only
    NotAnMPEGFile, // no MPEG audio stream in it (not an MP3, empty, or damaged beyond use)
    WriteFailed,   // the new tag could not be written, checked or put in place
};

struct TagLibMetadataError
{
    TagLibMetadataErrorCode code = TagLibMetadataErrorCode::WriteFailed;
    QString message;
};

QString printable(const TagLibMetadataError& error);

// Airlark's thin layer over TagLib for the ID3 tags of one MP3 file.
//
// Values are collected by the setters and written together by updateFile(), as an ID3v2.3 tag
// (text in ISO-8859-1 where every character fits, UTF-16 otherwise), which podcast players, car
// stereos and Windows read far more reliably than v2.4. Frames that Airlark does not set are
// kept. A value passed as none leaves the file's existing frame alone; an empty text removes it.
// An existing ID3v1 tag is kept in step for the fields it can hold; none is added.
//
// updateFile() never damages the file: it edits a copy beside it, reads the copy back, checks that
// the audio stream is unchanged, and only then renames the copy over the original. When it
// returns false the file on disk is byte-identical to before.
class TagLibMetadata
{
public:
    // Opens the MP3 file at `url` (initWithURL:openReadOnly:error:). Fails with an error when the
    // file is missing, unreadable, not an MPEG audio file, or, unless `readOnly`, not writable.
    static std::unique_ptr<TagLibMetadata> open(const QUrl& url, bool readOnly, TagLibMetadataError* error);

    ~TagLibMetadata();
    TagLibMetadata(const TagLibMetadata&) = delete;
    TagLibMetadata& operator=(const TagLibMetadata&) = delete;

    void setArtist(const std::optional<QString>& artist) { artist_ = artist; }
    void setArtwork(const std::optional<EmbeddedArtwork>& artwork) { artwork_ = artwork; }
    void setAlbum(const std::optional<QString>& album) { album_ = album; }
    void setAlbumArtist(const std::optional<QString>& albumArtist) { albumArtist_ = albumArtist; }
    void setTitle(const std::optional<QString>& title) { title_ = title; }
    void setComment(const std::optional<QString>& comment) { comment_ = comment; }
    void setYear(int year) { year_ = year; }

    // Writes the values set so far into the file. True when the file now carries them.
    bool updateFile();
    // Why the last updateFile() failed.
    const std::optional<TagLibMetadataError>& lastError() const { return lastError_; }

    const QString& path() const { return path_; }

private:
    TagLibMetadata(QString path, bool readOnly) : path_(std::move(path)), readOnly_(readOnly) {}

    bool applyAndSave(const QString& workingCopy, QString* reason) const;
    bool verify(const QString& original, const QString& workingCopy, QString* reason) const;

    QString path_;
    bool readOnly_ = false;
    std::optional<QString> artist_;
    std::optional<EmbeddedArtwork> artwork_;
    std::optional<QString> album_;
    std::optional<QString> albumArtist_;
    std::optional<QString> title_;
    std::optional<QString> comment_;
    std::optional<int> year_;
    std::optional<TagLibMetadataError> lastError_;
};

} // namespace airlark
