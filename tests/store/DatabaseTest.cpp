#include "store/Database.h"

#include "store/Account.h"
#include "store/DataDirectory.h"
#include "store/ID3Template.h"
#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QFileInfo>
#include <thread>

namespace airlark::test {
namespace {

using DatabaseTest = StoreTest;

// Other versions of Airlark read the same file: the tables are created by exactly these statements.
TEST_F(DatabaseTest, FirstLaunchCreatesTheFolderAndTheExactTablesAndLaterLaunchesChangeNothing)
{
    setDataHome(dataHome() + QStringLiteral("/not/yet/there"));
    {
        const std::optional<Database> database = Database::open();
        ASSERT_TRUE(database);
        EXPECT_EQ(QFileInfo(databasePath()).size(), 0) << "the open alone creates no tables";
        EXPECT_FALSE(database->createTables());
        ASSERT_TRUE(ID3TemplateQueryBuilder(*database, QStringLiteral("Show")).insert());
    }
    EXPECT_EQ(
        sqliteCommand(databasePath(), QStringLiteral(".schema")),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS \"id3_template\" (\"id\" INTEGER PRIMARY KEY NOT NULL, \"name\" "
            "TEXT NOT NULL UNIQUE, \"last_episode_title\" TEXT, \"title\" TEXT, \"artist\" TEXT, \"album\" "
            "TEXT, \"album_artist\" TEXT, \"comment\" TEXT, \"lyrics\" TEXT, \"year\" INTEGER, "
            "\"artwork_url\" TEXT);\nCREATE TABLE IF NOT EXISTS \"account\" (\"id\" INTEGER PRIMARY KEY "
            "NOT NULL, \"display_name\" TEXT NOT NULL, \"host\" TEXT NOT NULL, \"feed_type\" TEXT, "
            "\"email\" TEXT);\nCREATE TABLE IF NOT EXISTS \"id3_template_podcast\" (\"template_id\" INTEGER "
            "PRIMARY KEY NOT NULL REFERENCES \"id3_template\" (\"id\"), \"genre\" TEXT, \"season\" INTEGER, "
            "\"feed_url\" TEXT, \"explicit\" INTEGER NOT NULL);"));
    const QByteArray before = readFile(databasePath());
    const Database again = openWithTables();
    EXPECT_EQ(readFile(databasePath()), before);
    EXPECT_EQ(ID3Template::selectAll(again).size(), 1u);
}

// Places where the store cannot live: opening or creating the tables fails, and what was there stays
// (a read-only database file is read; see below).
TEST_F(DatabaseTest, AStoreThatCannotBeWrittenFailsAndLeavesWhatWasThere)
{
    const char* const folder = "/org.airlark.Airlark";
    const char* const file = "/org.airlark.Airlark/database.sqlite3";
    const struct
    {
        const char* label;
        const char* file; // made with content
        const char* folder;
        const char* readOnly;
    } rows[] = {{"data home is a file", "", nullptr, nullptr},
                {"data directory is a file", folder, nullptr, nullptr},
                {"database is a directory", nullptr, file, nullptr},
                {"read-only data home", nullptr, "", ""},
                {"read-only data directory", nullptr, folder, folder}};
    for (const auto& row : rows) {
        const QString home = dataHome() + QLatin1Char('/') + QLatin1String(row.label);
        const auto at = [&](const char* relative) -> QString { return home + QLatin1String(relative); };
        setDataHome(home);
        if (row.folder)
            QDir().mkpath(at(row.folder));
        if (row.file) {
            ASSERT_TRUE(writeFile(at(row.file), "keep me"));
        }
        const std::optional<ReadOnlyGuard> guard =
            row.readOnly ? std::make_optional<ReadOnlyGuard>(at(row.readOnly)) : std::nullopt;
        if (guard && !guard->isActive())
            continue; // nothing can be made read-only here
        const QByteArray before = readFile(at(row.file ? row.file : ""));
        if (const std::optional<Database> database = Database::open()) {
            EXPECT_TRUE(database->createTables()) << row.label;
        }
        EXPECT_EQ(readFile(at(row.file ? row.file : "")), before) << row.label;
    }
}

// Files that are not SQLite databases, including one whose first bytes merely look like one: reads
// find nothing and writes fail unannounced, the same paths a store without its tables takes.
TEST_F(DatabaseTest, AFileThatIsNotADatabaseFailsCleanlyAndIsLeftAlone)
{
    ASSERT_TRUE(ensureDataDirectory());
    for (const QByteArray& bytes :
         {QByteArray("My show notes, not a database.\n").repeated(200),
          QByteArray("SQLite format 3").append('\0').append(QByteArray(4000, '\x7f'))}) {
        SCOPED_TRACE(bytes.left(15).toStdString());
        ASSERT_TRUE(writeFile(databasePath(), bytes));
        if (const std::optional<Database> database = Database::open()) {
            NotificationCounter created(ID3Template::createdNotificationName);
            NotificationCounter accounts(Account::availableAccountsDidChangeNotificationName);
            EXPECT_TRUE(database->createTables());
            EXPECT_TRUE(ID3Template::selectAll(*database).empty());
            EXPECT_FALSE(ID3TemplateQueryBuilder(*database, QStringLiteral("x")).insert());
            EXPECT_TRUE(Account::selectAll(*database).empty());
            EXPECT_FALSE(Account::insertPlaceholder(*database));
            EXPECT_EQ(created.count() + accounts.count(), 0);
        }
        EXPECT_EQ(readFile(databasePath()), bytes);
        EXPECT_FALSE(QFileInfo::exists(databasePath() + QStringLiteral("-journal")));
    }
}

TEST_F(DatabaseTest, ReadOnlyFileIsReadButNeverWritten)
{
    {
        const Database database = openWithTables();
        ASSERT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("Existing")).insert());
    }
    const QByteArray before = readFile(databasePath());
    const ReadOnlyGuard guard(databasePath());
    if (!guard.isActive())
        GTEST_SKIP() << "cannot make a file read-only here";
    const Database database = openWithTables(); // the tables exist: nothing to write
    const auto templates = ID3Template::selectAll(database);
    ASSERT_EQ(templates.size(), 1u);
    EXPECT_FALSE(ID3TemplateQueryBuilder(database, QStringLiteral("New")).insert());
    EXPECT_FALSE(
        ID3Template::find(database, templates.front().id)->updateLastEpisodeTitle(QStringLiteral("t")));
    EXPECT_FALSE(Account::createAccount(database, QStringLiteral("x"), QStringLiteral("Libsyn"),
                                        LibsynAccountFeedType::Libsyn, std::nullopt));
    EXPECT_EQ(readFile(databasePath()), before);
}

// Two holders on two threads, each with its own connection: one inserts while the other lists.
// Neither may fail with "database is locked", and the reader sees every committed row.
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
            if (!Account::createAccount(*writer, QStringLiteral("Account %1").arg(i),
                                        QStringLiteral("Libsyn"), LibsynAccountFeedType::External,
                                        QStringLiteral("a@b.c")))
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
