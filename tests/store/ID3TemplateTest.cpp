#include "StoreFixture.h"

#include "store/ID3Template.h"

namespace airlark::test {
namespace {

using ID3TemplateTest = StoreTest;

// Texts that break SQL built by splicing, or storage that is not UTF-8 clean or length-safe.
const std::vector<QString>& awkwardTexts()
{
    static const std::vector<QString> texts{
        QStringLiteral("It's \"quoted\""),
        QStringLiteral("a'); DROP TABLE \"id3_template\"; --"),
        QStringLiteral("SELECT * FROM account; DELETE FROM id3_template WHERE 1=1"),
        QStringLiteral("NULL"),
        QStringLiteral("?1 ? :name @x $y"),
        QString::fromUtf8("Emoji \xF0\x9F\x8E\x99\xEF\xB8\x8F and \xC3\xA9\xC3\xA0 \xE4\xB8\xAD\xE6\x96\x87"),
        QStringLiteral("line\nbreak\ttab"),
        QString(10000, QLatin1Char('x')),
        QString::fromUtf8("\xF0\x9F\x8E\xA7").repeated(2500),
        QString(QLatin1String("nul\0inside", 10)),
    };
    return texts;
}

class ID3TemplateRoundTripTest : public StoreTest, public ::testing::WithParamInterface<size_t>
{
};

TEST_P(ID3TemplateRoundTripTest, EveryFieldRoundTripsUnchanged)
{
    const Database database = openWithTables();
    const QString text = awkwardTexts().at(GetParam());
    const ID3TemplateQueryBuilder builder(database, text, text + QLatin1Char('1'), text + QLatin1Char('2'),
                                          text + QLatin1Char('3'), text + QLatin1Char('4'), text + QLatin1Char('5'),
                                          text + QLatin1Char('6'), QStringLiteral("file:///art/cover.png"),
                                          text + QLatin1Char('7'), 2026);
    const std::optional<ID3Template> stored = builder.insert();
    ASSERT_TRUE(stored);

    const std::optional<ID3Template> found = ID3Template::find(database, stored->id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, text);
    EXPECT_EQ(found->lastEpisodeTitle, text + QLatin1Char('1'));
    EXPECT_EQ(found->title, text + QLatin1Char('2'));
    EXPECT_EQ(found->artist, text + QLatin1Char('3'));
    EXPECT_EQ(found->album, text + QLatin1Char('4'));
    EXPECT_EQ(found->albumArtist, text + QLatin1Char('5'));
    EXPECT_EQ(found->comment, text + QLatin1Char('6'));
    EXPECT_EQ(found->lyrics, text + QLatin1Char('7'));
    EXPECT_EQ(found->year, 2026);
    EXPECT_EQ(found->artworkURL, QUrl(QStringLiteral("file:///art/cover.png")));

    const auto all = ID3Template::selectAll(database);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.front().name, text);

    ASSERT_TRUE(found->updateLastEpisodeTitle(text + QLatin1Char('!')));
    EXPECT_EQ(ID3Template::find(database, stored->id)->lastEpisodeTitle, text + QLatin1Char('!'));
    EXPECT_TRUE(sqliteSchema(databasePath()).contains(QStringLiteral("\"id3_template\"")));
}

INSTANTIATE_TEST_SUITE_P(AwkwardTexts, ID3TemplateRoundTripTest, ::testing::Range(size_t(0), awkwardTexts().size()));

TEST_F(ID3TemplateTest, EmptyTableListsNothingAndFindsNothing)
{
    const Database database = openWithTables();
    EXPECT_TRUE(ID3Template::selectAll(database).empty());
    EXPECT_FALSE(ID3Template::find(database, 1));
}

TEST_F(ID3TemplateTest, InsertPostsOnceAndListsInCreationOrder)
{
    const Database database = openWithTables();
    NotificationCounter created(ID3Template::createdNotificationName);
    const QStringList names{QStringLiteral("Zebra Talk"), QStringLiteral("Apple Hour"), QStringLiteral("Middle")};
    for (const QString& name : names)
        ASSERT_TRUE(ID3TemplateQueryBuilder(database, name).insert());
    EXPECT_EQ(created.count(), 3);

    const auto all = ID3Template::selectAll(database);
    ASSERT_EQ(all.size(), 3u);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].name, names[qsizetype(i)]);
        if (i > 0) {
            EXPECT_GT(all[i].id, all[i - 1].id);
        }
    }
}

