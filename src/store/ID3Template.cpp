#include "store/ID3Template.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

#include <limits>

namespace airlark {

// The table's columns with the types our records give them.
struct ID3Template::Expressions
{
    static constexpr sqlite::Column<qint64> id{"id"};
    static constexpr sqlite::Column<QString> name{"name"};
    static constexpr sqlite::Column<std::optional<QString>> lastEpisodeTitle{"last_episode_title"};
    static constexpr sqlite::Column<std::optional<QString>> title{"title"};
    static constexpr sqlite::Column<std::optional<QString>> artist{"artist"};
    static constexpr sqlite::Column<std::optional<QString>> album{"album"};
    static constexpr sqlite::Column<std::optional<QString>> albumArtist{"album_artist"};
    static constexpr sqlite::Column<std::optional<QString>> comment{"comment"};
    static constexpr sqlite::Column<std::optional<QString>> lyrics{"lyrics"};
    static constexpr sqlite::Column<std::optional<qint64>> year{"year"};
    static constexpr sqlite::Column<std::optional<QString>> artworkURL{"artwork_url"};
};

namespace {

const QString CreateTableSQL =
    QStringLiteral("CREATE TABLE IF NOT EXISTS \"id3_template\" (\"id\" INTEGER PRIMARY KEY NOT NULL, "
                   "\"name\" TEXT NOT NULL "
                   "UNIQUE, \"last_episode_title\" TEXT, \"title\" TEXT, \"artist\" TEXT, \"album\" TEXT, "
                   "\"album_artist\" TEXT, "
                   "\"comment\" TEXT, \"lyrics\" TEXT, \"year\" INTEGER, \"artwork_url\" TEXT)");
const QString SelectAllSQL =
    QStringLiteral("SELECT \"id\", \"name\", \"artwork_url\" FROM \"id3_template\" ORDER BY \"id\"");
const QString FindSQL = QStringLiteral("SELECT * FROM \"id3_template\" WHERE (\"id\" = ?) LIMIT 1");
const QString InsertSQL = QStringLiteral(
    "INSERT INTO \"id3_template\" (\"name\", \"last_episode_title\", \"title\", \"artist\", \"album\", "
    "\"album_artist\", \"comment\", \"artwork_url\", \"lyrics\", \"year\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
    "?, ?)");
const QString UpdateSQL = QStringLiteral(
    "UPDATE \"id3_template\" SET \"name\" = ?, \"title\" = ?, \"artist\" = ?, \"album\" = ?, "
    "\"album_artist\" = ?, \"comment\" = ?, \"artwork_url\" = ?, \"lyrics\" = ?, \"year\" = ? WHERE "
    "(\"id\" = ?)");
const QString RenameSQL = QStringLiteral("UPDATE \"id3_template\" SET \"name\" = ? WHERE (\"id\" = ?)");
const QString DeleteSQL = QStringLiteral("DELETE FROM \"id3_template\" WHERE (\"id\" = ?)");
const QString DeletePodcastFieldsSQL =
    QStringLiteral("DELETE FROM \"id3_template_podcast\" WHERE (\"template_id\" = ?)");
const QString UpdateLastEpisodeTitleSQL =
    QStringLiteral("UPDATE \"id3_template\" SET \"last_episode_title\" = ? WHERE (\"id\" = ?)");

// A stored artwork location that is missing, empty or not a URL counts as no artwork.
std::optional<QUrl> artworkURLFromText(const std::optional<QString>& text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

template <typename T> int indexOf(const sqlite::Statement& statement, const sqlite::Column<T>& column)
{
    return statement.columnIndex(QString::fromLatin1(column.name));
}

std::optional<int> yearFromStored(const std::optional<qint64>& stored)
{
    if (!stored || *stored < std::numeric_limits<int>::min() || *stored > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*stored);
}

std::optional<qint64> storedYear(const std::optional<int>& year)
{
    return year ? std::optional<qint64>(*year) : std::nullopt;
}

// The lists live on the main thread; a change made on a worker reaches them there.
void postOnMainThread(const QString& name)
{
    if (MainQueue::isMainThread())
        return NotificationCenter::defaultCenter().post(name);
    MainQueue::async([name] { NotificationCenter::defaultCenter().post(name); });
}

ID3TemplateWriteError writeError(const SQLError& error)
{
    constexpr int UniqueConstraintFailed = 2067; // SQLITE_CONSTRAINT_UNIQUE
    return ID3TemplateWriteError{error.code == UniqueConstraintFailed ? ID3TemplateWriteError::Kind::NameTaken
                                                                      : ID3TemplateWriteError::Kind::Store,
                                 error.message};
}

// Runs `statement` with `bind` applied; NotFound when it changed no row.
template <typename Bind>
std::optional<ID3TemplateWriteError> runOnRow(sqlite::Connection& connection, const QString& sql, Bind bind)
{
    Result<sqlite::Statement, SQLError> prepared = connection.prepare(sql);
    if (!prepared)
        return writeError(prepared.error());
    sqlite::Statement statement = std::move(prepared).value();
    bind(statement);
    if (std::optional<SQLError> error = statement.run())
        return writeError(*error);
    if (connection.changes() == 0)
        return ID3TemplateWriteError{ID3TemplateWriteError::Kind::NotFound, QString()};
    return std::nullopt;
}

// Commits, then tells every list: listeners on connections of their own must see the change.
std::optional<ID3TemplateWriteError> commitAndAnnounce(Result<sqlite::Transaction, SQLError>& transaction)
{
    if (std::optional<SQLError> error = sqlite::Transaction(std::move(transaction).value()).commit())
        return writeError(*error);
    postOnMainThread(ID3Template::changedNotificationName);
    return std::nullopt;
}

} // namespace

ID3Template::ID3Template(Database database, qint64 identifier, QString templateName)
    : id(identifier), name(std::move(templateName)), database_(std::move(database))
{
}

std::optional<SQLError> ID3Template::createTable(const Database& database)
{
    return database.connection().execute(CreateTableSQL);
}

std::vector<ID3TemplateSelectAllQueryResult> ID3Template::selectAll(const Database& database, SQLError* error)
{
    return sqlite::selectRows<ID3TemplateSelectAllQueryResult>(
        database.connection(), SelectAllSQL,
        [](sqlite::Statement& row) {
            return ID3TemplateSelectAllQueryResult{row.int64(0), row.text(1),
                                                   artworkURLFromText(row.optionalText(2))};
        },
        error);
}

std::optional<ID3Template> ID3Template::find(const Database& database, qint64 identifier)
{
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(FindSQL);
    if (!prepared)
        return std::nullopt;
    sqlite::Statement statement = std::move(prepared).value();
    statement.bind(1, identifier);
    if (statement.step() != sqlite::Statement::Step::Row)
        return std::nullopt;

    using E = Expressions;
    const auto text = [&statement](const auto& column) {
        return statement.optionalText(indexOf(statement, column));
    };
    ID3Template record(database, statement.int64(indexOf(statement, E::id)),
                       statement.text(indexOf(statement, E::name)));
    record.lastEpisodeTitle = text(E::lastEpisodeTitle);
    record.tags.title = text(E::title);
    record.tags.artist = text(E::artist);
    record.tags.album = text(E::album);
    record.tags.albumArtist = text(E::albumArtist);
    record.tags.comment = text(E::comment);
    record.tags.year = yearFromStored(statement.optionalInt64(indexOf(statement, E::year)));
    record.artworkURL = artworkURLFromText(text(E::artworkURL));
    record.lyrics = text(E::lyrics);
    record.tags.podcast = TemplatePodcastFields::find(database, record.id);
    return record;
}

bool ID3Template::updateLastEpisodeTitle(const QString& newTitle) const
{
    sqlite::Connection& connection = database_.connection();
    Result<sqlite::Statement, SQLError> prepared = connection.prepare(UpdateLastEpisodeTitleSQL);
    if (!prepared)
        return false;
    sqlite::Statement statement = std::move(prepared).value();
    statement.bindAll(newTitle, id);
    if (statement.run())
        return false;
    return connection.changes() > 0;
}

std::optional<ID3TemplateWriteError> ID3Template::rename(const Database& database, qint64 identifier,
                                                         const QString& newName)
{
    sqlite::Connection& connection = database.connection();
    Result<sqlite::Transaction, SQLError> transaction = sqlite::Transaction::begin(connection);
    if (!transaction)
        return writeError(transaction.error());
    if (auto error = runOnRow(connection, RenameSQL,
                              [&](sqlite::Statement& statement) { statement.bindAll(newName, identifier); }))
        return error;
    return commitAndAnnounce(transaction);
}

std::optional<ID3TemplateWriteError> ID3Template::remove(const Database& database, qint64 identifier)
{
    sqlite::Connection& connection = database.connection();
    Result<sqlite::Transaction, SQLError> transaction = sqlite::Transaction::begin(connection);
    if (!transaction)
        return writeError(transaction.error());
    const auto bindID = [identifier](sqlite::Statement& statement) { statement.bind(1, identifier); };
    // A template made before the podcast fields existed has no row there: that is no failure.
    if (auto error = runOnRow(connection, DeletePodcastFieldsSQL, bindID);
        error && error->kind != ID3TemplateWriteError::Kind::NotFound)
        return error;
    if (auto error = runOnRow(connection, DeleteSQL, bindID))
        return error;
    return commitAndAnnounce(transaction);
}

// MARK: ID3TemplateQueryBuilder

ID3TemplateQueryBuilder::ID3TemplateQueryBuilder(Database database, QString templateName,
                                                 EpisodeTags tagValues)
    : name(std::move(templateName)), tags(std::move(tagValues)), database_(std::move(database))
{
}

ID3TemplateQueryBuilder::ID3TemplateQueryBuilder(const ID3Template& record)
    : name(record.name), lastEpisodeTitle(record.lastEpisodeTitle), tags(record.tags),
      artworkURL(record.artworkURL ? std::optional(record.artworkURL->toString(QUrl::FullyEncoded))
                                   : std::nullopt),
      lyrics(record.lyrics), database_(record.database())
{
}

std::optional<ID3TemplateWriteError> ID3TemplateQueryBuilder::update(qint64 identifier) const
{
    sqlite::Connection& connection = database_.connection();
    Result<sqlite::Transaction, SQLError> transaction = sqlite::Transaction::begin(connection);
    if (!transaction)
        return writeError(transaction.error());
    if (auto error = runOnRow(connection, UpdateSQL, [&](sqlite::Statement& statement) {
            statement.bindAll(name, tags.title, tags.artist, tags.album, tags.albumArtist, tags.comment,
                              artworkURL, lyrics, storedYear(tags.year), identifier);
        }))
        return error;
    if (tags.podcast != PodcastTagValues())
        if (std::optional<SQLError> error = TemplatePodcastFields::save(database_, identifier, tags.podcast))
            return writeError(*error);
    return commitAndAnnounce(transaction);
}

std::optional<ID3Template> ID3TemplateQueryBuilder::insert() const
{
    sqlite::Connection& connection = database_.connection();
    Result<sqlite::Statement, SQLError> prepared = connection.prepare(InsertSQL);
    if (!prepared)
        return std::nullopt;
    sqlite::Statement statement = std::move(prepared).value();
    Result<sqlite::Transaction, SQLError> transaction = sqlite::Transaction::begin(connection);
    if (!transaction)
        return std::nullopt;
    statement.bindAll(name, lastEpisodeTitle, tags.title, tags.artist, tags.album, tags.albumArtist,
                      tags.comment, artworkURL, lyrics, storedYear(tags.year));
    if (statement.run())
        return std::nullopt;
    // Taken before anyone hears of the insert: a listener may insert through this connection too.
    const qint64 rowId = connection.lastInsertRowId();
    if (tags.podcast != PodcastTagValues() && TemplatePodcastFields::save(database_, rowId, tags.podcast))
        return std::nullopt;
    // Committed before the notification, so that listeners on connections of their own see the row.
    if (sqlite::Transaction(std::move(transaction).value()).commit())
        return std::nullopt;

    postOnMainThread(ID3Template::createdNotificationName);
    return ID3Template::find(database_, rowId);
}

} // namespace airlark
