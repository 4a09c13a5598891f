#include "metadata/ID3TagValues.h"

#include "metadata/ID3v2Frames.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>

namespace airlark {
namespace {

std::optional<QString> present(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

void applyPodcastValues(TagLib::ID3v2::Tag& tag, const PodcastTagValues& values)
{
    if (values.genre)
        id3::setTextFrame(tag, "TCON", *values.genre);
    if (values.episodeNumber)
        id3::setNumberFrame(tag, "TRCK", *values.episodeNumber);
    if (values.seasonNumber)
        id3::setNumberFrame(tag, "TPOS", *values.seasonNumber);
    if (values.longDescription)
        id3::setTextFrame(tag, "TDES", *values.longDescription);
    if (values.feedURL)
        id3::setPodcastFeed(tag, *values.feedURL);
    if (values.explicitContent)
        id3::setExplicit(tag, *values.explicitContent);
    if (values.chapters)
        id3::setChapters(tag, *values.chapters);
}

bool carriesPodcastValues(const TagLib::ID3v2::Tag& tag, const PodcastTagValues& values)
{
    const auto same = [&tag](const char* id, const std::optional<QString>& value) {
        return !value || id3::textFrame(tag, id) == id3::tagText(*value);
    };
    const auto sameNumber = [&tag](const char* id, const std::optional<int>& value) {
        return !value || id3::numberFrame(tag, id).value_or(0) == qMax(0, *value);
    };
    std::vector<ChapterMark> chapters;
    if (values.chapters)
        for (ChapterMark mark : *values.chapters)
            chapters.push_back({mark.startMilliseconds, mark.endMilliseconds, id3::tagText(mark.title)});
    return same("TCON", values.genre) && sameNumber("TRCK", values.episodeNumber) &&
           sameNumber("TPOS", values.seasonNumber) && same("TDES", values.longDescription) &&
           same("WFED", values.feedURL) &&
           (!values.explicitContent || id3::explicitMark(tag).value_or(false) == *values.explicitContent) &&
           (!values.chapters || id3::chapters(tag) == chapters);
}

} // namespace

void applyTo(TagLib::ID3v2::Tag& tag, const ID3TagValues& values)
{
    const auto text = [&tag](const char* id, const std::optional<QString>& value) {
        if (value)
            id3::setTextFrame(tag, id, *value);
    };
    text("TPE1", values.artist);
    if (values.artwork)
        id3::setFrontCover(tag, *values.artwork);
    text("TALB", values.album);
    text("TPE2", values.albumArtist);
    text("TIT2", values.title);
    if (values.comment)
        id3::setComment(tag, *values.comment);
    if (values.year)
        id3::setYear(tag, *values.year);
    applyPodcastValues(tag, values.podcast);
}

void applyTo(TagLib::ID3v1::Tag& tag, const ID3TagValues& values)
{
    // ID3v1 holds Latin-1 only, and TagLib leaves out a whole text that does not fit: keep what
    // fits, with a question mark for each character that does not.
    const auto text = [](const std::optional<QString>& value) {
        QString latin1;
        for (const char32_t c : id3::tagText(*value).toUcs4())
            latin1 += c <= 0xFF ? QChar(c) : QLatin1Char('?');
        return id3::toTagLib(latin1);
    };
    if (values.artist)
        tag.setArtist(text(values.artist));
    if (values.album)
        tag.setAlbum(text(values.album));
    if (values.title)
        tag.setTitle(text(values.title));
    if (values.comment)
        tag.setComment(text(values.comment));
    if (values.year)
        tag.setYear(static_cast<unsigned>(qMax(0, *values.year)));
    if (values.podcast.genre)
        tag.setGenre(text(values.podcast.genre)); // a genre outside ID3v1's list becomes "none"
    if (values.podcast.episodeNumber)
        tag.setTrack(static_cast<unsigned>(qBound(0, *values.podcast.episodeNumber, 255)));
}

bool carries(const TagLib::ID3v2::Tag& tag, const ID3TagValues& values)
{
    const auto same = [&tag](const char* id, const std::optional<QString>& value) {
        return !value || id3::textFrame(tag, id) == id3::tagText(*value);
    };
    return same("TPE1", values.artist) && same("TALB", values.album) && same("TPE2", values.albumArtist) &&
           same("TIT2", values.title) &&
           (!values.comment || id3::comment(tag) == id3::tagText(*values.comment)) &&
           (!values.year || *values.year <= 0 || tag.year() == static_cast<unsigned>(*values.year)) &&
           (!values.artwork || id3::hasFrontCover(tag, *values.artwork)) &&
           carriesPodcastValues(tag, values.podcast);
}

ID3TagValues valuesOf(const TagLib::ID3v2::Tag& tag)
{
    ID3TagValues values;
    values.artist = present(id3::textFrame(tag, "TPE1"));
    values.album = present(id3::textFrame(tag, "TALB"));
    values.albumArtist = present(id3::textFrame(tag, "TPE2"));
    values.title = present(id3::textFrame(tag, "TIT2"));
    values.comment = present(id3::comment(tag));
    if (tag.year() > 0)
        values.year = static_cast<int>(tag.year());
    PodcastTagValues& podcast = values.podcast;
    podcast.genre = present(id3::fromTagLib(tag.genre())); // ID3v1 genre numbers as their names
    podcast.episodeNumber = id3::numberFrame(tag, "TRCK");
    podcast.seasonNumber = id3::numberFrame(tag, "TPOS");
    podcast.longDescription = present(id3::textFrame(tag, "TDES"));
    podcast.feedURL = present(id3::textFrame(tag, "WFED"));
    podcast.explicitContent = id3::explicitMark(tag);
    podcast.chapters = id3::chapters(tag);
    return values;
}

} // namespace airlark
