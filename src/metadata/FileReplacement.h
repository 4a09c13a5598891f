#pragma once

#include <QString>
#include <memory>

namespace airlark {

// A private copy of a file, made beside it in the same folder, that either replaces the original
// in one atomic rename or disappears without a trace.
//
// This is how Airlark edits an episode without ever risking it: all changes go to the copy, and
// the original is only swapped out once the copy is complete, checked and flushed to disk. If
// anything fails before commit(), the original has not been touched, byte for byte. The copy
// carries the original's permission bits (and its owner, where the process may set it).
class FileReplacement
{
public:
    // Copies `path` (which must name a regular file; symbolic links are followed so that the link
    // itself survives) and returns the replacement, or nullptr with a reason in `error`.
    static std::unique_ptr<FileReplacement> copyOf(const QString& path, QString* error);

    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Where the copy lives until commit(); edit this file.
    const QString& temporaryPath() const { return temporaryPath_; }
    // The file that commit() replaces (the symbolic link's target when `path` was a link).
    const QString& targetPath() const { return targetPath_; }

    // Flushes the copy to disk and renames it over the target. On false nothing has changed on
    // disk except that the copy is removed when this object goes away.
    bool commit(QString* error);

private:
    FileReplacement(QString targetPath, QString temporaryPath)
        : targetPath_(std::move(targetPath)), temporaryPath_(std::move(temporaryPath))
    {
    }

    QString targetPath_;
    QString temporaryPath_;
    bool committed_ = false;
};

} // namespace airlark
