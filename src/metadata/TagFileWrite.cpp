#include "metadata/TagFileWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace airlark {
namespace {

using fileio::FileDescriptor;

constexpr qint64 CopyChunk = 8 * 1024 * 1024;
// The start and the end of the audio are compared after a copy: what a wrong offset or length
// would spoil. The copy itself is checked byte count by byte count.
constexpr qint64 AudioSample = 64 * 1024;
// Room left for the file system's own bookkeeping of the new file.
constexpr qint64 SpaceSlack = 1024 * 1024;

TagLibMetadataError failure(TagLibMetadataErrorCode code, QString message)
{
    return {code, std::move(message)};
}

TagLibMetadataError noSpace(const QString& path, qint64 neededBytes)
{
    const QString volume = QStorageInfo(fileio::folderOf(path)).displayName();
    const qint64 megabytes = qMax<qint64>(1, qint64(std::ceil(double(neededBytes) / 1e6)));
    return failure(TagLibMetadataErrorCode::NotEnoughSpace,
                   QStringLiteral("Not enough free space on %1 to save the tags: needs %2 MB")
                       .arg(volume.isEmpty() ? fileio::folderOf(path) : volume)
                       .arg(megabytes));
}

// A failed write in words: a full disk and a file-size limit are named as such.
TagLibMetadataError writeFailure(int error, const QString& what, const QString& path, qint64 neededBytes)
{
    if (error == ENOSPC || error == EDQUOT)
        return noSpace(path, neededBytes);
    if (error == EFBIG)
        return failure(TagLibMetadataErrorCode::WriteFailed,
                       QStringLiteral("The file system does not let the episode grow that large (%1).")
                           .arg(fileio::errorText(error)));
    return failure(TagLibMetadataErrorCode::WriteFailed,
                   what + QStringLiteral(": ") + fileio::errorText(error));
}

TagLibMetadataError cancelled()
{
    return failure(TagLibMetadataErrorCode::Cancelled, QStringLiteral("Saving was cancelled."));
}

TagLibMetadataError changedMeanwhile()
{
    return failure(TagLibMetadataErrorCode::ChangedMeanwhile,
                   QStringLiteral("Another program changed the episode while Airlark was saving its tags, so "
                                  "Airlark left it as that program left it. Save again to write the tags."));
}

TagLibMetadataError anotherSaveGoesOn()
{
    return failure(TagLibMetadataErrorCode::WriteFailed,
                   QStringLiteral("Another Airlark window or command is still saving this episode's tags. "
                                  "Save again once it is done."));
}

// Whether the episode is still the file that was read: the path names the same file, and its size
// and modification time are those of the read.
bool unchanged(const TagWriteContext& context)
{
    const std::optional<fileio::FileIdentity> open = fileio::identityOf(context.episode);
    const std::optional<fileio::FileIdentity> named = fileio::identityOf(context.path);
    return open && named && *open == context.identity && named->sameFile(context.identity);
}

bool tagReadsBack(int fd, const TagWriteContext& context)
{
    const std::optional<QByteArray> back = fileio::readAt(fd, 0, context.tag.size());
    return back && *back == context.tag && context.parsesAsIntended(*back);
}

// A new file beside the episode that takes the episode's place in one exchange; whichever of the two
// its name holds in the end is removed, unless that is a file another program changed.
class NewFile
{
public:
    explicit NewFile(const QString& episodePath)
    {
        const QFileInfo info(episodePath);
        QByteArray pattern = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                               QStringLiteral(".airlark-XXXXXX"));
        fd_ = FileDescriptor(::mkostemp(pattern.data(), O_CLOEXEC));
        path_ = pattern;
    }
    ~NewFile()
    {
        if (fd_.valid() && !keep_)
            ::unlink(path_.constData());
    }
    int fd() const { return fd_.get(); }
    bool valid() const { return fd_.valid(); }

