#include "StoreFixture.h"

#include "store/Account.h"
#include "store/DataDirectory.h"
#include "store/Database.h"
#include "store/ID3Template.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <thread>

namespace airlark::test {
namespace {

using DatabaseTest = StoreTest;

const QString TemplateTableSQL = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS \"id3_template\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"name\" TEXT NOT NULL "
    "UNIQUE, \"last_episode_title\" TEXT, \"title\" TEXT, \"artist\" TEXT, \"album\" TEXT, \"album_artist\" TEXT, "
    "\"comment\" TEXT, \"lyrics\" TEXT, \"year\" INTEGER, \"artwork_url\" TEXT);");
const QString AccountTableSQL = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS \"account\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"display_name\" TEXT NOT NULL, "
    "\"host\" TEXT NOT NULL, \"feed_type\" TEXT, \"email\" TEXT);");
const QString PodcastFieldsTableSQL = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS \"id3_template_podcast\" (\"template_id\" INTEGER PRIMARY KEY NOT NULL "
    "REFERENCES \"id3_template\" (\"id\"), \"genre\" TEXT, \"season\" INTEGER, \"feed_url\" TEXT, "
    "\"explicit\" INTEGER NOT NULL);");

TEST_F(DatabaseTest, FirstOpenCreatesTheDataDirectoryAndAnEmptyDatabaseFile)
{
    // Intermediate directories too: XDG_DATA_HOME itself does not exist yet.
    setDataHome(dataHome() + QStringLiteral("/not/yet/there"));
    const std::optional<Database> database = Database::open();
    ASSERT_TRUE(database);

    const QString directory = dataHome() + QStringLiteral("/not/yet/there/org.airlark.Airlark");
    EXPECT_TRUE(QFileInfo(directory).isDir());
    const QFileInfo file(directory + QStringLiteral("/database.sqlite3"));
    EXPECT_TRUE(file.isFile());
    EXPECT_EQ(file.size(), 0); // the open creates no tables
    EXPECT_EQ(database->url(), QUrl::fromLocalFile(file.absoluteFilePath()));
}

TEST_F(DatabaseTest, CreateTablesUsesTheExactStatements)
{
    const Database database = openWithTables();
    EXPECT_EQ(
        sqliteSchema(databasePath()).trimmed(),
        QStringList({TemplateTableSQL, AccountTableSQL, PodcastFieldsTableSQL}).join(QLatin1Char('\n')));
}

TEST_F(DatabaseTest, LaterLaunchesLeaveTablesAndRowsUntouched)
{
    {
        const Database database = openWithTables();
        ASSERT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("Show")).insert());
        ASSERT_TRUE(Account::createAccount(database, QStringLiteral("me"), QStringLiteral("Libsyn"),
                                           LibsynAccountFeedType::Libsyn, std::nullopt));
    }
    const QByteArray before = fileBytes(databasePath());

    const Database again = openWithTables();
    EXPECT_FALSE(again.createTables());
    EXPECT_EQ(fileBytes(databasePath()), before);
    ASSERT_EQ(ID3Template::selectAll(again).size(), 1u);
    ASSERT_EQ(Account::selectAll(again).size(), 1u);
}

TEST_F(DatabaseTest, CopiesShareTheConnectionAndOutliveTheOriginal)
{
    std::optional<Database> copy;
    {
        const Database original = openWithTables();
        copy = original;
        EXPECT_EQ(&copy->connection(), &original.connection());
    }
    EXPECT_TRUE(ID3TemplateQueryBuilder(*copy, QStringLiteral("Still open")).insert());
}

TEST_F(DatabaseTest, OpenFailsWhenTheDataDirectoryCannotBeCreated)
{
    // A file where a parent directory should be: nobody, root included, can create below it.
    const QString blocker = dataHome() + QStringLiteral("/file");
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    setDataHome(blocker + QStringLiteral("/below"));

    EXPECT_FALSE(Database::open());
    EXPECT_EQ(fileBytes(blocker), QByteArray("keep me"));
}

