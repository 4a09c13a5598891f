#include "TagReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <taglib/attachedpictureframe.h>
#include <taglib/chapterframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/privateframe.h>
#include <taglib/relativevolumeframe.h>
#include <taglib/tableofcontentsframe.h>
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

QString frameKey(const TagLib::ID3v2::Frame* frame)
{
    using namespace TagLib::ID3v2;
    const QString id = QString::fromLatin1(frame->frameID().data(), frame->frameID().size());
    const auto latin1 = [](const TagLib::ByteVector& bytes) {
        return QString::fromLatin1(bytes.data(), bytes.size());
    };
    if (const auto* text = dynamic_cast<const UserTextIdentificationFrame*>(frame))
        return id + QLatin1Char(':') + qt(text->description());
    if (const auto* comment = dynamic_cast<const CommentsFrame*>(frame))
        return id + QLatin1Char(':') + qt(comment->description()) + QLatin1Char(':') +
               latin1(comment->language());
    if (const auto* chapter = dynamic_cast<const ChapterFrame*>(frame))
        return id + QLatin1Char(':') + latin1(chapter->elementID());
    if (const auto* contents = dynamic_cast<const TableOfContentsFrame*>(frame))
        return id + QLatin1Char(':') + latin1(contents->elementID());
    if (const auto* owned = dynamic_cast<const PrivateFrame*>(frame))
        return id + QLatin1Char(':') + qt(owned->owner());
    if (const auto* volume = dynamic_cast<const RelativeVolumeFrame*>(frame))
        return id + QLatin1Char(':') + qt(volume->identification());
    return id;
}

// Prints what mutagen reads, with PRIV keys cut to their owner as frameKey() does.
const char* const MutagenScript = R"(
import json, sys
from mutagen.id3 import ID3, TextFrame, UrlFrame
tag = ID3(sys.argv[1])
keys = sorted(":".join(k.split(":")[:2]) if k.startswith("PRIV:") else k for k in tag.keys())
texts = {k: str(f) for k, f in tag.items() if isinstance(f, (TextFrame, UrlFrame))}
chapters = []
for toc in tag.getall("CTOC"):
    for child in toc.child_element_ids:
        chap = tag.get("CHAP:" + child)
        if chap:
            chapters.append("%d-%d %s" % (chap.start_time, chap.end_time, chap.sub_frames.get("TIT2", "")))
print(json.dumps({"version": tag.version[1], "keys": keys, "title": str(tag.get("TIT2", "")),
                  "texts": texts, "chapters": chapters}))
)";

QString chapterText(const TagLib::ID3v2::ChapterFrame& chapter)
{
    const auto& titles = chapter.embeddedFrameList("TIT2");
    return QStringLiteral("%1-%2 %3")
        .arg(chapter.startTime())
        .arg(chapter.endTime())
        .arg(titles.isEmpty() ? QString() : qt(titles.front()->toString()));
}
} // namespace

MutagenTags readTagsWithMutagen(const QString& path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(MutagenScript), path});
    MutagenTags tags;
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0)
        return tags;
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    tags.version = read.value(QStringLiteral("version")).toInt();
    for (const QJsonValue& key : read.value(QStringLiteral("keys")).toArray())
        tags.frameKeys << key.toString();
    tags.title = read.value(QStringLiteral("title")).toString();
    const QJsonObject texts = read.value(QStringLiteral("texts")).toObject();
    for (auto text = texts.begin(); text != texts.end(); ++text)
        tags.texts.insert(text.key(), text.value().toString());
    for (const QJsonValue& chapter : read.value(QStringLiteral("chapters")).toArray())
        tags.chapters << chapter.toString();
    return tags;
}

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
    for (const TagLib::ID3v2::Frame* frame : tag.frameList()) {
        tags.frameKeys << frameKey(frame);
        if (const auto* text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame))
            tags.texts.insert(frameKey(frame),
                              qt(text->fieldList().size() > 1 ? text->fieldList()[1] : TagLib::String()));
        else if (dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame))
            tags.texts.insert(frameKey(frame), qt(frame->toString()));
    }
    for (const auto* frame : tag.frameList("CTOC")) {
        const auto* contents = dynamic_cast<const TagLib::ID3v2::TableOfContentsFrame*>(frame);
        for (const TagLib::ByteVector& child :
             contents ? contents->childElements() : TagLib::ByteVectorList())
            if (const auto* chapter = TagLib::ID3v2::ChapterFrame::findByElementID(&tag, child))
                tags.chapters << chapterText(*chapter);
    }
    tags.id3v2Version = static_cast<int>(tag.header()->majorVersion());
    tags.title = frameText(tag, "TIT2");
    tags.artist = frameText(tag, "TPE1");
    tags.album = frameText(tag, "TALB");
    tags.albumArtist = frameText(tag, "TPE2");
    tags.genre = frameText(tag, "TCON");
    for (const auto* frame : tag.frameList("COMM")) {
        const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
        if (comment && comment->description().isEmpty() && comment->language() == "eng" &&
            tags.comment.isNull())
            tags.comment = qt(comment->text());
    }
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
