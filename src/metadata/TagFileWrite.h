#pragma once

// The two ways a new tag reaches the episode on disk: in place, when it fits in the space of the
// old one, or by writing a new file beside it and exchanging it with the episode. Both work on bytes
// prepared beforehand and know nothing of frames. Internal to the metadata library.

#include "metadata/FileIO.h"
#include "metadata/TagJournal.h"
#include "metadata/TagLibMetadataError.h"

#include <functional>
#include <optional>
#include <stop_token>

namespace airlark {

// Test seams into a tag write, called on the thread that runs it.
struct TagWriteProbe
{
    // Once the new tag (or the new file) is ready, right before the last check that the episode is
    // still the file that was read (for a whole-file rewrite, right before the exchange that is
    // checked).
    std::function<void()> beforeCommit;
    // After the first region of an in-place write is on disk; false makes the write fail there.
    std::function<bool()> afterFirstWrite;
};

struct TagWriteContext
{
    int episode = -1;              // open for reading and writing
    QString path;                  // its canonical path
    fileio::FileIdentity identity; // as it was when its tags were read
    QByteArray tag;                // the ID3v2 tag as it must read back from offset 0
    std::function<bool(const QByteArray&)> parsesAsIntended; // checks the tag read back
    TagWriteProbe probe;
    std::stop_token stop;
};

// Writes each region's `after` bytes over its `before` bytes, under a journal, then flushes and
// reads them back; on any failure the old bytes are put back.
std::optional<TagLibMetadataError> writeInPlace(const TagWriteContext& context,
                                                const QList<TagJournal::Region>& regions);

// Writes `context.tag`, the episode's bytes from `audioBegin` to `audioEnd` and `id3v1` into a new
// file beside the episode, checks it, and exchanges it with the episode (renameat2's
// RENAME_EXCHANGE) under the episode's lock; the old episode is checked once it is out of the way
// and exchanged back if another program changed it after it was read. The episode is untouched
// until the exchange; a file system without the exchange refuses the save.
std::optional<TagLibMetadataError> rewriteWholeFile(const TagWriteContext& context, qint64 audioBegin,
                                                    qint64 audioEnd, const QByteArray& id3v1);

} // namespace airlark
