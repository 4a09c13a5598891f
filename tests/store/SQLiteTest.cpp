#include "StoreFixture.h"

#include "store/SQLite.h"

namespace airlark::test {
namespace {

using SQLiteTest = StoreTest;

sqlite::Connection openConnection(const QString& path)
{
    auto connection = sqlite::Connection::open(path);
    if (!connection) {
        ADD_FAILURE() << connection.error().message.toStdString();
        std::abort();
    }
    return std::move(connection).value();
}

TEST_F(SQLiteTest, TransactionRollsBackUnlessCommitted)
{
    const QString path = dataHome() + QStringLiteral("/t.sqlite3");
    sqlite::Connection connection = openConnection(path);
    ASSERT_FALSE(connection.execute(QStringLiteral("CREATE TABLE t (x)")));
    {
        auto transaction = sqlite::Transaction::begin(connection);
        ASSERT_TRUE(transaction);
        ASSERT_FALSE(connection.execute(QStringLiteral("INSERT INTO t VALUES (1)")));
    }
    {
        auto transaction = sqlite::Transaction::begin(connection);
        ASSERT_TRUE(transaction);
        ASSERT_FALSE(connection.execute(QStringLiteral("INSERT INTO t VALUES (2)")));
        sqlite::Transaction committed = std::move(transaction).value();
        EXPECT_FALSE(committed.commit());
        EXPECT_TRUE(committed.commit()); // only once
    }
    EXPECT_EQ(sqliteCommand(path, QStringLiteral("SELECT x FROM t")).trimmed(), QStringLiteral("2"));
}

TEST_F(SQLiteTest, WriterWaitsForAnotherConnectionsWriteLockThenGivesUp)
{
    const QString path = dataHome() + QStringLiteral("/t.sqlite3");
    sqlite::Connection first = openConnection(path);
    sqlite::Connection second = openConnection(path);
    ASSERT_FALSE(first.execute(QStringLiteral("CREATE TABLE t (x)")));
    second.setBusyTimeout(std::chrono::milliseconds(100));

    auto held = sqlite::Transaction::begin(first);
    ASSERT_TRUE(held);
    const std::optional<SQLError> blocked = second.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
    ASSERT_TRUE(blocked);
    EXPECT_EQ(blocked->code & 0xff, 5); // SQLITE_BUSY, after waiting
}

TEST_F(SQLiteTest, BindAndPrepareFailuresAreReportedNotRun)
{
    sqlite::Connection connection = openConnection(dataHome() + QStringLiteral("/t.sqlite3"));
    ASSERT_FALSE(connection.execute(QStringLiteral("CREATE TABLE t (x)")));

    auto bad = connection.prepare(QStringLiteral("INSERT INTO nowhere VALUES (?)"));
    ASSERT_FALSE(bad);
    EXPECT_TRUE(bad.error().message.contains(QStringLiteral("no such table")));
    EXPECT_TRUE(connection.prepare(QStringLiteral("   ")).hasValue() == false);

    auto prepared = connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
    ASSERT_TRUE(prepared);
    sqlite::Statement statement = std::move(prepared).value();
    statement.bind(2, qint64(1)); // there is no second parameter
    EXPECT_EQ(statement.step(), sqlite::Statement::Step::Failed);
    EXPECT_NE(statement.error().code, 0);
    EXPECT_EQ(sqliteCommand(dataHome() + QStringLiteral("/t.sqlite3"), QStringLiteral("SELECT count(*) FROM t")).trimmed(),
              QStringLiteral("0"));
}

TEST_F(SQLiteTest, OddPathsAreFileNamesNotURIs)
{
    const QString path = dataHome() + QStringLiteral("/file:odd?mode=ro&x=#1 \xC3\xA9.sqlite3");
    sqlite::Connection connection = openConnection(path);
    ASSERT_FALSE(connection.execute(QStringLiteral("CREATE TABLE t (x)")));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(connection.isReadOnly());
}

} // namespace
} // namespace airlark::test
