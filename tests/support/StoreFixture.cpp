#include "support/StoreFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <sys/stat.h>
#include <unistd.h>

namespace airlark::test {

void StoreTest::SetUp()
{
    ASSERT_TRUE(root_.isValid());
    ASSERT_TRUE(QDir().mkpath(dataHome()));
    setDataHome(dataHome());
}

Database StoreTest::openWithTables()
{
    std::optional<Database> database = Database::open();
    if (!database) {
        ADD_FAILURE() << "the store did not open";
        std::abort();
    }
    EXPECT_FALSE(database->createTables().has_value());
    return *database;
}

NotificationCounter::NotificationCounter(const QString& name)
{
    observation_.observe(this, name, [this](const NotificationCenter::Notification&) { ++count_; });
}

ReadOnlyGuard::ReadOnlyGuard(const QString& path) : path_(path)
{
    // Root writes through any permission bits; the immutable attribute stops it.
    const bool root = geteuid() == 0;
    immutable_ = root && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    active_ =
        root ? immutable_
             : ::chmod(QFile::encodeName(path_).constData(), QFileInfo(path_).isDir() ? 0555 : 0444) == 0;
}

ReadOnlyGuard::~ReadOnlyGuard()
{
    if (immutable_)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
    else if (active_)
        ::chmod(QFile::encodeName(path_).constData(), QFileInfo(path_).isDir() ? 0755 : 0644);
}

bool anyFileContains(const QString& directory, const QByteArray& needle)
{
    QDirIterator files(directory, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle))
            return true;
    }
    return false;
}

QString sqliteCommand(const QString& databasePath, const QString& sql)
{
    QProcess process;
    process.start(QStringLiteral("sqlite3"), {databasePath, sql});
    EXPECT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace airlark::test
