#include "metadata/ID3v2Frames.h"

#include <string>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/textidentificationframe.h>
#include <vector>

namespace airlark::id3 {
namespace {

using TagLib::ID3v2::AttachedPictureFrame;
using TagLib::ID3v2::CommentsFrame;
using TagLib::ID3v2::Frame;
using TagLib::ID3v2::TextIdentificationFrame;

TagLib::String::Type encodingFor(const TagLib::String& text)
{
    return text.isLatin1() ? TagLib::String::Latin1 : TagLib::String::UTF16;
}

// Frames to remove are collected first: removing invalidates the list being walked.
template <typename Predicate>
void removeFramesWhere(TagLib::ID3v2::Tag& tag, const char* id, Predicate matches)
{
    std::vector<Frame*> doomed;
    for (Frame* frame : tag.frameList(id))
        if (matches(frame))
            doomed.push_back(frame);
    for (Frame* frame : doomed)
        tag.removeFrame(frame, true);
}

bool isCoverPicture(const Frame* frame)
{
    const auto* picture = dynamic_cast<const AttachedPictureFrame*>(frame);
    return picture && (picture->type() == AttachedPictureFrame::FrontCover ||
                       picture->type() == AttachedPictureFrame::Other);
}

// Airlark's comment: no description, in English or in no language. Comments with a description
// (which encoders and players leave for their own use) and comments in other languages are kept.
bool isPlainComment(const Frame* frame)
{
    const auto* commentFrame = dynamic_cast<const CommentsFrame*>(frame);
    if (!commentFrame || !commentFrame->description().isEmpty())
        return false;
    const TagLib::ByteVector language = commentFrame->language();
    return language == "eng" || language == "XXX" || language == "xxx" ||
           language == TagLib::ByteVector(3, '\0') || language.isEmpty();
}

} // namespace

TagLib::String toTagLib(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

QString fromTagLib(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true));
}

QString tagText(const QString& text)
{
    QString clean = text;
    clean.remove(QChar(u'\0'));
    return clean;
}

void setTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const QString& text)
{
    tag.removeFrames(id);
    const TagLib::String value = toTagLib(tagText(text));
    if (value.isEmpty())
        return;
    auto* frame = new TextIdentificationFrame(TagLib::ByteVector(id), encodingFor(value));
    frame->setText(value);
    tag.addFrame(frame);
}

QString textFrame(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const auto& frames = tag.frameList(id);
    return frames.isEmpty() ? QString() : fromTagLib(frames.front()->toString());
}

void setComment(TagLib::ID3v2::Tag& tag, const QString& text)
{
    removeFramesWhere(tag, "COMM", isPlainComment);
    const TagLib::String value = toTagLib(tagText(text));
    if (value.isEmpty())
        return;
    // Many players show the first comment whatever its language, so the others follow this one.
    std::vector<Frame*> others;
    for (Frame* frame : tag.frameList("COMM"))
        others.push_back(frame);
    for (Frame* frame : others)
        tag.removeFrame(frame, false);
    auto* frame = new CommentsFrame(encodingFor(value));
    frame->setLanguage("eng");
    frame->setText(value);
    tag.addFrame(frame);
    for (Frame* other : others)
        tag.addFrame(other);
}

QString comment(const TagLib::ID3v2::Tag& tag)
{
    for (const Frame* frame : tag.frameList("COMM"))
        if (isPlainComment(frame))
            return fromTagLib(static_cast<const CommentsFrame*>(frame)->text());
    return {};
}

void setYear(TagLib::ID3v2::Tag& tag, int year)
{
    // TagLib keeps the year as a v2.4 recording time and writes it as TYER in a v2.3 tag.
    tag.removeFrames("TYER");
    setTextFrame(tag, "TDRC", year > 0 ? QString::number(year) : QString());
}

void setFrontCover(TagLib::ID3v2::Tag& tag, const EmbeddedArtwork& artwork)
{
    removeFramesWhere(tag, "APIC", isCoverPicture);
    auto* frame = new AttachedPictureFrame;
    frame->setTextEncoding(TagLib::String::Latin1);
    frame->setMimeType(toTagLib(artwork.mimeType()));
    frame->setType(AttachedPictureFrame::FrontCover);
    frame->setPicture(
        TagLib::ByteVector(artwork.data().constData(), static_cast<unsigned>(artwork.data().size())));
    tag.addFrame(frame);
}

bool hasFrontCover(const TagLib::ID3v2::Tag& tag, const EmbeddedArtwork& artwork)
{
    for (const Frame* frame : tag.frameList("APIC")) {
        const auto* picture = dynamic_cast<const AttachedPictureFrame*>(frame);
        if (picture && picture->type() == AttachedPictureFrame::FrontCover &&
            fromTagLib(picture->mimeType()) == artwork.mimeType() &&
            picture->picture() ==
                TagLib::ByteVector(artwork.data().constData(), static_cast<unsigned>(artwork.data().size())))
            return true;
    }
    return false;
}

} // namespace airlark::id3
