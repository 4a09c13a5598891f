#pragma once

#include <QString>
#include <optional>
#include <vector>

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

    friend bool operator==(const PodcastTagValues&, const PodcastTagValues&) = default;
};

// An episode's ID3 values, in the one list every layer shares: a template keeps them for its
// podcast (the basic ones in "id3_template", the podcast values it keeps in
// "id3_template_podcast"), the tag writer puts them into a file and reads them back, step 2 and
// the command line hand them to the save, the preflight check reads them. In a file, a value left
// as none leaves its frame alone and an empty text removes it; in a template, none is a NULL
// column.
//
// A new field is one member here, a column when templates keep it, and its frame in ID3TagValues'
// functions.
struct EpisodeTags
{
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album; // the podcast's name
    std::optional<QString> albumArtist;
    std::optional<QString> comment; // the episode's description
    std::optional<int> year;        // 0 or less removes it from a file
    PodcastTagValues podcast;

    friend bool operator==(const EpisodeTags&, const EpisodeTags&) = default;
};

} // namespace airlark
