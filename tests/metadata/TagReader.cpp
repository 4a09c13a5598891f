#include "TagReader.h"

#include <QFile>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace airlark::test {
namespace {
QString qt(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}
QString frameText(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const auto& frames = tag.frameList(id);
    return frames.isEmpty() ? QString() : qt(frames.front()->toString());
}
} // namespace

ReadBackTags readTags(const QString& path)
{
    ReadBackTags tags;
    const QByteArray name = QFile::encodeName(path);
    TagLib::MPEG::File file(name.constData(), false);
    tags.valid = file.isValid();
    if (!tags.valid)
        return tags;
    tags.audioOffset = file.firstFrameOffset();
    tags.hasID3v1 = file.hasID3v1Tag();
    if (tags.hasID3v1)
        tags.id3v1Title = qt(file.ID3v1Tag()->title());
    if (!file.hasID3v2Tag())
        return tags;
    const TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    tags.id3v2Version = static_cast<int>(tag.header()->majorVersion());
    tags.title = frameText(tag, "TIT2");
    tags.artist = frameText(tag, "TPE1");
    tags.album = frameText(tag, "TALB");
    tags.albumArtist = frameText(tag, "TPE2");
    tags.genre = frameText(tag, "TCON");
    tags.comment = qt(tag.comment());
    tags.year = tag.year();
    const auto& titles = tag.frameList("TIT2");
    if (!titles.isEmpty()) {
        const auto* frame = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(titles.front());
        if (frame)
            tags.titleEncoding = frame->textEncoding() == TagLib::String::Latin1  ? "Latin1"
                                 : frame->textEncoding() == TagLib::String::UTF16 ? "UTF16"
                                                                                  : "other";
    }
    for (const auto* frame : tag.frameList("APIC")) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        ++tags.pictureCount;
        if (picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
            tags.picture =
                QByteArray(picture->picture().data(), static_cast<qsizetype>(picture->picture().size()));
            tags.pictureMimeType = qt(picture->mimeType());
        }
    }
    return tags;
}

} // namespace airlark::test
