#pragma once

// What a test finds in an MP3 file, read straight from TagLib (not through Airlark's tag layer).

#include <QByteArray>
#include <QString>
#include <optional>

namespace airlark::test {

struct ReadBackTags
{
    bool valid = false;
    int id3v2Version = 0; // major version of the ID3v2 tag, 0 when there is none
    QString title, artist, album, albumArtist, comment, genre;
    unsigned year = 0;
    QByteArray picture; // the front cover's bytes
    QString pictureMimeType;
    int pictureCount = 0;     // APIC frames of any type
    QByteArray titleEncoding; // "Latin1", "UTF16", ... of the title frame
    bool hasID3v1 = false;
    QString id3v1Title;
    long long audioOffset = -1; // first MPEG frame
};

ReadBackTags readTags(const QString& path);

} // namespace airlark::test
