#include "StoreFixture.h"

#include "store/Account.h"
#include "store/LibsynAccountFeedType.h"
#include "store/PodcastHost.h"

namespace airlark::test {
namespace {

using AccountTest = StoreTest;

const QString Libsyn = QStringLiteral("Libsyn");

TEST(StoredForms, HostsAndFeedTypesRoundTripExactly)
{
    EXPECT_EQ(storedText(PodcastHost::Libsyn), QStringLiteral("Libsyn"));
    EXPECT_EQ(storedText(PodcastHost::SoundCloud), QStringLiteral("SoundCloud"));
    EXPECT_EQ(storedText(LibsynAccountFeedType::Libsyn), QStringLiteral("Libsyn"));
    EXPECT_EQ(storedText(LibsynAccountFeedType::External), QStringLiteral("External"));
    EXPECT_TRUE(storedText(LibsynAccountFeedType::Undefined).isEmpty());
    for (const PodcastHost host : allPodcastHosts)
        EXPECT_EQ(podcastHostFromStoredText(storedText(host)), host);
    for (const LibsynAccountFeedType feedType : allLibsynAccountFeedTypes)
        EXPECT_EQ(libsynAccountFeedTypeFromStoredText(storedText(feedType)), feedType);

    for (const char* other : {"", "libsyn", "SOUNDCLOUD", " Libsyn", "Soundcloud"})
        EXPECT_FALSE(podcastHostFromStoredText(QString::fromLatin1(other))) << other;
    for (const char* other : {"external", "Libsyn ", "none", "NULL"})
        EXPECT_FALSE(libsynAccountFeedTypeFromStoredText(QString::fromLatin1(other))) << other;
}

TEST_F(AccountTest, EmptyTableListsNothingAndFindsNothing)
{
    const Database database = openWithTables();
    EXPECT_TRUE(Account::selectAll(database).empty());
    EXPECT_FALSE(Account::find(database, 1));
}

TEST_F(AccountTest, CreateLibsynAccountStoresEveryFieldAndNotifiesOnce)
{
    const Database database = openWithTables();
    NotificationCounter changed(Account::availableAccountsDidChangeNotificationName);
    const auto created = Account::createAccount(database, QStringLiteral("myshow"), Libsyn,
                                                LibsynAccountFeedType::External, QStringLiteral("me@example.org"));
    ASSERT_TRUE(created);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(created->displayName, QStringLiteral("myshow"));
    EXPECT_EQ(created->feedType, LibsynAccountFeedType::External);

    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM account")).trimmed(),
              QStringLiteral("%1|myshow|Libsyn|External|me@example.org").arg(created->id));
    const std::optional<AccountQueryResult> found = Account::find(database, created->id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, created->id);
    EXPECT_EQ(found->host, Libsyn);
    EXPECT_EQ(found->feedType, LibsynAccountFeedType::External);
    EXPECT_EQ(found->email, QStringLiteral("me@example.org"));
}

TEST_F(AccountTest, AbsentEmailIsStoredAsNull)
{
    const Database database = openWithTables();
    const auto created =
        Account::createAccount(database, QStringLiteral("n"), Libsyn, LibsynAccountFeedType::Libsyn, std::nullopt);
    ASSERT_TRUE(created);
    EXPECT_FALSE(created->email);
    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT typeof(email), feed_type FROM account")).trimmed(),
              QStringLiteral("null|Libsyn"));
}

// What a stored "feed_type" reads back as.
class StoredFeedTypeTest : public StoreTest,
                           public ::testing::WithParamInterface<Case<std::pair<const char*, std::optional<LibsynAccountFeedType>>>>
{
};

TEST_P(StoredFeedTypeTest, ReadsBackAsTheMatchingCaseOrNone)
{
    const Database database = openWithTables();
    auto prepared = database.connection().prepare(
        QStringLiteral("INSERT INTO account (display_name, host, feed_type) VALUES ('a', 'Libsyn', ?)"));
    ASSERT_TRUE(prepared);
    sqlite::Statement insert = std::move(prepared).value();
    const char* stored = GetParam().value.first;
    insert.bind(1, stored ? std::optional<QString>(QString::fromUtf8(stored)) : std::nullopt);
    ASSERT_FALSE(insert.run());

    const std::optional<AccountQueryResult> found = Account::find(database, database.connection().lastInsertRowId());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->feedType, GetParam().value.second);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredFeedTypeTest,
    ::testing::Values(
        Case{"Libsyn", std::pair{"Libsyn", std::optional(LibsynAccountFeedType::Libsyn)}},
        Case{"External", std::pair{"External", std::optional(LibsynAccountFeedType::External)}},
        Case{"empty is Undefined", std::pair{"", std::optional(LibsynAccountFeedType::Undefined)}},
        Case{"lower case", std::pair{"external", std::optional<LibsynAccountFeedType>()}},
        Case{"unknown", std::pair{"Podcast", std::optional<LibsynAccountFeedType>()}},
        Case{"NULL", std::pair{static_cast<const char*>(nullptr), std::optional<LibsynAccountFeedType>()}}));

