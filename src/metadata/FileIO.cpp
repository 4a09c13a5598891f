#include "metadata/FileIO.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace airlark::fileio {
namespace {

FileIdentity identityFrom(const struct stat& status)
{
    return {status.st_dev, status.st_ino, status.st_size,
            qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool FileDescriptor::close()
{
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
}

FileDescriptor openFile(const QString& path, int flags, mode_t mode)
{
    return FileDescriptor(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, mode));
}

std::optional<FileIdentity> identityOf(int fd)
{
    struct stat status = {};
    if (::fstat(fd, &status) != 0)
        return std::nullopt;
    return identityFrom(status);
}

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return identityFrom(status);
}

std::optional<QByteArray> readAt(int fd, qint64 offset, qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(length - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // the file ends early
            return std::nullopt;
        }
        done += n;
    }
    return bytes;
}

bool writeAt(int fd, qint64 offset, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

bool syncFolderOf(const QString& path)
{
    const FileDescriptor folder = openFile(folderOf(path), O_RDONLY | O_DIRECTORY);
    return folder.valid() && ::fsync(folder.get()) == 0;
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace airlark::fileio
