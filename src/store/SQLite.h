#pragma once

#include "store/Result.h"

#include <QString>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace airlark {

// Why SQLite refused: its (extended) result code and message, e.g. "no such table: account".
struct SQLError
{
    int code = 0;
    QString message;
};

namespace sqlite {

class Statement;

// One owned SQLite connection. Move-only; closed on destruction. Statements prepared from it
// must be destroyed before it.
class Connection
{
public:
    // Opens `path` for reading and writing, creating the file when it is missing. SQLite opens
    // lazily: a file that is not a database is only noticed by the first statement. Never
    // truncates or rewrites an existing file on open.
    static Result<Connection, SQLError> open(const QString& path);

    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    ~Connection();

    // Compiles one statement. The SQL must be a constant of ours: values go in through bind().
    Result<Statement, SQLError> prepare(const QString& sql);

    // Runs one statement that takes no parameters and returns no rows of interest.
    std::optional<SQLError> execute(const QString& sql);

    // How long a statement waits for another connection's lock before failing with SQLITE_BUSY.
    void setBusyTimeout(std::chrono::milliseconds timeout);

    qint64 lastInsertRowId() const;
    int changes() const;
    // True when SQLite could only open the file for reading (e.g. it is write-protected).
    bool isReadOnly() const;

    SQLError lastError() const;
    sqlite3* handle() const { return db_.get(); }

private:
    struct Closer
    {
        void operator()(sqlite3* db) const;
    };
    explicit Connection(sqlite3* db);
    std::unique_ptr<sqlite3, Closer> db_;
};

// One prepared statement with its bound parameters (1-based, in SQL order) and its current row.
class Statement
{
public:
    enum class Step
    {
        Row,
        Done,
        Failed
    };

    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    ~Statement();

    // A failed bind is remembered and makes the next step() fail with it.
    Statement& bind(int index, const QString& text);
    Statement& bind(int index, const std::optional<QString>& text); // empty binds NULL
    Statement& bind(int index, qint64 value);
    Statement& bind(int index, const std::optional<qint64>& value); // empty binds NULL
    Statement& bind(int index, std::nullptr_t);

    // Binds every value in order, starting at parameter 1.
    template <typename... Values> Statement& bindAll(const Values&... values)
    {
        int index = 0;
        (bind(++index, values), ...);
        return *this;
    }

    Step step();
    // Steps until done, ignoring rows; the error if any step fails.
    std::optional<SQLError> run();
    // The error of the last failed step or bind.
    SQLError error() const;

    // Reading the current row (after step() returned Row). Column indexes are 0-based.
    int columnCount() const;
    // The index of the result column with this name, or -1.
    int columnIndex(const QString& name) const;
    bool isNull(int column) const;
    QString text(int column) const; // NULL reads as the empty text
    std::optional<QString> optionalText(int column) const;
    qint64 int64(int column) const; // NULL reads as 0
    std::optional<qint64> optionalInt64(int column) const;

private:
    friend class Connection;
    struct Finalizer
    {
        void operator()(sqlite3_stmt* statement) const;
    };
    Statement(sqlite3_stmt* statement, sqlite3* db);
    void noteBindResult(int result);

    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
    sqlite3* db_ = nullptr;
    std::optional<SQLError> error_;
};

// Groups statements that must land together. Takes the write lock at once (BEGIN IMMEDIATE), so
// that two connections never both read and then wait forever to write; rolls back unless committed.
class Transaction
{
public:
    static Result<Transaction, SQLError> begin(Connection& connection);
    Transaction(Transaction&& other) noexcept;
    Transaction& operator=(Transaction&&) = delete;
    ~Transaction();

    std::optional<SQLError> commit();

private:
    explicit Transaction(Connection& connection) : connection_(&connection) {}
    Connection* connection_;
};

// A column of a table with the type its values have in our records.
template <typename T> struct Column
{
    const char* name;
};

// Runs a query and reads every row with `read`. A query that cannot run, or fails part-way,
// gives the empty list (half a list would look like rows had vanished), and says why in `error`
// when given.
template <class Row, class Read>
std::vector<Row> selectRows(Connection& connection, const QString& sql, Read read, SQLError* error = nullptr)
{
    Result<Statement, SQLError> prepared = connection.prepare(sql);
    if (!prepared) {
        if (error)
            *error = prepared.error();
        return {};
    }
    Statement statement = std::move(prepared).value();
    std::vector<Row> rows;
    for (;;) {
        switch (statement.step()) {
        case Statement::Step::Row:
            rows.push_back(read(statement));
            break;
        case Statement::Step::Done:
            return rows;
        case Statement::Step::Failed:
            if (error)
                *error = statement.error();
            return {};
        }
    }
}

} // namespace sqlite
} // namespace airlark
