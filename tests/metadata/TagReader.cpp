#include "TagReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace airlark::test {
namespace {
// PRIV keys are cut to their owner (mutagen appends a hash of the data).
const char* const MutagenScript = R"(
import json, sys
from mutagen.id3 import ID3, TextFrame, UrlFrame
tag = ID3(sys.argv[1])
chapters = []
for toc in tag.getall("CTOC"):
    for chap in filter(None, (tag.get("CHAP:" + child) for child in toc.child_element_ids)):
        chapters.append("%d-%d %s" % (chap.start_time, chap.end_time, chap.sub_frames.get("TIT2", "")))
title = tag.get("TIT2")
print(json.dumps({"version": tag.version[1], "title": str(title or ""),
                  "encoding": ["Latin1", "UTF16", "UTF16BE", "UTF8"][title.encoding] if title else "",
                  "pictures": len(tag.getall("APIC")),
                  "keys": sorted(":".join(k.split(":")[:2]) if k.startswith("PRIV:") else k for k in tag.keys()),
                  "texts": {k: str(f) for k, f in tag.items() if isinstance(f, (TextFrame, UrlFrame))},
                  "chapters": chapters}))
)";
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
    const QVariantMap read = QJsonDocument::fromJson(python.readAllStandardOutput()).object().toVariantMap();
    tags.version = read.value(QStringLiteral("version")).toInt();
    tags.title = read.value(QStringLiteral("title")).toString();
    tags.titleEncoding = read.value(QStringLiteral("encoding")).toString();
    tags.pictureCount = read.value(QStringLiteral("pictures")).toInt();
    tags.frameKeys = read.value(QStringLiteral("keys")).toStringList();
    tags.chapters = read.value(QStringLiteral("chapters")).toStringList();
    const QVariantMap texts = read.value(QStringLiteral("texts")).toMap();
    for (const auto& [key, value] : texts.asKeyValueRange())
        tags.texts.insert(key, value.toString());
    return tags;
}

ReadBackTags readTags(const QString& path)
{
    ReadBackTags tags;
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid() || !file.hasID3v2Tag())
        return tags;
    const TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    tags.title = QString::fromStdString(tag.title().to8Bit(true));
    for (const auto* frame : tag.frameList("APIC")) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
            tags.picture =
                QByteArray(picture->picture().data(), static_cast<qsizetype>(picture->picture().size()));
            tags.pictureMimeType = QString::fromStdString(picture->mimeType().to8Bit(true));
        }
    }
    return tags;
}

} // namespace airlark::test
