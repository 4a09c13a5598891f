// The two tables through their records: what reaches the file, what reads back, and what each
// change announces.
#include "store/Account.h"
#include "store/ID3Template.h"
#include "support/StoreFixture.h"

namespace airlark::test {
namespace {

using RecordsTest = StoreTest;

// Texts that break SQL built by splicing, or storage that is not UTF-8 clean or length-safe.
TEST_F(RecordsTest, AwkwardTextsRoundTripUnchangedThroughEveryField)
{
    const Database database = openWithTables();
    const QStringList texts{
        QStringLiteral("It's \"quoted\""),
        QStringLiteral("a'); DROP TABLE \"id3_template\"; --"),
        QStringLiteral("NULL"),
        QStringLiteral("?1 ? :name @x $y"),
        QString::fromUtf8("\xF0\x9F\x8E\x99\xEF\xB8\x8F \xC3\xA9 \xE4\xB8\xAD line\nbreak"),
        QString::fromUtf8("\xF0\x9F\x8E\xA7").repeated(5000),
        QString(QLatin1String("nul\0inside", 10))};
    for (const QString& text : texts) {
        const auto field = [&](char c) -> QString { return text + QLatin1Char(c); };
        ID3TemplateQueryBuilder builder(
            database, text, {field('2'), field('3'), field('4'), field('5'), field('6'), 2026, {}});
        builder.lastEpisodeTitle = field('1');
        builder.artworkURL = QStringLiteral("file:///art/cover.png");
        builder.lyrics = field('7');
        const std::optional<ID3Template> stored = builder.insert();
        ASSERT_TRUE(stored);
        ASSERT_TRUE(stored->updateLastEpisodeTitle(field('!')));
        const std::optional<ID3Template> found = ID3Template::find(database, stored->id);
        ASSERT_TRUE(found);
        EXPECT_EQ(
            QStringList({found->name, *found->lastEpisodeTitle, *found->tags.title, *found->tags.artist,
                         *found->tags.album, *found->tags.albumArtist, *found->tags.comment, *found->lyrics}),
            QStringList(
                {text, field('!'), field('2'), field('3'), field('4'), field('5'), field('6'), field('7')}));
        EXPECT_EQ(found->tags.year, 2026);

        const auto account = Account::createAccount(database, text, QStringLiteral("Libsyn"),
                                                    LibsynAccountFeedType::Libsyn, text);
        ASSERT_TRUE(account);
        EXPECT_FALSE(Account(database, account->id, field('x'), field('y')).update());
        const std::optional<AccountQueryResult> read = Account::find(database, account->id);
        EXPECT_EQ(QStringList({read->displayName, read->host, *read->email}),
                  QStringList({field('x'), field('y'), text}));
    }
    EXPECT_EQ(ID3Template::selectAll(database).size(), size_t(texts.size()));
}

TEST_F(RecordsTest, TemplatesKeepUniqueNamesNullsAndCreationOrder)
{
    const Database database = openWithTables();
    NotificationCounter created(ID3Template::createdNotificationName);
    ASSERT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("Zebra")).insert());
    ID3TemplateQueryBuilder blank(database, QStringLiteral("Apple"));
    blank.tags.comment = QString(QLatin1String(""));
    ASSERT_TRUE(blank.insert());
    const QString before = sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM id3_template"));
    EXPECT_FALSE(ID3TemplateQueryBuilder(database, QStringLiteral("Zebra")).insert());
    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM id3_template")), before);
    EXPECT_EQ(created.count(), 2) << "one announcement per template, none for a refused one";
    ASSERT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("zebra")).insert()) << "names are exact";
    const auto all = ID3Template::selectAll(database);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].name, QStringLiteral("Apple"));
    EXPECT_EQ(
        sqliteCommand(databasePath(), QStringLiteral("SELECT quote(comment), typeof(title), typeof(year), "
                                                     "typeof(artwork_url) FROM id3_template WHERE id = 2")),
        QStringLiteral("''|null|null|null"));
}

