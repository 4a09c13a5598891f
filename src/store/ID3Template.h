#pragma once

#include "store/Database.h"
#include "store/EpisodeTags.h"
#include "store/TemplatePodcastFields.h"

#include <QString>
#include <QUrl>
#include <optional>
#include <vector>

namespace airlark {

// One row of the template list.
struct ID3TemplateSelectAllQueryResult
{
    qint64 id = 0;
    QString name;
    std::optional<QUrl> artworkURL; // empty when NULL or not a valid URL
};

// Why a stored template could not be changed.
struct ID3TemplateWriteError
{
    enum class Kind
    {
        NameTaken, // another template has that name (the "name" column is unique)
        NotFound,  // no row has the identifier any more
        Store,     // SQLite refused (locked, read-only, corrupt, ...)
    };
    Kind kind = Kind::Store;
    QString message; // SQLite's words, for the log
};

// A saved set of podcast-level ID3 values: one row of the "id3_template" table, with its podcast
// fields beside it. The user edits, renames and deletes templates; step 2 stores the last episode
// title. Every change but the last episode title posts "id3_template_changed" on the main thread
// (a new template "id3_template_created"), so that every open list reads the table again.
class ID3Template
{
public:
    static inline const QString createdNotificationName = QStringLiteral("id3_template_created");
    static inline const QString changedNotificationName = QStringLiteral("id3_template_changed");

    ID3Template(Database database, qint64 id, QString name);

    // The template with this identifier, read through `database`, with its podcast values;
    // nothing when there is no such row or the table cannot be read (e.g. it does not exist yet).
    static std::optional<ID3Template> find(const Database& database, qint64 id);

    // Every template, in creation order; empty when the table cannot be read (e.g. missing), and
    // then why in `error` when given.
    static std::vector<ID3TemplateSelectAllQueryResult> selectAll(const Database& database,
                                                                  SQLError* error = nullptr);

    // CREATE TABLE IF NOT EXISTS "id3_template" (...). The SQL error, if any.
    static std::optional<SQLError> createTable(const Database& database);
    static QString tableName() { return QStringLiteral("id3_template"); }
    static DatabaseTableHandle table() { return defaultTableHandle<ID3Template>(); }

    // Stores `title` as the last episode title of this template's row, through the connection
    // the record was read with. True when a row changed (also when the title was already stored);
    // false when the row is gone or SQLite failed. This record itself is not changed.
    bool updateLastEpisodeTitle(const QString& title) const;

    // Gives the template `id` a new name. NameTaken when another template has it already.
    static std::optional<ID3TemplateWriteError> rename(const Database& database, qint64 id,
                                                       const QString& name);
    // Deletes the template `id` and its podcast fields together. The artwork copy stays: another
    // template may share it (copies are named by content).
    static std::optional<ID3TemplateWriteError> remove(const Database& database, qint64 id);

    const Database& database() const { return database_; }

    qint64 id = 0;
    QString name;
    std::optional<QString> lastEpisodeTitle;
    EpisodeTags tags;
    std::optional<QUrl> artworkURL;
    std::optional<QString> lyrics;

private:
    struct Expressions;
    Database database_;
};

// The values of a template about to be inserted.
class ID3TemplateQueryBuilder
{
public:
    // The tag values given (every one empty by default); the other optional fields empty.
    ID3TemplateQueryBuilder(Database database, QString name, EpisodeTags tags = {});
    // The stored values of `record`, ready to be changed and written back with update().
    explicit ID3TemplateQueryBuilder(const ID3Template& record);

    // Inserts a new row (empty fields as NULL), and the podcast values when any is set, together. On
    // success posts "id3_template_created" with no object and returns the row read back; nothing
    // (and no notification) on any failure, e.g. a name that is already taken or a missing table.
    std::optional<ID3Template> insert() const;
    // Writes every value of this builder but the last episode title (which belongs to step 2) to
    // the row `id`, and the podcast values when any is set, together; posts "id3_template_changed".
    std::optional<ID3TemplateWriteError> update(qint64 id) const;

    const Database& database() const { return database_; }

    QString name;
    std::optional<QString> lastEpisodeTitle;
    EpisodeTags tags;
    std::optional<QString> artworkURL; // the image file's absolute URL text
    std::optional<QString> lyrics;

private:
    Database database_;
};

static_assert(DatabaseTable<ID3Template>);

} // namespace airlark
