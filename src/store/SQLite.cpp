#include "store/SQLite.h"

#include <QFile>
#include <sqlite3.h>

namespace airlark::sqlite {

namespace {

SQLError errorOf(sqlite3* db, int code)
{
    return SQLError{code,
                    db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code))};
}

} // namespace

// MARK: Connection

void Connection::Closer::operator()(sqlite3* db) const
{
    // Statements are finalized before their connection goes, so close_v2 has nothing to defer.
    sqlite3_close_v2(db);
}

Connection::Connection(sqlite3* db) : db_(db) {}
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;
Connection::~Connection() = default;

Result<Connection, SQLError> Connection::open(const QString& path)
{
    if (path.isEmpty())
        return SQLError{SQLITE_CANTOPEN, QStringLiteral("no database path")};
    sqlite3* db = nullptr;
    // No SQLITE_OPEN_URI: the path is a path, whatever characters it holds. The full mutex keeps a
    // connection that strays onto another thread from corrupting SQLite's own state.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    const int result = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (result != SQLITE_OK) {
        SQLError error = errorOf(db, result);
        sqlite3_close_v2(db); // a handle comes back even on failure, and must be released
        return error;
    }
    sqlite3_extended_result_codes(db, 1);
    return Connection(db);
}

Result<Statement, SQLError> Connection::prepare(const QString& sql)
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* statement = nullptr;
    const char* tail = nullptr;
    const int result =
        sqlite3_prepare_v2(db_.get(), utf8.constData(), int(utf8.size()) + 1, &statement, &tail);
    if (result != SQLITE_OK) {
        sqlite3_finalize(statement);
        return errorOf(db_.get(), result);
    }
    if (!statement)
        return SQLError{SQLITE_MISUSE, QStringLiteral("empty SQL statement")};
    return Statement(statement, db_.get());
}

std::optional<SQLError> Connection::execute(const QString& sql)
{
    Result<Statement, SQLError> statement = prepare(sql);
    if (!statement)
        return statement.error();
    return std::move(statement).value().run();
}

void Connection::setBusyTimeout(std::chrono::milliseconds timeout)
{
    sqlite3_busy_timeout(db_.get(), int(timeout.count()));
}

qint64 Connection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(db_.get());
}

int Connection::changes() const
{
    return sqlite3_changes(db_.get());
}

bool Connection::isReadOnly() const
{
    return sqlite3_db_readonly(db_.get(), "main") == 1;
}

SQLError Connection::lastError() const
{
    return errorOf(db_.get(), sqlite3_extended_errcode(db_.get()));
}

// MARK: Statement

void Statement::Finalizer::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

Statement::Statement(sqlite3_stmt* statement, sqlite3* db) : statement_(statement), db_(db) {}
Statement::Statement(Statement&&) noexcept = default;
Statement& Statement::operator=(Statement&&) noexcept = default;
Statement::~Statement() = default;

void Statement::noteBindResult(int result)
{
    if (result != SQLITE_OK && !error_)
        error_ = errorOf(db_, result);
}

Statement& Statement::bind(int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    // SQLITE_TRANSIENT: SQLite copies the bytes, so the temporary may go.
    noteBindResult(sqlite3_bind_text64(statement_.get(), index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
}

Statement& Statement::bind(int index, const std::optional<QString>& text)
{
    return text ? bind(index, *text) : bind(index, nullptr);
}

Statement& Statement::bind(int index, qint64 value)
{
    noteBindResult(sqlite3_bind_int64(statement_.get(), index, value));
    return *this;
}

Statement& Statement::bind(int index, const std::optional<qint64>& value)
{
    return value ? bind(index, *value) : bind(index, nullptr);
}

Statement& Statement::bind(int index, std::nullptr_t)
{
    noteBindResult(sqlite3_bind_null(statement_.get(), index));
    return *this;
}

Statement::Step Statement::step()
{
    if (error_)
        return Step::Failed;
    const int result = sqlite3_step(statement_.get());
    if (result == SQLITE_ROW)
        return Step::Row;
    if (result == SQLITE_DONE)
        return Step::Done;
    error_ = errorOf(db_, sqlite3_extended_errcode(db_));
    return Step::Failed;
}

std::optional<SQLError> Statement::run()
{
    for (;;) {
        switch (step()) {
        case Step::Row:
            continue;
        case Step::Done:
            return std::nullopt;
        case Step::Failed:
            return error();
        }
    }
}

SQLError Statement::error() const
{
    return error_ ? *error_ : SQLError{};
}

int Statement::columnCount() const
{
    return sqlite3_column_count(statement_.get());
}

int Statement::columnIndex(const QString& name) const
{
    const int count = columnCount();
    for (int column = 0; column < count; ++column) {
        if (QString::fromUtf8(sqlite3_column_name(statement_.get(), column)) == name)
            return column;
    }
    return -1;
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

QString Statement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_.get(), column));
    const int size = sqlite3_column_bytes(statement_.get(), column); // after the text, as SQLite asks
    return bytes ? QString::fromUtf8(bytes, size) : QString();
}

std::optional<QString> Statement::optionalText(int column) const
{
    if (column < 0 || isNull(column))
        return std::nullopt;
    return text(column);
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(statement_.get(), column);
}

std::optional<qint64> Statement::optionalInt64(int column) const
{
    if (column < 0 || isNull(column))
        return std::nullopt;
    return int64(column);
}

// MARK: Transaction

Result<Transaction, SQLError> Transaction::begin(Connection& connection)
{
    if (std::optional<SQLError> error = connection.execute(QStringLiteral("BEGIN IMMEDIATE")))
        return *error;
    return Transaction(connection);
}

Transaction::Transaction(Transaction&& other) noexcept : connection_(other.connection_)
{
    other.connection_ = nullptr;
}

Transaction::~Transaction()
{
    if (connection_)
        connection_->execute(QStringLiteral("ROLLBACK"));
}

std::optional<SQLError> Transaction::commit()
{
    if (!connection_)
        return SQLError{SQLITE_MISUSE, QStringLiteral("transaction already finished")};
    std::optional<SQLError> error = connection_->execute(QStringLiteral("COMMIT"));
    if (!error)
        connection_ = nullptr;
    return error;
}

} // namespace airlark::sqlite
