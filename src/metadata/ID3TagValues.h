#pragma once

#include "metadata/EmbeddedArtwork.h"

#include <QString>
#include <optional>

namespace TagLib::ID3v1 {
class Tag;
}
namespace TagLib::ID3v2 {
class Tag;
}

namespace airlark {

// The values Airlark sets in an episode's tags. A value left as none leaves the file's frame
// alone; an empty text removes it.
//
// A new field is one member here and one line in each of the functions below: the machinery that
// puts the tag into the file (in place or by a whole-file rewrite) works on bytes and never needs
// to know which frames there are.
struct ID3TagValues
{
    std::optional<QString> artist;
    std::optional<EmbeddedArtwork> artwork;
    std::optional<QString> album;
    std::optional<QString> albumArtist;
    std::optional<QString> title;
    std::optional<QString> comment;
    std::optional<int> year; // 0 or less removes it
};

void applyTo(TagLib::ID3v2::Tag& tag, const ID3TagValues& values);
// Within what ID3v1 can hold, so that an old ID3v1 tag does not contradict the new one.
void applyTo(TagLib::ID3v1::Tag& tag, const ID3TagValues& values);

// Whether `tag` carries every value that is set.
bool carries(const TagLib::ID3v2::Tag& tag, const ID3TagValues& values);

// The texts and the year `tag` holds, none where it has no frame; the artwork is not read.
ID3TagValues textValuesOf(const TagLib::ID3v2::Tag& tag);

} // namespace airlark
