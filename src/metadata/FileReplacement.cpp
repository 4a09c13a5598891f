#include "metadata/FileReplacement.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace airlark {
namespace {

// A file descriptor that is closed on every return path.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close itself succeeded (it can report a late write error).
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void reset() { close(); }

private:
    int fd_;
};

QString systemError(const QString& what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// Copies the whole of `in` into `out`: a shared-extent clone where the file system offers one,
// else an in-kernel copy, else plain reads and writes.
bool copyContents(int in, int out, off_t size, QString* error)
{
    if (::ioctl(out, FICLONE, in) == 0)
        return true;

    off_t copied = 0;
    bool kernelCopy = true;
    while (copied < size && kernelCopy) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(size - copied), 0);
        if (n > 0) {
            copied += n;
        } else if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) &&
                   copied == 0) {
            kernelCopy = false;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0)
                errno = EIO; // the file shrank while it was being copied
            *error = systemError(QStringLiteral("Unable to copy the file"));
            return false;
        }
    }
    if (copied == size)
        return true;

    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (copied < size) {
        const ssize_t n = ::pread(in, buffer.data(), static_cast<size_t>(buffer.size()), copied);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            *error = systemError(QStringLiteral("Unable to read the file"));
            return false;
        }
        ssize_t written = 0;
        while (written < n) {
            const ssize_t w = ::pwrite(out, buffer.constData() + written, static_cast<size_t>(n - written),
                                       copied + written);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                *error = systemError(QStringLiteral("Unable to write the copy"));
                return false;
            }
            written += w;
        }
        copied += n;
    }
    return true;
}

bool syncDirectory(const QByteArray& directory)
{
    FileDescriptor fd(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

} // namespace

std::unique_ptr<FileReplacement> FileReplacement::copyOf(const QString& path, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;

    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty()) {
        *error = QStringLiteral("The file does not exist");
        return nullptr;
    }
    const QByteArray targetName = QFile::encodeName(target);
    FileDescriptor in(::open(targetName.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        *error = systemError(QStringLiteral("Unable to open the file"));
        return nullptr;
    }
    struct stat status = {};
    if (::fstat(in.get(), &status) != 0) {
        *error = systemError(QStringLiteral("Unable to read the file's attributes"));
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = QStringLiteral("Not a regular file");
        return nullptr;
    }

    const QFileInfo info(target);
    QByteArray pattern = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                           QStringLiteral(".airlark-XXXXXX"));
    FileDescriptor out(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!out.valid()) {
        *error = systemError(QStringLiteral("Unable to create a working copy beside the file"));
        return nullptr;
    }
    // From here on the object owns the copy and removes it on failure.
    std::unique_ptr<FileReplacement> replacement(new FileReplacement(target, QFile::decodeName(pattern)));

    // Keeping the owner and permissions is best effort: file systems without Unix permissions (FAT
    // and exFAT, common on external drives) refuse to change them, which must not stop the save.
    const bool otherOwner = status.st_uid != ::geteuid() || status.st_gid != ::getegid();
    if (otherOwner && ::fchown(out.get(), status.st_uid, status.st_gid) != 0 &&
        ::fchown(out.get(), static_cast<uid_t>(-1), status.st_gid) != 0) {
        // Neither owner nor group could be kept: the copy stays ours.
    }
    if (::fchmod(out.get(), status.st_mode & 07777) != 0) {
        // The file system has no Unix permissions; the copy keeps what it gives.
    }
    if (!copyContents(in.get(), out.get(), status.st_size, error))
        return nullptr;
    struct stat copied = {};
    if (::fstat(out.get(), &copied) != 0 || copied.st_size != status.st_size) {
        *error = QStringLiteral("The working copy is incomplete");
        return nullptr;
    }
    if (!out.close()) {
        *error = systemError(QStringLiteral("Unable to write the copy"));
        return nullptr;
    }
    return replacement;
}

FileReplacement::~FileReplacement()
{
    if (!committed_)
        ::unlink(QFile::encodeName(temporaryPath_).constData());
}

bool FileReplacement::commit(QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    const QByteArray temporary = QFile::encodeName(temporaryPath_);
    const QByteArray target = QFile::encodeName(targetPath_);

    FileDescriptor copy(::open(temporary.constData(), O_RDONLY | O_CLOEXEC));
    if (!copy.valid() || ::fsync(copy.get()) != 0 || !copy.close()) {
        *error = systemError(QStringLiteral("Unable to flush the working copy to disk"));
        return false;
    }
    // The original may have been removed or replaced by something else since the copy was made;
    // renaming over it then would bring back a deleted episode or clobber another file.
    struct stat status = {};
    if (::lstat(target.constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = QStringLiteral("The file was removed or replaced while it was being written");
        return false;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        *error = systemError(QStringLiteral("Unable to replace the file"));
        return false;
    }
    committed_ = true;
    // The rename is durable once the folder's entry is on disk; failing to flush the folder does
    // not undo it, so it is not reported as a failure.
    syncDirectory(QFile::encodeName(QFileInfo(targetPath_).absolutePath()));
    return true;
}

} // namespace airlark
