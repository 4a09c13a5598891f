#include "metadata/TagLibMetadata.h"

#include "metadata/FileIO.h"
#include "metadata/ID3TagLayout.h"
#include "metadata/ID3TagRendering.h"
#include "metadata/TagJournal.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <unistd.h>

namespace airlark {
namespace {

std::mutex probeMutex;
TagWriteProbe& sharedProbe()
{
    static TagWriteProbe probe;
    return probe;
}

TagWriteProbe currentProbe()
{
    const std::lock_guard<std::mutex> guard(probeMutex);
    return sharedProbe();
}

TagLibMetadataError makeError(TagLibMetadataErrorCode code, QString message)
{
    return TagLibMetadataError{code, std::move(message)};
}

// Why the episode could not be opened, from the system's error.
TagLibMetadataError openFailure(int error, const QString& path)
{
    switch (error) {
    case ENOENT:
        return makeError(TagLibMetadataErrorCode::FileNotFound, QStringLiteral("No file at ") + path);
    case EACCES:
    case EPERM:
    case EROFS:
        return makeError(TagLibMetadataErrorCode::NotWritable,
                         QStringLiteral("The file is read-only: ") + path);
    default:
        return makeError(TagLibMetadataErrorCode::NotReadable,
                         QStringLiteral("The file cannot be opened: ") + fileio::errorText(error));
    }
}

// An MPEG file TagLib can work with: a frame sync it trusts and audio properties behind it.
bool isMPEGAudio(TagLib::MPEG::File& file)
{
    return file.isValid() && file.audioProperties() && file.audioProperties()->sampleRate() > 0 &&
           file.firstFrameOffset() >= 0;
}

} // namespace

QString printable(const TagLibMetadataError& error)
{
    static const char* const names[] = {"FileNotFound",  "NotAFile",   "NotReadable",    "NotWritable",
                                        "NotAnMPEGFile", "DamagedTag", "NotEnoughSpace", "ChangedMeanwhile",
                                        "Cancelled",     "WriteFailed"};
    return QString::fromLatin1(names[static_cast<int>(error.code)]) + QStringLiteral(": ") + error.message;
}

void TagLibMetadata::setProbeForTesting(TagWriteProbe probe)
{
    const std::lock_guard<std::mutex> guard(probeMutex);
    sharedProbe() = std::move(probe);
}

std::unique_ptr<TagLibMetadata> TagLibMetadata::open(const QUrl& url, bool readOnly,
                                                     TagLibMetadataError* error)
{
    TagLibMetadataError ignored;
    if (!error)
        error = &ignored;
    const auto fail = [error](TagLibMetadataError why) {
        *error = std::move(why);
        return nullptr;
    };
    if (!url.isLocalFile())
        return fail(makeError(TagLibMetadataErrorCode::FileNotFound,
                              QStringLiteral("Not a local file: ") + url.toString()));
    const QString path = url.toLocalFile();
    const QFileInfo info(path);
    if (!info.exists())
        return fail(openFailure(ENOENT, path));
    if (!info.isFile())
        return fail(makeError(TagLibMetadataErrorCode::NotAFile, QStringLiteral("Not a file: ") + path));
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), R_OK) != 0)
        return fail(makeError(TagLibMetadataErrorCode::NotReadable,
                              QStringLiteral("The file cannot be read: ") + path));
    if (!readOnly) {
        // A file without any write permission bit was marked read-only on purpose; respect that even
        // for a user (such as root) whom the system would let write it.
        struct stat status = {};
        const bool marked =
            ::stat(name.constData(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
        if (marked || ::access(name.constData(), W_OK) != 0)
            return fail(openFailure(EACCES, path));
    }
    TagJournal::recover(path);

    const fileio::FileDescriptor fd = fileio::openFile(path, O_RDONLY);
    const std::optional<fileio::FileIdentity> identity =
        fd.valid() ? fileio::identityOf(fd.get()) : std::nullopt;
    if (!identity)
        return fail(openFailure(errno, path));
    if (!readID3TagLayout(fd.get(), identity->size, error)) {
        if (error->code == TagLibMetadataErrorCode::NotAnMPEGFile)
            error->message = QStringLiteral("Not an MP3 file: ") + path;
        return nullptr;
    }
    TagLib::MPEG::File file(name.constData(), true, TagLib::AudioProperties::Fast);
    if (!isMPEGAudio(file))
        return fail(
            makeError(TagLibMetadataErrorCode::NotAnMPEGFile, QStringLiteral("Not an MP3 file: ") + path));
    return std::unique_ptr<TagLibMetadata>(new TagLibMetadata(path, readOnly));
}

TagLibMetadata::~TagLibMetadata() = default;

std::optional<ID3TagValues> TagLibMetadata::readTags() const
{
    const fileio::FileDescriptor fd = fileio::openFile(path_, O_RDONLY);
    const std::optional<fileio::FileIdentity> identity =
        fd.valid() ? fileio::identityOf(fd.get()) : std::nullopt;
    TagLibMetadataError error;
    const std::optional<ID3TagLayout> layout =
        identity ? readID3TagLayout(fd.get(), identity->size, &error) : std::nullopt;
    if (!layout)
        return std::nullopt;
    ParsedID3v2Tag parsed(layout->tag);
    return valuesOf(parsed.tag());
}

bool TagLibMetadata::updateFile(std::stop_token stop)
{
    lastError_ = write(std::move(stop));
    return !lastError_;
}

std::optional<TagLibMetadataError> TagLibMetadata::write(std::stop_token stop)
{
    if (readOnly_)
        return makeError(TagLibMetadataErrorCode::NotWritable, QStringLiteral("Opened read-only"));
    TagJournal::recover(path_);

    // Symbolic links are followed, so that the link itself survives a whole-file rewrite.
    const QString target = QFileInfo(path_).canonicalFilePath();
    if (target.isEmpty())
        return openFailure(ENOENT, path_);
    const fileio::FileDescriptor fd = fileio::openFile(target, O_RDWR);
    const std::optional<fileio::FileIdentity> identity =
        fd.valid() ? fileio::identityOf(fd.get()) : std::nullopt;
    if (!identity)
        return openFailure(errno, path_);
    TagLibMetadataError error;
    const std::optional<ID3TagLayout> layout = readID3TagLayout(fd.get(), identity->size, &error);
    if (!layout)
        return error;

    ParsedID3v2Tag parsed(layout->tag);
    applyTo(parsed.tag(), values_);
    const QByteArray frames = renderID3v23Frames(parsed.tag());
    const QByteArray id3v1 = layout->id3v1.isEmpty() ? QByteArray() : updatedID3v1(layout->id3v1, values_);

    TagWriteContext context;
    context.episode = fd.get();
    context.path = target;
    context.identity = *identity;
    context.parsesAsIntended = [this](const QByteArray& bytes) {
        ParsedID3v2Tag back(bytes);
        return back.majorVersion() == 3 && carries(back.tag(), values_);
    };
    context.probe = currentProbe();
    context.stop = std::move(stop);

    const qint64 space = layout->tag.size();
    if (space > 0 && space >= 10 + frames.size()) {
        context.tag = id3v23Tag(frames, space);
        QList<TagJournal::Region> regions;
        if (context.tag != layout->tag)
            regions.append({0, layout->tag, context.tag});
        else
            context.tag.clear(); // unchanged: nothing to check
        if (id3v1 != layout->id3v1)
            regions.append({layout->audioEnd, layout->id3v1, id3v1});
        if (regions.isEmpty())
            return std::nullopt;
        return writeInPlace(context, regions);
    }
    context.tag = id3v23Tag(frames, 10 + frames.size() + generousPadding(frames.size()));
    return rewriteWholeFile(context, space, layout->audioEnd, id3v1);
}

} // namespace airlark