TEST_F(DatabaseTest, OpenFailsWhenTheDataDirectoryIsAFile)
{
    QFile file(dataHome() + QStringLiteral("/org.airlark.Airlark"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a directory");
    file.close();

    EXPECT_FALSE(Database::open());
    EXPECT_EQ(fileBytes(file.fileName()), QByteArray("not a directory"));
}

TEST_F(DatabaseTest, OpenFailsWhenTheDataHomeIsReadOnly)
{
    const ReadOnlyGuard readOnly(dataHome());
    if (!readOnly.isActive())
        GTEST_SKIP() << "cannot make a directory read-only here";
    EXPECT_FALSE(Database::open());
    EXPECT_FALSE(QFileInfo::exists(dataDirectoryPath()));
}

TEST_F(DatabaseTest, OpenFailsWhenTheDatabaseFileCannotBeCreated)
{
    ASSERT_TRUE(ensureDataDirectory());
    const ReadOnlyGuard readOnly(dataDirectoryPath());
    if (!readOnly.isActive())
        GTEST_SKIP() << "cannot make a directory read-only here";
    EXPECT_FALSE(Database::open());
    EXPECT_FALSE(QFileInfo::exists(databasePath()));
}

TEST_F(DatabaseTest, OpenFailsWhenTheDatabasePathIsADirectory)
{
    ASSERT_TRUE(QDir().mkpath(databasePath()));
    const std::optional<Database> database = Database::open();
    if (database) {
        EXPECT_TRUE(database->createTables());
    }
    EXPECT_TRUE(QFileInfo(databasePath()).isDir());
}

// Files that are not SQLite databases, including one whose first bytes merely look like one.
class NotADatabaseTest : public StoreTest, public ::testing::WithParamInterface<Case<QByteArray>>
{
};

TEST_P(NotADatabaseTest, FailsCleanlyAndLeavesTheFileAlone)
{
    ASSERT_TRUE(ensureDataDirectory());
    QFile file(databasePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().value);
    file.close();

    {
        const std::optional<Database> database = Database::open();
        if (database) {
            NotificationCounter created(ID3Template::createdNotificationName);
            NotificationCounter accounts(Account::availableAccountsDidChangeNotificationName);
            EXPECT_TRUE(database->createTables());
            EXPECT_TRUE(ID3Template::selectAll(*database).empty());
            EXPECT_FALSE(ID3Template::find(*database, 1));
            EXPECT_FALSE(ID3TemplateQueryBuilder(*database, QStringLiteral("x")).insert());
            EXPECT_TRUE(Account::selectAll(*database).empty());
            EXPECT_FALSE(Account::insertPlaceholder(*database));
            EXPECT_FALSE(Account::createAccount(*database, QStringLiteral("x"), QStringLiteral("Libsyn"),
                                                LibsynAccountFeedType::Libsyn, std::nullopt));
            EXPECT_EQ(created.count(), 0);
            EXPECT_EQ(accounts.count(), 0);
        }
    }
    EXPECT_EQ(fileBytes(databasePath()), GetParam().value);
    EXPECT_FALSE(QFileInfo::exists(databasePath() + QStringLiteral("-journal")));
}

INSTANTIATE_TEST_SUITE_P(Files, NotADatabaseTest,
                         ::testing::Values(Case{"text", QByteArray("These are my show notes, not a database.\n").repeated(200)},
                                           Case{"SQLite header, garbage after",
                                                QByteArray("SQLite format 3").append('\0').append(QByteArray(4000, '\x7f'))},
                                           Case{"MP3", QByteArray(8192, '\0').replace(0, 4, "ID3\x04")}));

TEST_F(DatabaseTest, ReadOnlyFileIsReadButNeverWritten)
{
    {
        const Database database = openWithTables();
        ASSERT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("Existing")).insert());
    }
    const QByteArray before = fileBytes(databasePath());
    const ReadOnlyGuard readOnly(databasePath());
    if (!readOnly.isActive())
        GTEST_SKIP() << "cannot make a file read-only here";

    const std::optional<Database> database = Database::open();
    ASSERT_TRUE(database);
    EXPECT_FALSE(database->createTables()); // the tables exist: nothing to write
    const auto templates = ID3Template::selectAll(*database);
    ASSERT_EQ(templates.size(), 1u);
    EXPECT_FALSE(ID3TemplateQueryBuilder(*database, QStringLiteral("New")).insert());
    EXPECT_FALSE(ID3Template::find(*database, templates.front().id)->updateLastEpisodeTitle(QStringLiteral("t")));
    EXPECT_TRUE(Account::createAccount(*database, QStringLiteral("x"), QStringLiteral("Libsyn"),
                                       LibsynAccountFeedType::Libsyn, std::nullopt)
                    .error()
                    .index() == 0);
    EXPECT_EQ(fileBytes(databasePath()), before);
}