    // Puts this file in the episode's place, in one step, and checks that what it took away is
    // the very file that was read: a change another program made after any earlier check (an
    // append, a rewrite, a replacement) is found here, and the episode is exchanged back. Where
    // the file system cannot exchange two files, nothing happens: a plain rename could lose bytes
    // that were written meanwhile.
    std::optional<TagLibMetadataError> exchangeWithEpisode(const TagWriteContext& context, qint64 newSize)
    {
        const QByteArray episode = QFile::encodeName(context.path);
        const auto exchange = [&] {
            return ::renameat2(AT_FDCWD, path_.constData(), AT_FDCWD, episode.constData(), RENAME_EXCHANGE) ==
                   0;
        };
        if (!exchange()) {
            if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
                return failure(
                    TagLibMetadataErrorCode::WriteFailed,
                    QStringLiteral("The episode's drive cannot swap two files in one step, which "
                                   "Airlark needs to make room for the new tag safely; the episode "
                                   "is left as it was. Copy it to another drive and save again."));
            if (errno == ENOENT)
                return changedMeanwhile();
            return writeFailure(errno, QStringLiteral("Unable to replace the episode"), context.path,
                                newSize);
        }
        // Our name now holds what was the episode.
        if (fileio::identityOf(QFile::decodeName(path_)) == context.identity)
            return std::nullopt;
        if (exchange())
            return changedMeanwhile();
        keep_ = true;
        TagLibMetadataError stuck =
            failure(TagLibMetadataErrorCode::ChangedMeanwhile,
                    QStringLiteral("Another program changed the episode while Airlark was replacing it, and "
                                   "it could not be put back: that program's version is %1.")
                        .arg(QFile::decodeName(path_)));
        stuck.fileUnchanged = false;
        return stuck;
    }

private:
    FileDescriptor fd_;
    QByteArray path_;
    bool keep_ = false;
};

// Owner, permissions and extended attributes (ACLs among them) are kept where the file system and
// the user's rights allow: FAT and exFAT drives have none of them, which must not stop a save.
void keepAttributes(int from, int to)
{
    struct stat status = {};
    if (::fstat(from, &status) != 0)
        return;
    if ((status.st_uid != ::geteuid() || status.st_gid != ::getegid()) &&
        ::fchown(to, status.st_uid, status.st_gid) != 0 && ::fchown(to, uid_t(-1), status.st_gid) != 0) {
        // Neither owner nor group could be kept: the new file stays ours.
    }
    if (::fchmod(to, status.st_mode & 07777) != 0) {
        // No Unix permissions on this file system.
    }
    QByteArray names(64 * 1024, Qt::Uninitialized);
    const ssize_t length = ::flistxattr(from, names.data(), size_t(names.size()));
    for (qsizetype at = 0; at < length;) {
        const char* name = names.constData() + at;
        QByteArray value(64 * 1024, Qt::Uninitialized);
        const ssize_t n = ::fgetxattr(from, name, value.data(), size_t(value.size()));
        if (n >= 0 && ::fsetxattr(to, name, value.constData(), size_t(n), 0) != 0) {
            // Not ours to set (a security label, say): left to the file system's default.
        }
        at += qsizetype(qstrlen(name)) + 1;
    }
}

// Copies `length` bytes: in the kernel where it can, else through a small buffer. Writeback of
// each chunk starts at once, so the flush that follows has little left to do.
std::optional<TagLibMetadataError> copyRange(int from, qint64 fromOffset, int to, qint64 toOffset,
                                             qint64 length, const TagWriteContext& context,
                                             qint64 neededBytes)
{
    bool inKernel = true;
    QByteArray buffer;
    for (qint64 done = 0; done < length;) {
        if (context.stop.stop_requested())
            return cancelled();
        const qint64 chunk = qMin(CopyChunk, length - done);
        ssize_t n = -1;
        if (inKernel) {
            loff_t in = fromOffset + done;
            loff_t out = toOffset + done;
            n = ::copy_file_range(from, &in, to, &out, size_t(chunk), 0);
            if (n < 0 && done == 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                inKernel = false;
                continue;
            }
        } else {
            buffer.resize(qMin<qint64>(chunk, 1024 * 1024));
            n = ::pread(from, buffer.data(), size_t(buffer.size()), fromOffset + done);
            if (n > 0 && !fileio::writeAt(to, toOffset + done, buffer.left(n)))
                return writeFailure(errno, QStringLiteral("Unable to write the new file"), context.path,
                                    neededBytes);
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // the episode got shorter
            return writeFailure(errno, QStringLiteral("Unable to copy the audio"), context.path, neededBytes);
        }
        ::sync_file_range(to, toOffset + done, n, SYNC_FILE_RANGE_WRITE);
        done += n;
    }
    return std::nullopt;
}

