#pragma once

// Where the tags sit in an MP3 file, read from its bytes. Internal to the metadata library.

#include "metadata/TagLibMetadataError.h"

#include <QByteArray>
#include <optional>

namespace airlark {

struct ID3TagLayout
{
    qint64 fileSize = 0;
    // The ID3v2 tag at the start of the file as it stands there (header, frames, padding, footer);
    // empty when the file has none. Everything after it up to audioEnd is the audio, never rewritten.
    QByteArray tag;
    // Where the audio (and any other trailing tag, such as APE) ends: the start of the ID3v1 tag,
    // or the end of the file.
    qint64 audioEnd = 0;
    // The 128-byte ID3v1 tag at the end of the file, or empty.
    QByteArray id3v1;
};

// Reads the layout of the file open as `fd`, `fileSize` bytes long. A tag whose size field cannot
// be right (not a syncsafe number, past the end of the file, or covering MPEG audio frames) is
// reported as a damaged tag when the file holds audio, so that the audio is never written over.
std::optional<ID3TagLayout> readID3TagLayout(int fd, qint64 fileSize, TagLibMetadataError* error);

// Whether `bytes` from `from` on hold a run of consecutive MPEG audio frames.
bool containsMPEGAudio(const QByteArray& bytes, qsizetype from = 0);

} // namespace airlark
