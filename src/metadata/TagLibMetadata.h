#pragma once

#include "metadata/EmbeddedArtwork.h"
#include "metadata/ID3TagValues.h"
#include "metadata/TagFileWrite.h"
#include "metadata/TagLibMetadataError.h"

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>
#include <stop_token>

namespace airlark {

// Airlark's thin layer over TagLib for the ID3 tags of one MP3 file.
//
// Values are handed over together and written by updateFile(), as an ID3v2.3 tag
// (text in ISO-8859-1 where every character fits, UTF-16 otherwise), which podcast players, car
// stereos and Windows read far more reliably than v2.4. Frames that Airlark does not set are
// kept. A value passed as none leaves the file's existing frame alone; an empty text removes it.
// An existing ID3v1 tag is kept in step for the fields it can hold; none is added.
//
// updateFile() never loses the episode. When the new tag fits in the space of the old one (its
// padding included), only that space is rewritten, under a journal that undoes a write cut short;
// the audio is never touched. Otherwise the episode is written anew beside itself, with generous
// padding so that the next save fits in place, checked, and exchanged with the original in one
// step. Either way it refuses to write when another program changed the file since it was read
// (found again after the exchange, which is then undone), and no other Airlark process writes the
// episode meanwhile. When it returns false the file on disk holds what it held before.
class TagLibMetadata
{
public:
    // Opens the MP3 file at `url`. Fails with an error when the file is missing, unreadable, not an MPEG
    // audio file, carries a damaged tag, or, unless `readOnly`, is not writable. A write of this file cut
    // short by a crash is undone first.
    static std::unique_ptr<TagLibMetadata> open(const QUrl& url, bool readOnly, TagLibMetadataError* error);

    ~TagLibMetadata();
    TagLibMetadata(const TagLibMetadata&) = delete;
    TagLibMetadata& operator=(const TagLibMetadata&) = delete;

    // The values the next updateFile() writes.
    void setValues(ID3TagValues values) { values_ = std::move(values); }

    // The values the file's ID3v2 tag holds now (none where it has no frame or no tag).
    std::optional<ID3TagValues> readTags() const;

    // Writes the values set so far into the file. True when the file now carries them. A stop
    // request is honoured until the write becomes final.
    bool updateFile(std::stop_token stop = {});
    // Why the last updateFile() failed.
    const std::optional<TagLibMetadataError>& lastError() const { return lastError_; }

    const QString& path() const { return path_; }

    // Every later updateFile() in this process calls into `probe` (tests only).
    static void setProbeForTesting(TagWriteProbe probe);

private:
    TagLibMetadata(QString path, bool readOnly) : path_(std::move(path)), readOnly_(readOnly) {}

    std::optional<TagLibMetadataError> write(std::stop_token stop);

    QString path_;
    bool readOnly_ = false;
    ID3TagValues values_;
    std::optional<TagLibMetadataError> lastError_;
};

} // namespace airlark