bool sameAudioEnds(int episode, qint64 audioBegin, int copy, qint64 copyBegin, qint64 length)
{
    for (const qint64 at : {qint64(0), qMax<qint64>(0, length - AudioSample)}) {
        const qint64 n = qMin(AudioSample, length);
        const std::optional<QByteArray> a = fileio::readAt(episode, audioBegin + at, n);
        const std::optional<QByteArray> b = fileio::readAt(copy, copyBegin + at, n);
        if (!a || !b || *a != *b)
            return false;
    }
    return true;
}

// Writes the new bytes of every region, flushes them and reads them back.
std::optional<TagLibMetadataError> writeRegions(const TagWriteContext& context,
                                                const QList<TagJournal::Region>& regions)
{
    std::optional<TagLibMetadataError> failed;
    for (qsizetype i = 0; i < regions.size() && !failed; ++i) {
        if (!fileio::writeAt(context.episode, regions[i].offset, regions[i].after))
            failed = writeFailure(errno, QStringLiteral("Unable to write the tag"), context.path,
                                  regions[i].after.size());
        else if (i == 0 && context.probe.afterFirstWrite && !context.probe.afterFirstWrite())
            failed =
                failure(TagLibMetadataErrorCode::WriteFailed, QStringLiteral("The write was interrupted."));
    }
    if (!failed && ::fdatasync(context.episode) != 0)
        failed = writeFailure(errno, QStringLiteral("Unable to flush the tag to disk"), context.path, 0);
    for (qsizetype i = 0; i < regions.size() && !failed; ++i) {
        const std::optional<QByteArray> back =
            fileio::readAt(context.episode, regions[i].offset, regions[i].after.size());
        if (!back || *back != regions[i].after)
            failed = failure(TagLibMetadataErrorCode::WriteFailed,
                             QStringLiteral("The tag did not read back as written."));
    }
    if (!failed && !context.tag.isEmpty() && !tagReadsBack(context.episode, context))
        failed = failure(TagLibMetadataErrorCode::WriteFailed,
                         QStringLiteral("The written tag does not read back."));
    return failed;
}

// Puts the old bytes back, all of them: a failed write may have reached any of the regions.
bool restoreRegions(const TagWriteContext& context, const QList<TagJournal::Region>& regions)
{
    bool restored = true;
    for (const TagJournal::Region& region : regions)
        restored = restored && fileio::writeAt(context.episode, region.offset, region.before);
    restored = restored && ::fdatasync(context.episode) == 0;
    for (const TagJournal::Region& region : regions) {
        const std::optional<QByteArray> back =
            fileio::readAt(context.episode, region.offset, region.before.size());
        restored = restored && back && *back == region.before;
    }
    return restored;
}

} // namespace

