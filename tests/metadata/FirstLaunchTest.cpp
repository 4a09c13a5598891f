// The real `airlark` executable started with an empty data directory: it shows step 1 and its
// first template-list load creates its tables.
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace airlark {
namespace {

// The CREATE TABLE texts SQLite keeps, in table-name order; the template and account tables are
// fixed (other programs and older versions read them), the podcast fields live beside them.
QStringList tableStatements(const QString& databasePath)
{
    sqlite3* db = nullptr;
    QStringList statements;
    const QByteArray path = QFile::encodeName(databasePath);
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE type = 'table' ORDER BY name", -1,
                               &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW)
                statements << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return statements;
}

QStringList expectedTableStatements()
{
    return {
        QStringLiteral("CREATE TABLE \"account\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"display_name\" TEXT "
                       "NOT NULL, \"host\" TEXT NOT NULL, \"feed_type\" TEXT, \"email\" TEXT)"),
        QStringLiteral("CREATE TABLE \"id3_template\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"name\" TEXT "
                       "NOT NULL UNIQUE, \"last_episode_title\" TEXT, \"title\" TEXT, \"artist\" TEXT, "
                       "\"album\" TEXT, \"album_artist\" TEXT, \"comment\" TEXT, \"lyrics\" TEXT, "
                       "\"year\" INTEGER, \"artwork_url\" TEXT)"),
        QStringLiteral("CREATE TABLE \"id3_template_podcast\" (\"template_id\" INTEGER PRIMARY KEY NOT "
                       "NULL REFERENCES \"id3_template\" (\"id\"), \"genre\" TEXT, \"season\" INTEGER, "
                       "\"feed_url\" TEXT, \"explicit\" INTEGER NOT NULL)")};
}

TEST(FirstLaunchTest, AnEmptyDataDirectoryGetsTheDatabaseWithItsTables)
{
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("data"));
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess airlark;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    airlark.setProcessEnvironment(environment);
    airlark.setProcessChannelMode(QProcess::MergedChannels);
    airlark.start(test::binaryPath(QStringLiteral("src/app/airlark")), {});
    ASSERT_TRUE(airlark.waitForStarted(10000));

    const QString database = data + QStringLiteral("/org.airlark.Airlark/database.sqlite3");
    const bool created =
        test::waitFor([&] { return tableStatements(database).size() == 3; }, std::chrono::seconds(20));
    airlark.terminate();
    if (!airlark.waitForFinished(5000))
        airlark.kill();
    ASSERT_TRUE(created) << airlark.readAll().toStdString();
    EXPECT_EQ(tableStatements(database), expectedTableStatements());
}

} // namespace
} // namespace airlark
