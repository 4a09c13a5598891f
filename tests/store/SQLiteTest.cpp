#include "store/SQLite.h"

#include "support/StoreFixture.h"

#include <QFileInfo>

namespace airlark::test {
namespace {

using SQLiteTest = StoreTest;

TEST_F(SQLiteTest, OnlyCommittedWorkAndStatementsThatBindStayInTheFile)
{
    // An odd path is a file name, never read as a URI with options.
    const QString path = dataHome() + QStringLiteral("/file:odd?mode=ro&x=#1 \xC3\xA9.sqlite3");
    auto opened = sqlite::Connection::open(path);
    ASSERT_TRUE(opened) << opened.error().message.toStdString();
    sqlite::Connection connection = std::move(opened).value();
    ASSERT_FALSE(connection.execute(QStringLiteral("CREATE TABLE t (x)")));
    EXPECT_TRUE(QFileInfo::exists(path));
    {
        auto rolledBack = sqlite::Transaction::begin(connection);
        ASSERT_FALSE(connection.execute(QStringLiteral("INSERT INTO t VALUES (1)")));
    }
    auto transaction = sqlite::Transaction::begin(connection);
    ASSERT_FALSE(connection.execute(QStringLiteral("INSERT INTO t VALUES (2)")));
    sqlite::Transaction committed = std::move(transaction).value();
    EXPECT_FALSE(committed.commit());
    EXPECT_TRUE(committed.commit()) << "only once";

    EXPECT_FALSE(connection.prepare(QStringLiteral("INSERT INTO nowhere VALUES (?)")));
    EXPECT_FALSE(connection.prepare(QStringLiteral("   ")));
    sqlite::Statement statement = connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)")).value();
    statement.bind(2, qint64(3)); // there is no second parameter
    EXPECT_EQ(statement.step(), sqlite::Statement::Step::Failed);
    EXPECT_EQ(sqliteCommand(path, QStringLiteral("SELECT group_concat(x) FROM t")), QStringLiteral("2"));
}

} // namespace
} // namespace airlark::test
