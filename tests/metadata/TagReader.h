#pragma once

// What a test finds in an MP3 file, read straight from TagLib (not through Airlark's tag layer).

#include "metadata/TagLibMetadata.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace airlark::test {

struct ReadBackTags
{
    bool valid = false;
    int id3v2Version = 0; // major version of the ID3v2 tag, 0 when there is none
    QString title, artist, album, albumArtist, genre;
    QString comment; // the English one without a description
    unsigned year = 0;
    QByteArray picture; // the front cover's bytes
    QString pictureMimeType;
    int pictureCount = 0;     // APIC frames of any type
    QByteArray titleEncoding; // "Latin1", "UTF16", ... of the title frame
    bool hasID3v1 = false;
    QString id3v1Title;
    long long audioOffset = -1; // first MPEG frame
    // A key per ID3v2 frame, in python3-mutagen's notation: "TIT2", "TXXX:<description>",
    // "COMM:<description>:<language>", "CHAP:<element>", "PRIV:<owner>", "RVA2:<identification>".
    QStringList frameKeys;
    // Every text frame (WFED and TXXX among them) by its key; chapters as "start-end title" in
    // milliseconds, in the order of their table of contents.
    QMap<QString, QString> texts;
    QStringList chapters;
};

ReadBackTags readTags(const QString& path);

// The same file read by python3-mutagen, an independent reader. `version` is 0 when mutagen cannot
// read a tag.
struct MutagenTags
{
    int version = 0;
    QStringList frameKeys;
    QString title;
    QMap<QString, QString> texts; // as in ReadBackTags
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
