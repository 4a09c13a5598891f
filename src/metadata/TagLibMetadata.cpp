#include "metadata/TagLibMetadata.h"

#include "metadata/FileReplacement.h"
#include "metadata/ID3v2Frames.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <sys/stat.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <unistd.h>

namespace airlark {
namespace {

constexpr int ID3v1TagBytes = 128;

TagLibMetadataError makeError(TagLibMetadataErrorCode code, QString message)
{
    return TagLibMetadataError{code, std::move(message)};
}

// An MPEG file TagLib can work with: a frame sync it trusts and audio properties behind it.
bool isMPEGAudio(TagLib::MPEG::File& file)
{
    return file.isValid() && file.audioProperties() && file.audioProperties()->sampleRate() > 0 &&
           file.firstFrameOffset() >= 0;
}

// Reads `length` bytes at `offset`; empty on a short read.
QByteArray readRange(QFile& file, qint64 offset, qint64 length)
{
    if (!file.seek(offset))
        return {};
    QByteArray bytes = file.read(length);
    return bytes.size() == length ? bytes : QByteArray();
}

// Whether the audio from `firstFrame` up to the trailing ID3v1 tag (when `skipID3v1`) is the same
// in both files, compared in slices so that large episodes are not held in memory.
bool sameAudio(const QString& originalPath, long originalFirstFrame, const QString& copyPath,
               long copyFirstFrame, bool skipID3v1)
{
    QFile original(originalPath);
    QFile copy(copyPath);
    if (!original.open(QIODevice::ReadOnly) || !copy.open(QIODevice::ReadOnly))
        return false;
    const qint64 trailer = skipID3v1 ? ID3v1TagBytes : 0;
    const qint64 length = original.size() - originalFirstFrame - trailer;
    if (length < 0 || copy.size() - copyFirstFrame - trailer != length)
        return false;
    constexpr qint64 Slice = 4 * 1024 * 1024;
    for (qint64 done = 0; done < length; done += Slice) {
        const qint64 n = qMin(Slice, length - done);
        const QByteArray a = readRange(original, originalFirstFrame + done, n);
        if (a.isEmpty() || a != readRange(copy, copyFirstFrame + done, n))
            return false;
    }
    return true;
}

QByteArray fileName(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace

QString printable(const TagLibMetadataError& error)
{
    static const char* const names[] = {"FileNotFound", "NotAFile",      "NotReadable",
                                        "NotWritable",  "NotAnMPEGFile", "WriteFailed"};
    return QString::fromLatin1(names[static_cast<int>(error.code)]) + QStringLiteral(": ") + error.message;
}

std::unique_ptr<TagLibMetadata> TagLibMetadata::open(const QUrl& url, bool readOnly,
                                                     TagLibMetadataError* error)
{
    const auto fail = [error](TagLibMetadataErrorCode code, const QString& message) {
        if (error)
            *error = makeError(code, message);
        return nullptr;
    };
    if (!url.isLocalFile())
        return fail(TagLibMetadataErrorCode::FileNotFound,
                    QStringLiteral("Not a local file: ") + url.toString());
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.exists())
        return fail(TagLibMetadataErrorCode::FileNotFound, QStringLiteral("No file at ") + path);
    if (!info.isFile())
        return fail(TagLibMetadataErrorCode::NotAFile, QStringLiteral("Not a file: ") + path);
    const QByteArray name = fileName(path);
    if (::access(name.constData(), R_OK) != 0)
        return fail(TagLibMetadataErrorCode::NotReadable, QStringLiteral("The file cannot be read: ") + path);
    if (!readOnly) {
        // A file without any write permission bit was marked read-only on purpose; respect that even
        // for a user (such as root) whom the system would let write it.
        struct stat status = {};
        const bool marked =
            ::stat(name.constData(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        if (marked || ::access(name.constData(), W_OK) != 0)
            return fail(TagLibMetadataErrorCode::NotWritable,
                        QStringLiteral("The file is read-only: ") + path);
    }
    TagLib::MPEG::File file(name.constData(), true, TagLib::AudioProperties::Fast);
    if (!isMPEGAudio(file))
        return fail(TagLibMetadataErrorCode::NotAnMPEGFile, QStringLiteral("Not an MP3 file: ") + path);
    return std::unique_ptr<TagLibMetadata>(new TagLibMetadata(path, readOnly));
}

TagLibMetadata::~TagLibMetadata() = default;

bool TagLibMetadata::updateFile()
{
    lastError_.reset();
    const auto fail = [this](TagLibMetadataErrorCode code, const QString& message) {
        lastError_ = makeError(code, message);
        return false;
    };
    if (readOnly_)
        return fail(TagLibMetadataErrorCode::NotWritable, QStringLiteral("Opened read-only"));

    QString reason;
    const std::unique_ptr<FileReplacement> replacement = FileReplacement::copyOf(path_, &reason);
    if (!replacement) {
        const auto code = QFileInfo::exists(path_) ? TagLibMetadataErrorCode::WriteFailed
                                                   : TagLibMetadataErrorCode::FileNotFound;
        return fail(code, reason);
    }
    if (!applyAndSave(replacement->temporaryPath(), &reason))
        return fail(TagLibMetadataErrorCode::WriteFailed, reason);
    if (!verify(replacement->targetPath(), replacement->temporaryPath(), &reason))
        return fail(TagLibMetadataErrorCode::WriteFailed, reason);
    if (!replacement->commit(&reason)) {
        const auto code = QFileInfo::exists(path_) ? TagLibMetadataErrorCode::WriteFailed
                                                   : TagLibMetadataErrorCode::FileNotFound;
        return fail(code, reason);
    }
    return true;
}

bool TagLibMetadata::applyAndSave(const QString& workingCopy, QString* reason) const
{
    const QByteArray name = fileName(workingCopy);
    TagLib::MPEG::File file(name.constData(), false);
    if (!file.isValid() || file.readOnly()) {
        *reason = QStringLiteral("TagLib cannot open the working copy");
        return false;
    }
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
    const auto text = [&tag](const char* id, const std::optional<QString>& value) {
        if (value)
            id3::setTextFrame(tag, id, *value);
    };
    text("TPE1", artist_);
    if (artwork_)
        id3::setFrontCover(tag, *artwork_);
    text("TALB", album_);
    text("TPE2", albumArtist_);
    text("TIT2", title_);
    if (comment_)
        id3::setComment(tag, *comment_);
    if (year_)
        id3::setYear(tag, *year_);

    int tags = TagLib::MPEG::File::ID3v2;
    if (file.hasID3v1Tag()) {
        // Keep an old ID3v1 tag from contradicting the new one, within what ID3v1 can hold.
        TagLib::ID3v1::Tag& legacy = *file.ID3v1Tag();
        if (artist_)
            legacy.setArtist(id3::toTagLib(id3::tagText(*artist_)));
        if (album_)
            legacy.setAlbum(id3::toTagLib(id3::tagText(*album_)));
        if (title_)
            legacy.setTitle(id3::toTagLib(id3::tagText(*title_)));
        if (comment_)
            legacy.setComment(id3::toTagLib(id3::tagText(*comment_)));
        if (year_)
            legacy.setYear(static_cast<unsigned>(qMax(0, *year_)));
        tags |= TagLib::MPEG::File::ID3v1;
    }
    if (!file.save(tags, TagLib::File::StripNone, TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate)) {
        *reason = QStringLiteral("TagLib could not save the tags");
        return false;
    }
    return true;
}

// TagLib does not report failed writes (a full disk, a file size limit), so the working copy is
// read back: it must carry every value as set, as ID3v2.3, with the audio stream untouched.
bool TagLibMetadata::verify(const QString& original, const QString& workingCopy, QString* reason) const
{
    const QByteArray originalName = fileName(original);
    const QByteArray copyName = fileName(workingCopy);
    TagLib::MPEG::File before(originalName.constData(), false);
    TagLib::MPEG::File after(copyName.constData(), false);
    const auto fail = [reason](const char* what) {
        *reason = QStringLiteral("The written tags did not read back: ") + QLatin1String(what);
        return false;
    };
    if (!after.isValid() || !before.isValid())
        return fail("not an MP3 file any more");
    const TagLib::ID3v2::Tag* tag = after.ID3v2Tag(false);
    if (!after.hasID3v2Tag() || !tag || tag->header()->majorVersion() != 3)
        return fail("no ID3v2.3 tag");
    const auto same = [&tag](const char* id, const std::optional<QString>& value) {
        return !value || id3::textFrame(*tag, id) == id3::tagText(*value);
    };
    if (!same("TPE1", artist_) || !same("TALB", album_) || !same("TPE2", albumArtist_) ||
        !same("TIT2", title_))
        return fail("text");
    if (comment_ && id3::comment(*tag) != id3::tagText(*comment_))
        return fail("comment");
    if (year_ && *year_ > 0 && tag->year() != static_cast<unsigned>(*year_))
        return fail("year");
    if (artwork_ && !id3::hasFrontCover(*tag, *artwork_))
        return fail("artwork");
    if (before.hasID3v1Tag() != after.hasID3v1Tag())
        return fail("ID3v1 tag");
    const long beforeFirstFrame = before.firstFrameOffset();
    const long afterFirstFrame = after.firstFrameOffset();
    if (beforeFirstFrame < 0 || afterFirstFrame < 0 ||
        !sameAudio(original, beforeFirstFrame, workingCopy, afterFirstFrame, after.hasID3v1Tag()))
        return fail("the audio stream changed");
    return true;
}

} // namespace airlark