TEST_F(AccountTest, PlaceholderThenUpdate)
{
    const Database database = openWithTables();
    NotificationCounter changed(Account::availableAccountsDidChangeNotificationName);
    const Result<qint64, SQLError> placeholder = Account::insertPlaceholder(database);
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(changed.count(), 0);

    // An abandoned sign-in leaves the row listed with an empty host that is no PodcastHost.
    auto all = Account::selectAll(database);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.front().id, *placeholder);
    EXPECT_TRUE(all.front().displayName.isEmpty());
    EXPECT_TRUE(all.front().host.isEmpty());
    EXPECT_FALSE(podcastHostFromStoredText(all.front().host));
    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT typeof(display_name), typeof(host), "
                                                           "typeof(feed_type), typeof(email) FROM account"))
                  .trimmed(),
              QStringLiteral("text|text|null|null"));

    const Account account(database, *placeholder, QStringLiteral("SoundCloud user"), QStringLiteral("SoundCloud"));
    EXPECT_FALSE(account.update());
    EXPECT_EQ(changed.count(), 1);
    const std::optional<AccountQueryResult> found = Account::find(database, *placeholder);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->displayName, QStringLiteral("SoundCloud user"));
    EXPECT_EQ(found->host, QStringLiteral("SoundCloud"));
    EXPECT_FALSE(found->feedType);
    EXPECT_FALSE(found->email);
}

TEST_F(AccountTest, UpdateOfAMissingRowStillNotifiesAndChangesNothing)
{
    const Database database = openWithTables();
    ASSERT_TRUE(Account::createAccount(database, QStringLiteral("a"), Libsyn, LibsynAccountFeedType::Libsyn, std::nullopt));
    const QString before = sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM account"));
    NotificationCounter changed(Account::availableAccountsDidChangeNotificationName);
    EXPECT_FALSE(Account(database, 999, QStringLiteral("ghost"), QStringLiteral("SoundCloud")).update());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM account")), before);
}

TEST_F(AccountTest, SameNameAndHostTwiceAreTwoAccountsListedInOrder)
{
    const Database database = openWithTables();
    const auto first =
        Account::createAccount(database, QStringLiteral("twin"), Libsyn, LibsynAccountFeedType::Libsyn, std::nullopt);
    const auto second =
        Account::createAccount(database, QStringLiteral("twin"), Libsyn, LibsynAccountFeedType::External, std::nullopt);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    const auto all = Account::selectAll(database);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, first->id);
    EXPECT_EQ(all[1].id, second->id);
    EXPECT_LT(all[0].id, all[1].id);
    // The list carries identifiers, names and hosts only.
    EXPECT_FALSE(all[0].feedType);
    EXPECT_FALSE(all[0].email);
}

TEST_F(AccountTest, AwkwardFieldsRoundTripUnchanged)
{
    const Database database = openWithTables();
    const QStringList texts{
        QStringLiteral("O'Brien \"The Voice\""),
        QStringLiteral("x'); DROP TABLE account; --"),
        QStringLiteral("UPDATE account SET host = 'SoundCloud'"),
        QString::fromUtf8("\xF0\x9F\x8E\x99\xEF\xB8\x8F Pod \xE2\x9C\xA8"),
        QString(10000, QLatin1Char('e')),
    };
    for (const QString& text : texts) {
        const auto created = Account::createAccount(database, text, Libsyn, LibsynAccountFeedType::Libsyn, text);
        ASSERT_TRUE(created);
        const std::optional<AccountQueryResult> found = Account::find(database, created->id);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->displayName, text);
        EXPECT_EQ(found->email, text);
        EXPECT_EQ(found->host, Libsyn);

        const Account renamed(database, created->id, text + text.left(3), text);
        EXPECT_FALSE(renamed.update());
        EXPECT_EQ(Account::find(database, created->id)->displayName, text + text.left(3));
        EXPECT_EQ(Account::find(database, created->id)->host, text);
    }
    EXPECT_EQ(Account::selectAll(database).size(), size_t(texts.size()));
}

TEST_F(AccountTest, MissingTableReadsEmptyAndWritesReportTheSQLError)
{
    const std::optional<Database> database = Database::open(); // createTables never ran
    ASSERT_TRUE(database);
    NotificationCounter changed(Account::availableAccountsDidChangeNotificationName);

    EXPECT_TRUE(Account::selectAll(*database).empty());
    EXPECT_FALSE(Account::find(*database, 1));

    const Result<qint64, SQLError> placeholder = Account::insertPlaceholder(*database);
    ASSERT_FALSE(placeholder);
    EXPECT_TRUE(placeholder.error().message.contains(QStringLiteral("no such table"))) << placeholder.error().message.toStdString();

    const auto created =
        Account::createAccount(*database, QStringLiteral("a"), Libsyn, LibsynAccountFeedType::Libsyn, std::nullopt);
    ASSERT_FALSE(created);
    ASSERT_TRUE(std::holds_alternative<SQLError>(created.error()));

    EXPECT_TRUE(Account(*database, 1, QStringLiteral("a"), Libsyn).update());
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(AccountTest, CreatedRowThatCannotBeReadBackIsUnableToCreate)
{
    const Database database = openWithTables();
    // A trigger that removes every new row, as another program editing the file might.
    ASSERT_FALSE(database.connection().execute(QStringLiteral(
        "CREATE TEMP TRIGGER vanish AFTER INSERT ON main.account BEGIN DELETE FROM account WHERE id = NEW.id; END")));
    NotificationCounter changed(Account::availableAccountsDidChangeNotificationName);
    const auto created =
        Account::createAccount(database, QStringLiteral("a"), Libsyn, LibsynAccountFeedType::Libsyn, std::nullopt);
    ASSERT_FALSE(created);
    ASSERT_TRUE(std::holds_alternative<AccountDatabaseError>(created.error()));
    EXPECT_EQ(std::get<AccountDatabaseError>(created.error()), AccountDatabaseError::UnableToCreate);
    EXPECT_EQ(changed.count(), 0);
}

} // namespace
} // namespace airlark::test
