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
}

void applyTo(TagLib::ID3v1::Tag& tag, const ID3TagValues& values)
{
    const auto text = [](const std::optional<QString>& value) { return id3::toTagLib(id3::tagText(*value)); };
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
           (!values.artwork || id3::hasFrontCover(tag, *values.artwork));
}

ID3TagValues textValuesOf(const TagLib::ID3v2::Tag& tag)
{
    ID3TagValues values;
    values.artist = present(id3::textFrame(tag, "TPE1"));
    values.album = present(id3::textFrame(tag, "TALB"));
    values.albumArtist = present(id3::textFrame(tag, "TPE2"));
    values.title = present(id3::textFrame(tag, "TIT2"));
    values.comment = present(id3::comment(tag));
    if (tag.year() > 0)
        values.year = static_cast<int>(tag.year());
    return values;
}

} // namespace airlark
