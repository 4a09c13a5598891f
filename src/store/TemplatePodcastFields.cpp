#include "store/TemplatePodcastFields.h"

namespace airlark {
namespace {

const QString CreateTableSQL = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS \"id3_template_podcast\" (\"template_id\" INTEGER PRIMARY KEY NOT NULL "
    "REFERENCES \"id3_template\" (\"id\"), \"genre\" TEXT, \"season\" INTEGER, \"feed_url\" TEXT, "
    "\"explicit\" INTEGER NOT NULL)");
const QString FindSQL = QStringLiteral(
    "SELECT \"genre\", \"season\", \"feed_url\", \"explicit\" FROM \"id3_template_podcast\" WHERE "
    "(\"template_id\" = ?) LIMIT 1");
const QString SaveSQL = QStringLiteral(
    "INSERT OR REPLACE INTO \"id3_template_podcast\" (\"template_id\", \"genre\", \"season\", \"feed_url\", "
    "\"explicit\") VALUES (?, ?, ?, ?, ?)");

std::optional<QString> nonEmpty(std::optional<QString> text)
{
    return text && !text->isEmpty() ? text : std::nullopt;
}

} // namespace

PodcastTagValues TemplatePodcastFields::defaults()
{
    PodcastTagValues values;
    values.genre = DefaultGenre;
    values.explicitContent = false;
    return values;
}

std::optional<SQLError> TemplatePodcastFields::createTable(const Database& database)
{
    return database.connection().execute(CreateTableSQL);
}

PodcastTagValues TemplatePodcastFields::find(const Database& database, qint64 templateID)
{
    PodcastTagValues fields = defaults();
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(FindSQL);
    if (!prepared)
        return fields;
    sqlite::Statement statement = std::move(prepared).value();
    statement.bind(1, templateID);
    if (statement.step() != sqlite::Statement::Step::Row)
        return fields;
    fields.genre = nonEmpty(statement.optionalText(0));
    const std::optional<qint64> season = statement.optionalInt64(1);
    fields.seasonNumber =
        season && *season > 0 && *season <= 9999 ? std::optional<int>(int(*season)) : std::nullopt;
    fields.feedURL = nonEmpty(statement.optionalText(2));
    fields.explicitContent = statement.int64(3) != 0;
    return fields;
}

std::optional<SQLError> TemplatePodcastFields::save(const Database& database, qint64 templateID,
                                                    const PodcastTagValues& values)
{
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(SaveSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    const std::optional<int>& season = values.seasonNumber;
    statement.bindAll(templateID, nonEmpty(values.genre),
                      season ? std::optional<qint64>(*season) : std::nullopt, nonEmpty(values.feedURL),
                      qint64(values.explicitContent.value_or(false) ? 1 : 0));
    return statement.run();
}

} // namespace airlark
