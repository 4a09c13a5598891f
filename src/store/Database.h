#pragma once

#include "store/SQLite.h"

#include <QString>
#include <QUrl>
#include <concepts>
#include <memory>
#include <optional>

namespace airlark {

class Database;

// The handle of a table, used to build queries: the table named tableName() in the main schema.
struct DatabaseTableHandle
{
    QString name;
    // The name as a double-quoted SQL identifier.
    QString sqlIdentifier() const;
};

// What every table type of the store provides (ID3Template, Account):
//   static std::optional<SQLError> createTable(const Database&);
//   static QString tableName();
//   static DatabaseTableHandle table();        (defaultTableHandle<T>() unless the table says otherwise)
//   const Database& database() const;          the connection a record was read through
template <typename T>
concept DatabaseTable = requires(const Database& database, const T& record)
{
    {
        T::createTable(database)
        } -> std::same_as<std::optional<SQLError>>;
    {
        T::tableName()
        } -> std::convertible_to<QString>;
    {
        T::table()
        } -> std::same_as<DatabaseTableHandle>;
    {
        record.database()
        } -> std::convertible_to<const Database&>;
};

template <typename T> DatabaseTableHandle defaultTableHandle()
{
    return DatabaseTableHandle{T::tableName()};
}

// The opened store: database.sqlite3 in the per-user data directory.
//
// A value type: copies share one connection, closed when the last copy goes. There is no shared
// instance; each holder opens its own, so several connections to the file are open at once. Each
// connection waits for another's lock (busy timeout) instead of failing with "database is locked".
// Use a connection from one thread at a time (the store is used from the main thread).
class Database
{
public:
    static inline const QString DefaultBundleIdentifierReplacement = QStringLiteral("Airlark");
    static inline const QString DatabaseFilenamePathComponent = QStringLiteral("database");
    static inline const QString DatabasePathExtension = QStringLiteral("sqlite3");

    // Creates the data directory when needed and opens (creating when missing) database.sqlite3
    // for reading and writing. Nothing when any step fails; never says why. Creates no tables.
    static std::optional<Database> open();

    // Creates the template table, then, only if that worked, the account table, then the table of
    // the templates' podcast fields. Harmless to repeat. The first SQL error, if any.
    std::optional<SQLError> createTables() const;

    // The database file.
    const QUrl& url() const { return url_; }
    sqlite::Connection& connection() const { return *connection_; }

private:
    Database(QUrl url, std::shared_ptr<sqlite::Connection> connection);

    QUrl url_;
    std::shared_ptr<sqlite::Connection> connection_;
};

} // namespace airlark
