#pragma once

#include "metadata/EmbeddedArtwork.h"
#include "store/EpisodeTags.h"

#include <QString>
#include <optional>
#include <vector>

namespace TagLib::ID3v1 {
class Tag;
}
namespace TagLib::ID3v2 {
class Tag;
}

namespace airlark {

// One chapter of an episode, in milliseconds from the start of the audio (ID3 keeps 32 bits).
struct ChapterMark
{
    quint32 startMilliseconds = 0;
    quint32 endMilliseconds = 0;
    QString title;

    friend bool operator==(const ChapterMark&, const ChapterMark&) = default;
};

// The values that podcast apps and directories read beside the basic ones. The same rule holds: none
// leaves the file's frames alone, an empty text (or a number of 0 or less) removes them.
struct PodcastTagValues
{
    std::optional<QString> genre;           // TCON
    std::optional<int> episodeNumber;       // TRCK
    std::optional<int> seasonNumber;        // TPOS
    std::optional<QString> longDescription; // TDES, the description podcast apps show in full
    // WFED and TGID, with the podcast flag PCST: the frames that make players file the episode under
    // its podcast.
    std::optional<QString> feedURL;
    // TXXX "ITUNESADVISORY" set to "1". False removes that mark only, never a "clean" mark ("2")
    // that another tool set.
    std::optional<bool> explicitContent;
    // CHAP frames, in order, under one CTOC table of contents. An empty list removes them.
    std::optional<std::vector<ChapterMark>> chapters;
};

// Everything Airlark sets in an episode's tags: the basic values, the artwork and the podcast
// values. A value left as none leaves the file's frame alone; an empty text removes it.
//
// A new field is one member here (or in EpisodeTags) and one line in each of the functions below:
// the machinery that puts the tag into the file (in place or by a whole-file rewrite) works on bytes
// and never needs to know which frames there are.
struct ID3TagValues : EpisodeTags
{
    std::optional<EmbeddedArtwork> artwork;
    PodcastTagValues podcast;
};

void applyTo(TagLib::ID3v2::Tag& tag, const ID3TagValues& values);
// Within what ID3v1 can hold, so that an old ID3v1 tag does not contradict the new one.
void applyTo(TagLib::ID3v1::Tag& tag, const ID3TagValues& values);

// Whether `tag` carries every value that is set.
bool carries(const TagLib::ID3v2::Tag& tag, const ID3TagValues& values);

// Every value `tag` holds, none where it has no frame; the artwork is not read.
ID3TagValues valuesOf(const TagLib::ID3v2::Tag& tag);

} // namespace airlark
