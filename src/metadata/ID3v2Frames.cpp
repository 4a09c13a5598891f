#include "metadata/ID3v2Frames.h"

#include <algorithm>
#include <string>
#include <taglib/attachedpictureframe.h>
#include <taglib/chapterframe.h>
#include <taglib/commentsframe.h>
#include <taglib/podcastframe.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/textidentificationframe.h>
#include <vector>

namespace airlark::id3 {
namespace {

using TagLib::ID3v2::AttachedPictureFrame;
using TagLib::ID3v2::ChapterFrame;
using TagLib::ID3v2::CommentsFrame;
using TagLib::ID3v2::Frame;
using TagLib::ID3v2::TableOfContentsFrame;
using TagLib::ID3v2::TextIdentificationFrame;
using TagLib::ID3v2::UserTextIdentificationFrame;

const TagLib::String AdvisoryDescription("ITUNESADVISORY");
const TagLib::String ExplicitAdvisory("1");
// The CHAP and CTOC offsets that say "not given": players seek by time.
constexpr unsigned NoOffset = 0xFFFFFFFF;

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

bool isAdvisory(const Frame* frame)
{
    const auto* text = dynamic_cast<const UserTextIdentificationFrame*>(frame);
    return text && text->description().upper() == AdvisoryDescription;
}

// The field list of a TXXX frame starts with its description; the value follows.
bool isExplicitAdvisory(const Frame* frame)
{
    return isAdvisory(frame) &&
           static_cast<const UserTextIdentificationFrame*>(frame)->fieldList().size() > 1 &&
           static_cast<const UserTextIdentificationFrame*>(frame)->fieldList()[1] == ExplicitAdvisory;
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

QByteArray frontCover(const TagLib::ID3v2::Tag& tag)
{
    for (const Frame* frame : tag.frameList("APIC")) {
        if (isCoverPicture(frame)) {
            const TagLib::ByteVector picture = static_cast<const AttachedPictureFrame*>(frame)->picture();
            return QByteArray(picture.data(), static_cast<qsizetype>(picture.size()));
        }
    }
    return {};
}

void setNumberFrame(TagLib::ID3v2::Tag& tag, const char* id, int number)
{
    setTextFrame(tag, id, number > 0 ? QString::number(number) : QString());
}

std::optional<int> numberFrame(const TagLib::ID3v2::Tag& tag, const char* id)
{
    bool ok = false;
    const int number = textFrame(tag, id).section(QLatin1Char('/'), 0, 0).trimmed().toInt(&ok);
    return ok && number > 0 ? std::optional<int>(number) : std::nullopt;
}

void setPodcastFeed(TagLib::ID3v2::Tag& tag, const QString& url)
{
    setTextFrame(tag, "WFED", url);
    setTextFrame(tag, "TGID", url);
    tag.removeFrames("PCST");
    if (!tagText(url).isEmpty())
        tag.addFrame(new TagLib::ID3v2::PodcastFrame);
}

void setExplicit(TagLib::ID3v2::Tag& tag, bool explicitContent)
{
    removeFramesWhere(tag, "TXXX", isExplicitAdvisory);
    if (!explicitContent)
        return;
    // Any other advisory (a "clean" mark) would contradict this one.
    removeFramesWhere(tag, "TXXX", isAdvisory);
    tag.addFrame(
        new UserTextIdentificationFrame(AdvisoryDescription, ExplicitAdvisory, TagLib::String::Latin1));
}

std::optional<bool> explicitMark(const TagLib::ID3v2::Tag& tag)
{
    const auto& frames = tag.frameList("TXXX");
    if (std::none_of(frames.begin(), frames.end(), isAdvisory))
        return std::nullopt;
    return std::any_of(frames.begin(), frames.end(), isExplicitAdvisory);
}

void setChapters(TagLib::ID3v2::Tag& tag, const std::vector<ChapterMark>& marks)
{
    tag.removeFrames("CHAP");
    tag.removeFrames("CTOC");
    if (marks.empty())
        return;
    auto* contents = new TableOfContentsFrame("toc");
    contents->setIsTopLevel(true);
    contents->setIsOrdered(true);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const TagLib::ByteVector element =
            TagLib::ByteVector("chp") + TagLib::String::number(int(i)).data(TagLib::String::Latin1);
        const TagLib::String title = toTagLib(tagText(marks[i].title));
        auto* titleFrame = new TextIdentificationFrame("TIT2", encodingFor(title));
        titleFrame->setText(title);
        TagLib::ID3v2::FrameList embedded;
        embedded.append(titleFrame);
        tag.addFrame(new ChapterFrame(element, marks[i].startMilliseconds, marks[i].endMilliseconds, NoOffset,
                                      NoOffset, embedded));
        contents->addChildElement(element);
    }
    tag.addFrame(contents);
}

std::vector<ChapterMark> chapters(const TagLib::ID3v2::Tag& tag)
{
    std::vector<ChapterMark> marks;
    for (const Frame* frame : tag.frameList("CHAP")) {
        const auto* chapter = dynamic_cast<const ChapterFrame*>(frame);
        if (!chapter)
            continue;
        const auto& titles = chapter->embeddedFrameList("TIT2");
        marks.push_back({chapter->startTime(), chapter->endTime(),
                         titles.isEmpty() ? QString() : fromTagLib(titles.front()->toString())});
    }
    std::stable_sort(marks.begin(), marks.end(), [](const ChapterMark& a, const ChapterMark& b) {
        return a.startMilliseconds < b.startMilliseconds;
    });
    return marks;
}

} // namespace airlark::id3
