#pragma once

// ID3 tags parsed from and rendered to bytes in memory, away from the episode file, so that the
// writer decides itself where and how the bytes go. Internal to the metadata library.

#include <QByteArray>
#include <memory>

namespace TagLib::ID3v1 {
class Tag;
}
namespace TagLib::ID3v2 {
class Tag;
}

namespace airlark {

struct ID3TagValues;

// An ID3v2 tag parsed from its bytes (header, frames, padding, footer), or a new empty tag.
//
// TagLib 1.13 reads an ID3v2.4 tag with a footer one frame short (a short last frame is lost), so
// such a tag is handed to TagLib without its footer: every frame is kept.
class ParsedID3v2Tag
{
public:
    explicit ParsedID3v2Tag(const QByteArray& tagBytes);
    ~ParsedID3v2Tag();
    ParsedID3v2Tag(const ParsedID3v2Tag&) = delete;
    ParsedID3v2Tag& operator=(const ParsedID3v2Tag&) = delete;

    TagLib::ID3v2::Tag& tag() { return *tag_; }
    // The major version the bytes declared; 0 for a new tag.
    int majorVersion() const { return majorVersion_; }

private:
    struct Source;
    std::unique_ptr<Source> source_;
    std::unique_ptr<TagLib::ID3v2::Tag> tag_;
    int majorVersion_ = 0;
};

// The frames of `tag` rendered as ID3v2.3, without header or padding. Frames that only ID3v2.4
// defines and that keep their meaning anywhere (relative volume, moods, release time...) are kept
// as they are rather than dropped as TagLib would.
QByteArray renderID3v23Frames(TagLib::ID3v2::Tag& tag);

// An ID3v2.3 tag of exactly `totalBytes`: header, `frames`, zero padding.
QByteArray id3v23Tag(const QByteArray& frames, qint64 totalBytes);

// The padding a tag gets when the file is rewritten anyway, so that later saves fit in place.
qint64 generousPadding(qint64 frameBytes);

// The 128-byte ID3v1 tag `old` with `values` set.
QByteArray updatedID3v1(const QByteArray& old, const ID3TagValues& values);

} // namespace airlark