std::optional<TagLibMetadataError> writeInPlace(const TagWriteContext& context,
                                                const QList<TagJournal::Region>& regions)
{
    if (context.probe.beforeCommit)
        context.probe.beforeCommit();
    if (context.stop.stop_requested())
        return cancelled();
    const std::optional<RuntimeLock> episodeLock = TagJournal::lockEpisode(context.identity, context.stop);
    if (!episodeLock)
        return context.stop.stop_requested() ? cancelled() : anotherSaveGoesOn();
    const auto guard = TagJournal::lock();
    if (!unchanged(context))
        return changedMeanwhile();
    QString why;
    std::optional<TagJournal> journal = TagJournal::begin(context.path, context.identity, regions, &why);
    if (!journal)
        return failure(TagLibMetadataErrorCode::WriteFailed,
                       QStringLiteral("Airlark could not keep an undo copy of the tag before writing it: ") +
                           why);

    std::optional<TagLibMetadataError> failed = writeRegions(context, regions);
    if (!failed && journal->finish())
        return std::nullopt;
    if (!failed)
        failed = failure(TagLibMetadataErrorCode::WriteFailed,
                         QStringLiteral("Unable to close the undo copy: ") + fileio::errorText(errno));

    if (restoreRegions(context, regions) && journal->finish())
        return failed;
    failed->fileUnchanged = false;
    failed->message +=
        QStringLiteral(" The old tag could not be put back yet; Airlark will put it back when it "
                       "next starts.");
    return failed;
}

std::optional<TagLibMetadataError> rewriteWholeFile(const TagWriteContext& context, qint64 audioBegin,
                                                    qint64 audioEnd, const QByteArray& id3v1)
{
    const qint64 audioLength = audioEnd - audioBegin;
    const qint64 newSize = context.tag.size() + audioLength + id3v1.size();
    struct statvfs space = {};
    if (::statvfs(QFile::encodeName(fileio::folderOf(context.path)).constData(), &space) == 0 &&
        qint64(space.f_bavail) * qint64(space.f_frsize) < newSize + SpaceSlack)
        return noSpace(context.path, newSize + SpaceSlack);

    NewFile copy(context.path);
    if (!copy.valid())
        return writeFailure(errno, QStringLiteral("Unable to create a new file beside the episode"),
                            context.path, newSize);
    keepAttributes(context.episode, copy.fd());
    if (!fileio::writeAt(copy.fd(), 0, context.tag))
        return writeFailure(errno, QStringLiteral("Unable to write the new file"), context.path, newSize);
    if (auto failed = copyRange(context.episode, audioBegin, copy.fd(), context.tag.size(), audioLength,
                                context, newSize))
        return failed;
    if (!fileio::writeAt(copy.fd(), context.tag.size() + audioLength, id3v1))
        return writeFailure(errno, QStringLiteral("Unable to write the new file"), context.path, newSize);
    if (context.stop.stop_requested())
        return cancelled();
    if (::fsync(copy.fd()) != 0)
        return writeFailure(errno, QStringLiteral("Unable to flush the new file to disk"), context.path,
                            newSize);

    const std::optional<fileio::FileIdentity> written = fileio::identityOf(copy.fd());
    const std::optional<QByteArray> trailer = fileio::readAt(copy.fd(), newSize - id3v1.size(), id3v1.size());
    if (!written || written->size != newSize || !tagReadsBack(copy.fd(), context) ||
        !sameAudioEnds(context.episode, audioBegin, copy.fd(), context.tag.size(), audioLength) ||
        trailer != id3v1)
        return failure(TagLibMetadataErrorCode::WriteFailed,
                       QStringLiteral("The new file did not read back as written."));

    // No other Airlark process writes the episode meanwhile; any other program is caught by the
    // exchange's own check.
    const std::optional<RuntimeLock> episodeLock = TagJournal::lockEpisode(context.identity, context.stop);
    if (!episodeLock)
        return context.stop.stop_requested() ? cancelled() : anotherSaveGoesOn();
    if (context.probe.beforeCommit)
        context.probe.beforeCommit();
    if (context.stop.stop_requested())
        return cancelled();
    if (auto failed = copy.exchangeWithEpisode(context, newSize))
        return failed;
    // The exchange is durable once the folder's entries are on disk; failing to flush the folder
    // does not undo it, so it is not reported as a failure.
    fileio::syncFolderOf(context.path);
    return std::nullopt;
}

} // namespace airlark
