#include "metadata/TagJournal.h"

#include "store/DataDirectory.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <fcntl.h>
#include <unistd.h>

namespace airlark {
namespace {

Q_LOGGING_CATEGORY(journalLog, "airlark.metadata.journal")

constexpr quint32 Magic = 0x41544a31; // "ATJ1"
constexpr int DigestBytes = 32;

struct Record
{
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    QList<TagJournal::Region> regions;
};

const QString JournalFolderName = QStringLiteral("tag-journal");

QString journalFolder()
{
    return QDir(dataDirectoryPath()).filePath(JournalFolderName);
}

QString journalName(const fileio::FileIdentity& identity)
{
    return QStringLiteral("%1-%2.journal")
        .arg(quint64(identity.device), 0, 16)
        .arg(quint64(identity.inode), 0, 16);
}

QString episodeLockName(quint64 device, quint64 inode)
{
    return QStringLiteral("episode-%1-%2").arg(device, 0, 16).arg(inode, 0, 16);
}

// Long enough for another process's save of a long episode by a whole-file rewrite.
constexpr std::chrono::minutes EpisodeLockPatience{2};

QByteArray encode(const Record& record)
{
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << Magic << record.path << record.device << record.inode << record.size
        << quint32(record.regions.size());
    for (const TagJournal::Region& region : record.regions)
        out << region.offset << region.before << region.after;
    return body + QCryptographicHash::hash(body, QCryptographicHash::Sha256);
}

// Nothing for a journal cut short (a crash while it was written, before the episode was touched).
std::optional<Record> decode(const QByteArray& bytes)
{
    const QByteArray body = bytes.left(bytes.size() - DigestBytes);
    if (bytes.size() <= DigestBytes ||
        QCryptographicHash::hash(body, QCryptographicHash::Sha256) != bytes.right(DigestBytes))
        return std::nullopt;
    QDataStream in(body);
    in.setVersion(QDataStream::Qt_6_0);
    Record record;
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> record.path >> record.device >> record.inode >> record.size >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        TagJournal::Region region;
        in >> region.offset >> region.before >> region.after;
        record.regions.append(region);
    }
    if (magic != Magic || in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return record;
}

// The removal need not be durable: a journal that comes back after a power cut is either one
// finish() invalidated first, or one whose regions were put back to their old bytes already.
bool removeJournal(const QString& journalPath)
{
    return ::unlink(QFile::encodeName(journalPath).constData()) == 0;
}

// Whether every byte of `now` is the old or the new byte at its place: what a write cut short leaves.
bool onlyOldOrNew(const QByteArray& now, const TagJournal::Region& region)
{
    if (now.size() != region.before.size() || region.after.size() != region.before.size())
        return false;
    for (qsizetype i = 0; i < now.size(); ++i)
        if (now[i] != region.before[i] && now[i] != region.after[i])
            return false;
    return true;
}

void recoverJournal(const QString& journalPath, const std::optional<QString>& episodePath)
{
    QFile file(journalPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<Record> record = decode(file.readAll());
    file.close();
    if (!record) {
        removeJournal(journalPath);
        return;
    }
    const QString path = episodePath.value_or(record->path);
    // Another process holding the episode's lock is writing it now: its journal is no leftover.
    const std::optional<RuntimeLock> writing =
        RuntimeLock::acquire(episodeLockName(record->device, record->inode), std::chrono::milliseconds(0));
    if (!writing)
        return;
    const fileio::FileDescriptor episode = fileio::openFile(path, O_RDWR);
    const std::optional<fileio::FileIdentity> identity =
        episode.valid() ? fileio::identityOf(episode.get()) : std::nullopt;
    if (!identity) {
        // Perhaps on a drive that is not plugged in now: keep the journal for a later start.
        qCWarning(journalLog) << "An interrupted tag write of" << path
                              << "cannot be undone now:" << fileio::errorText(errno);
        return;
    }
    if (quint64(identity->device) != record->device || quint64(identity->inode) != record->inode) {
        // The path names another file now (the episode was moved or replaced): the journal is kept
        // for the episode's own next open, wherever it is.
        qCInfo(journalLog) << "An interrupted tag write of" << path << "belongs to a file no longer there";
        return;
    }
    bool allOld = true;
    bool foreign = identity->size != record->size;
    for (qsizetype i = 0; i < record->regions.size() && !foreign; ++i) {
        const TagJournal::Region& region = record->regions[i];
        const std::optional<QByteArray> now =
            fileio::readAt(episode.get(), region.offset, region.before.size());
        if (!now)
            return;
        allOld = allOld && *now == region.before;
        foreign = !onlyOldOrNew(*now, region);
    }
    if (foreign) {
        qCWarning(journalLog) << "Another program changed" << path
                              << "after an interrupted tag write; it is left as it is";
    } else if (!allOld) {
        for (const TagJournal::Region& region : record->regions)
            if (!fileio::writeAt(episode.get(), region.offset, region.before))
                return;
        if (::fdatasync(episode.get()) != 0)
            return;
        qCInfo(journalLog) << "Undid an interrupted tag write of" << path;
    }
    removeJournal(journalPath);
}

} // namespace

std::unique_lock<std::mutex> TagJournal::lock()
{
    static std::mutex mutex;
    return std::unique_lock<std::mutex>(mutex);
}

std::optional<RuntimeLock> TagJournal::lockEpisode(const fileio::FileIdentity& identity, std::stop_token stop)
{
    return RuntimeLock::acquire(episodeLockName(quint64(identity.device), quint64(identity.inode)),
                                EpisodeLockPatience, [&stop] { return stop.stop_requested(); });
}

std::optional<TagJournal> TagJournal::begin(const QString& path, const fileio::FileIdentity& identity,
                                            const QList<Region>& regions, QString* error)
{
    const std::optional<QString> folder = ensureDataSubdirectory(JournalFolderName);
    if (!folder) {
        *error = QStringLiteral("the data folder cannot be created");
        return std::nullopt;
    }
    const QString journalPath = QDir(*folder).filePath(journalName(identity));
    const QByteArray bytes =
        encode({path, quint64(identity.device), quint64(identity.inode), qint64(identity.size), regions});
    fileio::FileDescriptor out = fileio::openFile(journalPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!out.valid() || !fileio::writeAt(out.get(), 0, bytes) || ::fdatasync(out.get()) != 0 ||
        !fileio::syncFolderOf(journalPath)) {
        *error = fileio::errorText(errno);
        ::unlink(QFile::encodeName(journalPath).constData());
        return std::nullopt;
    }
    return TagJournal(journalPath, std::move(out));
}

bool TagJournal::finish()
{
    // Invalid from its first byte on, and durably so, before the save counts as done; a journal
    // that cannot be invalidated stays, and puts the old bytes back at the next start.
    if (!file_.valid() || !fileio::writeAt(file_.get(), 0, QByteArray(4, '\0')) ||
        ::fdatasync(file_.get()) != 0)
        return false;
    file_.close();
    removeJournal(journalPath_);
    return true;
}

void TagJournal::recover(const QString& path)
{
    const std::optional<fileio::FileIdentity> identity = fileio::identityOf(path);
    if (!identity || dataDirectoryPath().isEmpty())
        return;
    const QString journalPath = QDir(journalFolder()).filePath(journalName(*identity));
    const auto guard = lock();
    if (QFile::exists(journalPath))
        recoverJournal(journalPath, path);
}

void TagJournal::recoverAll()
{
    if (dataDirectoryPath().isEmpty())
        return;
    const QDir folder(journalFolder());
    for (const QString& name : folder.entryList({QStringLiteral("*.journal")}, QDir::Files)) {
        const auto guard = lock();
        recoverJournal(folder.filePath(name), std::nullopt);
    }
}

} // namespace airlark
