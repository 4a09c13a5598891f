#include "store/Database.h"

#include "store/Account.h"
#include "store/DataDirectory.h"
#include "store/ID3Template.h"
#include "store/TemplatePodcastFields.h"

#include <QFileInfo>

namespace airlark {

namespace {

// Long enough for any other holder's write on this small file to finish, short enough that a
// connection stuck elsewhere shows up as a failed save instead of a hung window.
constexpr std::chrono::milliseconds BusyTimeout{5000};

} // namespace

QString DatabaseTableHandle::sqlIdentifier() const
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

Database::Database(QUrl url, std::shared_ptr<sqlite::Connection> connection)
    : url_(std::move(url)), connection_(std::move(connection))
{
}

std::optional<Database> Database::open()
{
    const std::optional<QString> directory = ensureDataDirectory();
    if (!directory)
        return std::nullopt;
    const QString path = *directory + QLatin1Char('/') + DatabaseFilenamePathComponent + QLatin1Char('.') +
                         DatabasePathExtension;

    // Journal mode stays SQLite's rollback journal: writes are rare and tiny, and unlike WAL it
    // needs no side files that must stay writable next to the database. Statements are finalized
    // as soon as they are read and multi-statement writes take the write lock up front, so the
    // busy timeout is all that other holders need to wait each other out.
    Result<sqlite::Connection, SQLError> connection = sqlite::Connection::open(path);
    if (!connection)
        return std::nullopt;
    auto shared = std::make_shared<sqlite::Connection>(std::move(connection).value());
    shared->setBusyTimeout(BusyTimeout);
    return Database(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()), std::move(shared));
}

std::optional<SQLError> Database::createTables() const
{
    if (std::optional<SQLError> error = ID3Template::createTable(*this))
        return error;
    if (std::optional<SQLError> error = Account::createTable(*this))
        return error;
    return TemplatePodcastFields::createTable(*this);
}

} // namespace airlark
