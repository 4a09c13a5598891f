#pragma once

#include <QString>
#include <optional>

namespace airlark {

// The basic ID3 values of an episode, in the one list every layer shares: a template keeps them for
// its podcast, the tag writer puts them into a file and reads them back, step 2 and the command
// line hand them to the save. In a file, a value left as none leaves its frame alone and an empty
// text removes it; in a template, none is a NULL column.
//
// A new basic field is one member here, one column in "id3_template" when templates keep it, and
// one frame in ID3TagValues' functions.
struct EpisodeTags
{
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album; // the podcast's name
    std::optional<QString> albumArtist;
    std::optional<QString> comment; // the episode's description
    std::optional<int> year;        // 0 or less removes it from a file

    friend bool operator==(const EpisodeTags&, const EpisodeTags&) = default;
};

} // namespace airlark
