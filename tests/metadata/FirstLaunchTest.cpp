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

// The tables' exact layout is the store's tests' job; here, that a first launch creates them.
int tableCount(const QString& databasePath)
{
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    int count = 0;
    if (sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'", -1, &statement,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
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
    const bool created = test::waitFor([&] { return tableCount(database) == 3; }, std::chrono::seconds(20));
    airlark.terminate();
    if (!airlark.waitForFinished(5000))
        airlark.kill();
    ASSERT_TRUE(created) << airlark.readAll().toStdString();
}

} // namespace
} // namespace airlark