TEST_F(ID3TemplateTest, DuplicateNameIsRefusedWithoutNotificationOrChange)
{
    const Database database = openWithTables();
    ASSERT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("My Show")).insert());
    const QString before = sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM id3_template"));

    NotificationCounter created(ID3Template::createdNotificationName);
    ID3TemplateQueryBuilder duplicate(database, QStringLiteral("My Show"));
    duplicate.artist = QStringLiteral("Someone else");
    EXPECT_FALSE(duplicate.insert());
    EXPECT_EQ(created.count(), 0);
    EXPECT_EQ(sqliteCommand(databasePath(), QStringLiteral("SELECT * FROM id3_template")), before);
    // Names are compared exactly: another case is another template.
    EXPECT_TRUE(ID3TemplateQueryBuilder(database, QStringLiteral("my show")).insert());
}

TEST_F(ID3TemplateTest, EmptyOptionalFieldsAreStoredAsNull)
{
    const Database database = openWithTables();
    const std::optional<ID3Template> stored = ID3TemplateQueryBuilder(database, QStringLiteral("Bare")).insert();
    ASSERT_TRUE(stored);
    EXPECT_EQ(sqliteCommand(databasePath(),
                            QStringLiteral("SELECT typeof(last_episode_title), typeof(title), typeof(artist), "
                                           "typeof(album), typeof(album_artist), typeof(comment), typeof(lyrics), "
                                           "typeof(year), typeof(artwork_url) FROM id3_template"))
                  .trimmed(),
              QStringLiteral("null|null|null|null|null|null|null|null|null"));
    EXPECT_FALSE(stored->lastEpisodeTitle || stored->title || stored->artist || stored->album || stored->albumArtist ||
                 stored->comment || stored->artworkURL || stored->lyrics || stored->year);
    EXPECT_EQ(&stored->database().connection(), &database.connection());
}

TEST_F(ID3TemplateTest, EmptyTextsStayEmptyTextsNotNull)
{
    const Database database = openWithTables();
    ID3TemplateQueryBuilder builder(database, QStringLiteral("Blank"));
    builder.comment = QString(QLatin1String(""));
    const std::optional<ID3Template> stored = builder.insert();
    ASSERT_TRUE(stored);
    ASSERT_TRUE(stored->comment);
    EXPECT_TRUE(stored->comment->isEmpty());
}

// Stored artwork texts that are not URLs read back as no artwork; the template itself still shows.
class ArtworkURLTextTest : public StoreTest, public ::testing::WithParamInterface<Case<std::pair<const char*, bool>>>
{
};

