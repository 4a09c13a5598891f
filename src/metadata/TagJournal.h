#pragma once

#include "metadata/FileIO.h"
#include "platform/RuntimeLock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <mutex>
#include <optional>
#include <stop_token>

namespace airlark {

// The undo record of an in-place tag write: the bytes of every region of the episode that the
// write is about to change, before and after, flushed to a small file in the data directory before
// the episode is touched and removed once the write is complete and checked.
//
// A crash in between leaves the journal behind. The next start (recoverAll) or the next open of
// that episode (recover) puts the old bytes back, provided the regions still hold nothing but old
// and new bytes; an episode that some other program has changed since is left alone. So is a
// journal whose episode another Airlark process holds the episode lock of (it is writing the tags
// now), or whose path names another file than the one it records (device and inode).
class TagJournal
{
public:
    struct Region
    {
        qint64 offset = 0;
        QByteArray before;
        QByteArray after;
    };

    // Writes and flushes the journal for the episode at `path` (its canonical path) identified by
    // `identity`. Nothing, with the reason in `error`, when it cannot be written.
    static std::optional<TagJournal> begin(const QString& path, const fileio::FileIdentity& identity,
                                           const QList<Region>& regions, QString* error);

    TagJournal(TagJournal&&) = default;
    TagJournal& operator=(TagJournal&&) = default;

    // Invalidates the journal durably and removes it: the episode now holds what it should. False
    // when the journal may still be found valid.
    bool finish();

    // Undoes an interrupted write of the episode at `path`, if its journal is there.
    static void recover(const QString& path);
    // Undoes every interrupted write a journal records (at start-up).
    static void recoverAll();

    // Held while a journal is written, applied or recovered, so that they never interleave within
    // the process. Take the episode's lock first, never the other way round.
    static std::unique_lock<std::mutex> lock();

    // The lock every Airlark process takes on the episode `identity` (by its device and inode)
    // while it saves the episode's tags or undoes an interrupted save. Waits while another holds it,
    // for a while or until `stop`; nothing then. Blocks: never on the GUI thread.
    static std::optional<RuntimeLock> lockEpisode(const fileio::FileIdentity& identity, std::stop_token stop);

private:
    TagJournal(QString journalPath, fileio::FileDescriptor file)
        : journalPath_(std::move(journalPath)), file_(std::move(file))
    {
    }

    QString journalPath_;
    fileio::FileDescriptor file_;
};

} // namespace airlark
