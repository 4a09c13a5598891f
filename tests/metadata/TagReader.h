#pragma once

// What a test finds in an MP3 file, read straight from TagLib (not through Airlark's tag layer), and
// what python3-mutagen, an independent reader, finds in it.

#include "metadata/TagLibMetadata.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace airlark::test {

// Other frames are checked through mutagen's reading.
struct ReadBackTags
{
    QString title;
    QByteArray picture; // the front cover's bytes
    QString pictureMimeType;
};
ReadBackTags readTags(const QString& path);

struct MutagenTags
{
    int version = 0; // 0 when mutagen cannot read a tag
    QString title;
    QString titleEncoding; // "Latin1", "UTF16", ...
    int pictureCount = 0;
    // A key per frame in mutagen's notation ("TIT2", "TXXX:<description>", "COMM:<description>:<language>",
    // "CHAP:<element>", "PRIV:<owner>"); text frames' values by key; chapters as "start-end title" in
    // milliseconds, in table-of-contents order.
    QStringList frameKeys;
    QMap<QString, QString> texts;
    QStringList chapters;
};
MutagenTags readTagsWithMutagen(const QString& path);

// Puts `probe` into every tag write of this process while it lives.
struct ProbeForTest
{
    explicit ProbeForTest(TagWriteProbe probe) { TagLibMetadata::setProbeForTesting(std::move(probe)); }
    ~ProbeForTest() { TagLibMetadata::setProbeForTesting({}); }
};

} // namespace airlark::test