TEST_P(ArtworkURLTextTest, ParsesOnlyValidURLs)
{
    const Database database = openWithTables();
    ASSERT_FALSE(database.connection().execute(QStringLiteral("INSERT INTO id3_template (name) VALUES ('t')")));
    auto statement = database.connection().prepare(QStringLiteral("UPDATE id3_template SET artwork_url = ?"));
    ASSERT_TRUE(statement);
    sqlite::Statement update = std::move(statement).value();
    update.bind(1, QString::fromUtf8(GetParam().value.first));
    ASSERT_FALSE(update.run());

    const auto all = ID3Template::selectAll(database);
    ASSERT_EQ(all.size(), 1u);
    const std::optional<ID3Template> found = ID3Template::find(database, all.front().id);
    ASSERT_TRUE(found);
    EXPECT_EQ(all.front().artworkURL.has_value(), GetParam().value.second);
    EXPECT_EQ(found->artworkURL.has_value(), GetParam().value.second);
    if (GetParam().value.second) {
        EXPECT_EQ(*found->artworkURL, QUrl(QString::fromUtf8(GetParam().value.first)));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ArtworkURLTextTest,
                         ::testing::Values(Case{"file URL", std::pair{"file:///home/me/Pictures/cover%20art.png", true}},
                                           Case{"empty", std::pair{"", false}},
                                           Case{"words", std::pair{"not a url at all", false}},
                                           Case{"broken host", std::pair{"http://[broken", false}},
                                           Case{"bad escape", std::pair{"file:///tmp/%zz", false}}));

TEST_F(ID3TemplateTest, YearOutsideTheIntegerRangeReadsAsNoYear)
{
    const Database database = openWithTables();
    ASSERT_FALSE(database.connection().execute(
        QStringLiteral("INSERT INTO id3_template (name, year) VALUES ('big', 99999999999), ('ok', 1999)")));
    EXPECT_FALSE(ID3Template::find(database, 1)->year);
    EXPECT_EQ(ID3Template::find(database, 2)->year, 1999);
}

TEST_F(ID3TemplateTest, UpdateLastEpisodeTitle)
{
    const Database database = openWithTables();
    const std::optional<ID3Template> stored = ID3TemplateQueryBuilder(database, QStringLiteral("Show")).insert();
    ASSERT_TRUE(stored);

    EXPECT_TRUE(stored->updateLastEpisodeTitle(QStringLiteral("Episode 1")));
    EXPECT_FALSE(stored->lastEpisodeTitle); // the record in memory is not changed
    EXPECT_TRUE(stored->updateLastEpisodeTitle(QStringLiteral("Episode 1"))); // same title still counts
    EXPECT_EQ(ID3Template::find(database, stored->id)->lastEpisodeTitle, QStringLiteral("Episode 1"));

    ID3Template gone = *stored;
    gone.id = stored->id + 100;
    EXPECT_FALSE(gone.updateLastEpisodeTitle(QStringLiteral("Nowhere")));
    EXPECT_EQ(ID3Template::find(database, stored->id)->lastEpisodeTitle, QStringLiteral("Episode 1"));
}

TEST_F(ID3TemplateTest, UpdateRunsOnTheRecordsOwnConnection)
{
    std::optional<ID3Template> stored;
    {
        const Database database = openWithTables();
        stored = ID3TemplateQueryBuilder(database, QStringLiteral("Show")).insert();
        ASSERT_TRUE(stored);
    }
    // The record keeps its connection alive after every other holder has gone.
    EXPECT_TRUE(stored->updateLastEpisodeTitle(QStringLiteral("Later")));
    const std::optional<Database> other = Database::open();
    ASSERT_TRUE(other);
    EXPECT_EQ(ID3Template::find(*other, stored->id)->lastEpisodeTitle, QStringLiteral("Later"));
}

TEST_F(ID3TemplateTest, MissingTableGivesEmptyResults)
{
    const std::optional<Database> database = Database::open(); // createTables never ran
    ASSERT_TRUE(database);
    NotificationCounter created(ID3Template::createdNotificationName);
    EXPECT_TRUE(ID3Template::selectAll(*database).empty());
    EXPECT_FALSE(ID3Template::find(*database, 1));
    EXPECT_FALSE(ID3TemplateQueryBuilder(*database, QStringLiteral("x")).insert());
    EXPECT_FALSE(ID3Template(*database, 1, QStringLiteral("x")).updateLastEpisodeTitle(QStringLiteral("t")));
    EXPECT_EQ(created.count(), 0);
}

TEST_F(ID3TemplateTest, ListenerThatInsertsDuringTheNotificationDoesNotConfuseTheResult)
{
    const Database database = openWithTables();
    NotificationCenter& center = NotificationCenter::defaultCenter();
    int calls = 0;
    int token = 0;
    center.addObserver(&token, ID3Template::createdNotificationName, [&](const NotificationCenter::Notification&) {
        if (++calls == 1)
            ID3TemplateQueryBuilder(database, QStringLiteral("Inserted by a listener")).insert();
    });
    const std::optional<ID3Template> stored = ID3TemplateQueryBuilder(database, QStringLiteral("Mine")).insert();
    center.removeObserver(&token);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name, QStringLiteral("Mine"));
}

} // namespace
} // namespace airlark::test