TEST_F(DatabaseTest, ReadOnlyEmptyFileFailsCreateTables)
{
    ASSERT_TRUE(ensureDataDirectory());
    QFile file(databasePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const ReadOnlyGuard readOnly(databasePath());
    if (!readOnly.isActive())
        GTEST_SKIP() << "cannot make a file read-only here";

    const std::optional<Database> database = Database::open();
    if (database) {
        const std::optional<SQLError> error = database->createTables();
        ASSERT_TRUE(error);
        EXPECT_FALSE(error->message.isEmpty());
    }
    EXPECT_EQ(QFileInfo(databasePath()).size(), 0);
}

TEST_F(DatabaseTest, TemplateTableFailureStopsBeforeTheAccountTable)
{
    {
        const Database database = openWithTables();
        ASSERT_FALSE(database.connection().execute(QStringLiteral("DROP TABLE \"id3_template\"")));
        ASSERT_FALSE(database.connection().execute(QStringLiteral("DROP TABLE \"account\"")));
        // An index holding the template table's name makes its CREATE TABLE fail.
        ASSERT_FALSE(database.connection().execute(QStringLiteral("CREATE TABLE \"other\" (\"x\")")));
        ASSERT_FALSE(database.connection().execute(QStringLiteral("CREATE INDEX \"id3_template\" ON \"other\" (\"x\")")));
    }
    const std::optional<Database> database = Database::open();
    ASSERT_TRUE(database);
    const std::optional<SQLError> error = database->createTables();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->message.contains(QStringLiteral("id3_template"))) << error->message.toStdString();
    EXPECT_FALSE(sqliteSchema(databasePath()).contains(QStringLiteral("\"account\"")));
}

// Two holders at once, on two threads, each with its own connection: one inserts while the other
// lists. Neither may fail with "database is locked", and the reader sees every committed row.
TEST_F(DatabaseTest, ConcurrentWriterAndReaderNeverSeeLockedFailures)
{
    const Database reader = openWithTables();
    const std::optional<Database> writer = Database::open();
    ASSERT_TRUE(writer);
    constexpr int Count = 40;

    std::atomic<int> failedInserts{0};
    std::atomic<bool> done{false};
    std::thread writing([&] {
        for (int i = 0; i < Count; ++i) {
            if (!ID3TemplateQueryBuilder(*writer, QStringLiteral("Show %1").arg(i)).insert())
                ++failedInserts;
            if (!Account::createAccount(*writer, QStringLiteral("Account %1").arg(i), QStringLiteral("Libsyn"),
                                        LibsynAccountFeedType::External, QStringLiteral("a@b.c")))
                ++failedInserts;
        }
        done = true;
    });

    size_t seen = 0;
    bool shrank = false;
    while (!done) {
        const size_t now = ID3Template::selectAll(reader).size();
        shrank = shrank || now < seen; // an empty list here would mean a read failed
        seen = now;
        Account::selectAll(reader);
    }
    writing.join();

    EXPECT_EQ(failedInserts, 0);
    EXPECT_FALSE(shrank);
    EXPECT_EQ(ID3Template::selectAll(reader).size(), size_t(Count));
    EXPECT_EQ(Account::selectAll(reader).size(), size_t(Count));
}

} // namespace
} // namespace airlark::test
