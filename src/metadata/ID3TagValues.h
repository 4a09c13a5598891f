#pragma once

#include "metadata/EmbeddedArtwork.h"
#include "store/EpisodeTags.h"

#include <QString>
#include <optional>

namespace TagLib::ID3v1 {
class Tag;
}
namespace TagLib::ID3v2 {
class Tag;
}

namespace airlark {

// Everything Airlark sets in an episode's tags: its values and the artwork. A value left as none
// leaves the file's frame alone; an empty text removes it.
//
// A new field is one member in EpisodeTags (or here) and one line in each of the functions below:
// the machinery that puts the tag into the file (in place or by a whole-file rewrite) works on bytes
// and never needs to know which frames there are.
struct ID3TagValues : EpisodeTags
{
    std::optional<EmbeddedArtwork> artwork;
};

void applyTo(TagLib::ID3v2::Tag& tag, const ID3TagValues& values);
// Within what ID3v1 can hold, so that an old ID3v1 tag does not contradict the new one.
void applyTo(TagLib::ID3v1::Tag& tag, const ID3TagValues& values);

// Whether `tag` carries every value that is set.
bool carries(const TagLib::ID3v2::Tag& tag, const ID3TagValues& values);

// Every value `tag` holds, none where it has no frame; the artwork is not read.
ID3TagValues valuesOf(const TagLib::ID3v2::Tag& tag);

} // namespace airlark
