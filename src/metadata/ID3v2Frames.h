#pragma once

// Frame-level helpers over TagLib's ID3v2 tag, shared by the writer and its self-check.
// Internal to the metadata library.

#include "metadata/EmbeddedArtwork.h"
#include "metadata/ID3TagValues.h"

#include <QString>
#include <optional>
#include <taglib/id3v2tag.h>
#include <taglib/tstring.h>

namespace airlark::id3 {

// TagLib's narrow strings default to Latin-1; everything crosses this boundary as UTF-8.
TagLib::String toTagLib(const QString& text);
QString fromTagLib(const TagLib::String& text);

// ID3 separates the values of a text frame with NUL, so a NUL inside a value would split it.
QString tagText(const QString& text);

// Replaces every frame `id` by one holding `text`, or removes them for an empty text. The frame is
// ISO-8859-1 when every character fits, else UTF-16 (the encodings ID3v2.3 has).
void setTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const QString& text);
QString textFrame(const TagLib::ID3v2::Tag& tag, const char* id);

// The English comment without a description (the one players show); comments with a description,
// such as the ones encoders leave for their own use, and comments in other languages are kept.
void setComment(TagLib::ID3v2::Tag& tag, const QString& text);
QString comment(const TagLib::ID3v2::Tag& tag);

void setYear(TagLib::ID3v2::Tag& tag, int year);

// Replaces the cover picture (front cover, or a picture of type "other", which many tools use for
// the cover) by `artwork`; other pictures are kept.
void setFrontCover(TagLib::ID3v2::Tag& tag, const EmbeddedArtwork& artwork);
bool hasFrontCover(const TagLib::ID3v2::Tag& tag, const EmbeddedArtwork& artwork);
// The bytes of the cover picture, empty when there is none.
QByteArray frontCover(const TagLib::ID3v2::Tag& tag);

// A number frame (TRCK, TPOS) holding `number`, or none for 0 or less; reading takes the number
// before a "/total", none when there is no number.
void setNumberFrame(TagLib::ID3v2::Tag& tag, const char* id, int number);
std::optional<int> numberFrame(const TagLib::ID3v2::Tag& tag, const char* id);

// The podcast's feed in WFED and TGID, with the podcast flag PCST; an empty URL removes all three.
// WFED is written as a text frame, as iTunes writes it and TagLib reads it.
void setPodcastFeed(TagLib::ID3v2::Tag& tag, const QString& url);
// The explicit mark, TXXX "ITUNESADVISORY" "1". Reading gives none without any advisory, false for
// another one (a "clean" mark).
void setExplicit(TagLib::ID3v2::Tag& tag, bool explicitContent);
std::optional<bool> explicitMark(const TagLib::ID3v2::Tag& tag);

// Replaces every CHAP and CTOC frame by `chapters` (each with its title) under one top-level,
// ordered table of contents; an empty list removes them. Reading gives them by start time.
void setChapters(TagLib::ID3v2::Tag& tag, const std::vector<ChapterMark>& chapters);
std::vector<ChapterMark> chapters(const TagLib::ID3v2::Tag& tag);

} // namespace airlark::id3