// Values another program may have written read back as absent, and the template still shows.
TEST_F(RecordsTest, StoredValuesThatAreNotValidReadAsAbsent)
{
    const Database database = openWithTables();
    ASSERT_FALSE(database.connection().execute(QStringLiteral(
        "INSERT INTO id3_template (name, year, artwork_url) VALUES ('a', 99999999999, ''), ('b', 1999, "
        "'not a url'), ('c', NULL, 'http://[broken'), ('d', NULL, 'file:///tmp/%zz'), "
        "('e', NULL, 'file:///cover%20art.png')")));
    ASSERT_FALSE(database.connection().execute(QStringLiteral(
        "INSERT INTO account (display_name, host, feed_type) VALUES ('a', 'Libsyn', 'Libsyn'), "
        "('b', 'Libsyn', 'External'), ('c', 'Libsyn', ''), ('d', 'Libsyn', 'external'), ('e', 'Libsyn', "
        "NULL)")));
    const auto all = ID3Template::selectAll(database);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_FALSE(ID3Template::find(database, 1)->tags.year);
    EXPECT_EQ(ID3Template::find(database, 2)->tags.year, 1999);
    for (qint64 id = 1; id <= 4; ++id)
        EXPECT_FALSE(ID3Template::find(database, id)->artworkURL) << id;
    EXPECT_EQ(ID3Template::find(database, 5)->artworkURL, QUrl(QStringLiteral("file:///cover%20art.png")));
    const std::optional<LibsynAccountFeedType> feedTypes[] = {
        LibsynAccountFeedType::Libsyn, LibsynAccountFeedType::External, LibsynAccountFeedType::Undefined,
        std::nullopt, std::nullopt};
    for (qint64 id = 1; id <= 5; ++id)
        EXPECT_EQ(Account::find(database, id)->feedType, feedTypes[id - 1]) << id;
}

TEST_F(RecordsTest, AccountsAreCreatedWholeOrAsPlaceholdersAndAnnouncedOnce)
{
    const Database database = openWithTables();
    NotificationCounter changed(Account::availableAccountsDidChangeNotificationName);
    const auto created = Account::createAccount(database, QStringLiteral("myshow"), QStringLiteral("Libsyn"),
                                                LibsynAccountFeedType::External, std::nullopt);
    ASSERT_TRUE(created);
    EXPECT_EQ(changed.count(), 1);
    const Result<qint64, SQLError> placeholder = Account::insertPlaceholder(database);
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(changed.count(), 1) << "an abandoned sign-in is no account yet";
    EXPECT_EQ(Account::selectAll(database).size(), 1u) << "nor is it listed";
    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT id, display_name, host, quote(feed_type), "
                                                           "quote(email) FROM account")),
              QStringLiteral("%1|myshow|Libsyn|'External'|NULL\n%2|||NULL|NULL")
                  .arg(created->id)
                  .arg(*placeholder));
    EXPECT_FALSE(
        Account(database, *placeholder, QStringLiteral("Lark FM"), QStringLiteral("SoundCloud")).update());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(Account::find(database, *placeholder)->host, QStringLiteral("SoundCloud"));

    // A row that cannot be read back, as when another program edits the file, is no account.
    ASSERT_FALSE(database.connection().execute(
        QStringLiteral("CREATE TEMP TRIGGER vanish AFTER INSERT ON main.account BEGIN DELETE FROM account "
                       "WHERE id = NEW.id; END")));
    const auto vanished = Account::createAccount(database, QStringLiteral("a"), QStringLiteral("Libsyn"),
                                                 LibsynAccountFeedType::Libsyn, std::nullopt);
    ASSERT_FALSE(vanished);
    EXPECT_TRUE(std::holds_alternative<AccountDatabaseError>(vanished.error()));
    EXPECT_EQ(changed.count(), 2);
}

} // namespace
} // namespace airlark::test
