#include "metadata/ID3TagRendering.h"

#include "metadata/ID3TagValues.h"

#include <algorithm>
#include <set>
#include <string>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfile.h>

namespace airlark {
namespace {

constexpr int HeaderBytes = 10;

TagLib::ByteVector toByteVector(const QByteArray& bytes)
{
    return TagLib::ByteVector(bytes.constData(), static_cast<unsigned>(bytes.size()));
}

QByteArray toQByteArray(const TagLib::ByteVector& bytes, unsigned from = 0, unsigned length = 0xFFFFFFFF)
{
    const unsigned n = std::min(length, bytes.size() - std::min(from, bytes.size()));
    return QByteArray(bytes.data() + from, qsizetype(n));
}

// TagLib reads tags through a File; this one is a few bytes in memory.
class MemoryFile : public TagLib::File
{
public:
    explicit MemoryFile(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

// TagLib keeps a frame's header (and with it the version the frame renders for) protected; its own
// tag reaches it as a friend, this through a derived class.
struct FrameHeaderAccess : TagLib::ID3v2::Frame
{
    static Header* of(TagLib::ID3v2::Frame* frame) { return (frame->*&FrameHeaderAccess::header)(); }
};

// Frames TagLib 1.13 drops when it writes ID3v2.3 although nothing in them depends on the version.
// Positional frames (SEEK, ASPI) are not among them: they would be wrong once the tag moves.
const std::set<std::string>& versionFourFramesKept()
{
    static const std::set<std::string> ids{"EQU2", "RVA2", "SIGN", "TDRL", "TDTG", "TMOO", "TPRO", "TSST"};
    return ids;
}

} // namespace

struct ParsedID3v2Tag::Source
{
    explicit Source(const QByteArray& bytes) : stream(toByteVector(bytes)), file(&stream) {}
    TagLib::ByteVectorStream stream;
    MemoryFile file;
};

ParsedID3v2Tag::ParsedID3v2Tag(const QByteArray& tagBytes)
{
    if (tagBytes.size() < HeaderBytes) {
        tag_ = std::make_unique<TagLib::ID3v2::Tag>();
        return;
    }
    majorVersion_ = tagBytes.at(3);
    QByteArray bytes = tagBytes;
    if (majorVersion_ == 4 && (bytes.at(5) & 0x10)) {
        bytes[5] = char(bytes.at(5) & ~0x10);
        bytes.chop(HeaderBytes);
    }
    source_ = std::make_unique<Source>(bytes);
    tag_ = std::make_unique<TagLib::ID3v2::Tag>(&source_->file, 0);
}

ParsedID3v2Tag::~ParsedID3v2Tag() = default;

QByteArray renderID3v23Frames(TagLib::ID3v2::Tag& tag)
{
    const TagLib::ByteVector rendered = tag.render(TagLib::ID3v2::v3);
    std::set<std::string> renderedIDs;
    unsigned end = HeaderBytes;
    while (end + HeaderBytes <= rendered.size() && rendered[end] != 0) {
        renderedIDs.insert(std::string(rendered.data() + end, 4));
        end += HeaderBytes + rendered.toUInt(end + 4, true);
    }
    QByteArray frames = toQByteArray(rendered, HeaderBytes, end - HeaderBytes);
    for (TagLib::ID3v2::Frame* frame : tag.frameList()) {
        const std::string id(frame->frameID().data(), frame->frameID().size());
        auto* header = FrameHeaderAccess::of(frame);
        if (!versionFourFramesKept().count(id) || renderedIDs.count(id) || header->tagAlterPreservation())
            continue;
        header->setVersion(3); // text in UTF-8 becomes UTF-16, which ID3v2.3 has
        const TagLib::ByteVector bytes = frame->render();
        if (bytes.size() > HeaderBytes)
            frames += toQByteArray(bytes);
    }
    return frames;
}

QByteArray id3v23Tag(const QByteArray& frames, qint64 totalBytes)
{
    Q_ASSERT(totalBytes >= HeaderBytes + frames.size());
    const qint64 size = totalBytes - HeaderBytes;
    QByteArray tag("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag += char((size >> shift) & 0x7F);
    tag += frames;
    tag += QByteArray(totalBytes - tag.size(), '\0');
    return tag;
}

qint64 generousPadding(qint64 frameBytes)
{
    constexpr qint64 Minimum = 16 * 1024;
    constexpr qint64 Maximum = 1024 * 1024;
    return std::clamp(frameBytes / 10, Minimum, Maximum);
}

QByteArray updatedID3v1(const QByteArray& old, const ID3TagValues& values)
{
    TagLib::ByteVectorStream stream(toByteVector(old));
    MemoryFile file(&stream);
    TagLib::ID3v1::Tag tag(&file, 0);
    applyTo(tag, values);
    return toQByteArray(tag.render());
}

} // namespace airlark
