#pragma once

// POSIX file helpers of the tag writer (its in-place and whole-file paths and the journal).
// Internal to the metadata library.

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace airlark::fileio {

// A file descriptor that is closed on every return path.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close itself succeeded (it can report a late write error).
    bool close();

private:
    int fd_;
};

FileDescriptor openFile(const QString& path, int flags, mode_t mode = 0);

// What makes the episode the file that was read: a save refuses to write once any of it changed.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNanoseconds = 0;

    bool sameFile(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> identityOf(int fd);
// The file `path` names now (symbolic links followed).
std::optional<FileIdentity> identityOf(const QString& path);

// Exactly `length` bytes at `offset`; nothing on an error or a short read (errno tells which).
std::optional<QByteArray> readAt(int fd, qint64 offset, qint64 length);
// Writes all of `bytes` at `offset`; false with errno set otherwise.
bool writeAt(int fd, qint64 offset, const QByteArray& bytes);

// Flushes the folder holding `path`, so that a new, renamed or removed entry in it is durable.
bool syncFolderOf(const QString& path);

QString folderOf(const QString& path);
QString errorText(int error);

} // namespace airlark::fileio
