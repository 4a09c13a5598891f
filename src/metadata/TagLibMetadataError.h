#pragma once

#include <QString>

namespace airlark {

// Why the tag layer could not open or update a file.
enum class TagLibMetadataErrorCode
{
    FileNotFound,     // no file at that location (or not a local file)
    NotAFile,         // a folder or another kind of entry
    NotReadable,      // no permission to read it
    NotWritable,      // no permission to write it, or marked read-only
    NotAnMPEGFile,    // no MPEG audio stream in it (not an MP3, empty, or damaged beyond use)
    DamagedTag,       // playable audio behind an ID3 tag whose size field is wrong
    NotEnoughSpace,   // the file system is full (or the user's quota used up)
    ChangedMeanwhile, // another program changed or replaced the file during the save
    Cancelled,        // the save was asked to stop before it was final
    WriteFailed,      // the new tag could not be written, checked or put in place
};

struct TagLibMetadataError
{
    TagLibMetadataErrorCode code = TagLibMetadataErrorCode::WriteFailed;
    // In words a podcaster understands: the cause and, where there is one, what to do.
    QString message;
    // False only when a failed in-place write could not be undone at once (the journal will undo it
    // at the next start).
    bool fileUnchanged = true;
};

QString printable(const TagLibMetadataError& error);

} // namespace airlark
