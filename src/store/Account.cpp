#include "store/Account.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

#include <QVariant>

namespace airlark {

// The table's columns with the types our records give them.
struct Account::Expressions
{
    static constexpr sqlite::Column<qint64> id{"id"};
    static constexpr sqlite::Column<QString> displayName{"display_name"};
    static constexpr sqlite::Column<QString> host{"host"};
    static constexpr sqlite::Column<std::optional<QString>> feedType{"feed_type"};
    static constexpr sqlite::Column<std::optional<QString>> email{"email"};
};

namespace {

const QString CreateTableSQL = QStringLiteral("CREATE TABLE IF NOT EXISTS \"account\" (\"id\" INTEGER "
                                              "PRIMARY KEY NOT NULL, \"display_name\" TEXT NOT NULL, "
                                              "\"host\" TEXT NOT NULL, \"feed_type\" TEXT, \"email\" TEXT)");
// A row reserved for a sign-in that never finished has no host yet: it is no account to list.
const QString SelectAllSQL =
    QStringLiteral("SELECT \"id\", \"display_name\", \"host\", \"feed_type\", \"email\" FROM "
                   "\"account\" WHERE \"host\" <> '' ORDER BY \"id\"");
const QString FindSQL = QStringLiteral("SELECT * FROM \"account\" WHERE (\"id\" = ?) LIMIT 1");
const QString InsertPlaceholderSQL =
    QStringLiteral("INSERT INTO \"account\" (\"display_name\", \"host\") VALUES (?, ?)");
const QString InsertSQL = QStringLiteral(
    "INSERT INTO \"account\" (\"display_name\", \"host\", \"feed_type\", \"email\") VALUES (?, ?, ?, ?)");
const QString DeleteSQL = QStringLiteral("DELETE FROM \"account\" WHERE (\"id\" = ?)");
const QString UpdateLibsynSQL = QStringLiteral(
    "UPDATE \"account\" SET \"display_name\" = ?, \"feed_type\" = ?, \"email\" = ? WHERE (\"id\" = ?)");
const QString RenameSQL = QStringLiteral("UPDATE \"account\" SET \"display_name\" = ? WHERE (\"id\" = ?)");
const QString UpdateSQL =
    QStringLiteral("UPDATE \"account\" SET \"display_name\" = ?, \"host\" = ? WHERE (\"id\" = ?)");

const QString PasswordKey = QStringLiteral("password");
const QString AllowsUnencryptedFTPKey = QStringLiteral("allowsUnencryptedFTP");

template <typename T> int indexOf(const sqlite::Statement& statement, const sqlite::Column<T>& column)
{
    return statement.columnIndex(QString::fromLatin1(column.name));
}

} // namespace

void Account::postAvailableAccountsDidChange()
{
    const QString& name = Account::availableAccountsDidChangeNotificationName;
    if (MainQueue::isMainThread())
        return NotificationCenter::defaultCenter().post(name);
    MainQueue::async([name] { NotificationCenter::defaultCenter().post(name); });
}

std::optional<SQLError> Account::rename(const Database& database, qint64 identifier, const QString& name)
{
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(RenameSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    statement.bindAll(name, identifier);
    if (std::optional<SQLError> error = statement.run())
        return error;
    postAvailableAccountsDidChange();
    return std::nullopt;
}

std::optional<SQLError> Account::updateLibsyn(const Database& database, qint64 identifier,
                                              const QString& name, LibsynAccountFeedType feedType,
                                              const std::optional<QString>& email)
{
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(UpdateLibsynSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    statement.bindAll(name, storedText(feedType), email, identifier);
    if (std::optional<SQLError> error = statement.run())
        return error;
    postAvailableAccountsDidChange();
    return std::nullopt;
}

std::optional<Account::DeleteError> Account::deleteAccount(const Database& database, qint64 identifier,
                                                           const std::vector<CredentialItem>& items)
{
    for (const CredentialItem& item : items)
        if (std::optional<CredentialStoreError> refused =
                CredentialStore::deleteData(item.userAccount, item.service))
            return DeleteError(*refused);
    if (std::optional<SQLError> error = remove(database, identifier))
        return DeleteError(*error);
    postAvailableAccountsDidChange();
    return std::nullopt;
}

Account::Account(Database database, qint64 identifier, QString name, QString hostText)
    : id(identifier), displayName(std::move(name)), host(std::move(hostText)), database_(std::move(database))
{
}

std::optional<SQLError> Account::createTable(const Database& database)
{
    return database.connection().execute(CreateTableSQL);
}

std::vector<AccountQueryResult> Account::selectAll(const Database& database, SQLError* error)
{
    return sqlite::selectRows<AccountQueryResult>(
        database.connection(), SelectAllSQL,
        [](sqlite::Statement& row) {
            const std::optional<QString> feedTypeText = row.optionalText(3);
            return AccountQueryResult(row.int64(0), row.text(1), row.text(2),
                                      feedTypeText ? libsynAccountFeedTypeFromStoredText(*feedTypeText)
                                                   : std::nullopt,
                                      row.optionalText(4));
        },
        error);
}

std::optional<AccountQueryResult> Account::find(const Database& database, qint64 identifier)
{
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(FindSQL);
    if (!prepared)
        return std::nullopt;
    sqlite::Statement statement = std::move(prepared).value();
    statement.bind(1, identifier);
    if (statement.step() != sqlite::Statement::Step::Row)
        return std::nullopt;

    using E = Expressions;
    const std::optional<QString> feedTypeText = statement.optionalText(indexOf(statement, E::feedType));
    return AccountQueryResult(identifier, statement.text(indexOf(statement, E::displayName)),
                              statement.text(indexOf(statement, E::host)),
                              feedTypeText ? libsynAccountFeedTypeFromStoredText(*feedTypeText)
                                           : std::nullopt,
                              statement.optionalText(indexOf(statement, E::email)));
}

Result<qint64, SQLError> Account::insertPlaceholder(const Database& database)
{
    sqlite::Connection& connection = database.connection();
    Result<sqlite::Statement, SQLError> prepared = connection.prepare(InsertPlaceholderSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    const QString empty(QLatin1String(""));
    statement.bindAll(empty, empty);
    if (std::optional<SQLError> error = statement.run())
        return *error;
    return connection.lastInsertRowId();
}

Result<qint64, SQLError> Account::insert(const Database& database, const QString& name,
                                         const QString& hostText, LibsynAccountFeedType feedType,
                                         const std::optional<QString>& email)
{
    sqlite::Connection& connection = database.connection();
    Result<sqlite::Statement, SQLError> prepared = connection.prepare(InsertSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    statement.bindAll(name, hostText, storedText(feedType), email);
    if (std::optional<SQLError> error = statement.run())
        return *error;
    return connection.lastInsertRowId();
}

std::optional<SQLError> Account::remove(const Database& database, qint64 identifier)
{
    Result<sqlite::Statement, SQLError> prepared = database.connection().prepare(DeleteSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    statement.bind(1, identifier);
    return statement.run();
}

Result<AccountQueryResult, Account::CreateError>
Account::createAccount(const Database& database, const QString& name, const QString& hostText,
                       LibsynAccountFeedType feedType, const std::optional<QString>& email)
{
    const Result<qint64, SQLError> rowId = insert(database, name, hostText, feedType, email);
    if (!rowId)
        return CreateError(rowId.error());
    std::optional<AccountQueryResult> created = find(database, *rowId);
    if (!created)
        return CreateError(AccountDatabaseError::UnableToCreate);
    postAvailableAccountsDidChange();
    return std::move(*created);
}

std::optional<SQLError> Account::update() const
{
    Result<sqlite::Statement, SQLError> prepared = database_.connection().prepare(UpdateSQL);
    if (!prepared)
        return prepared.error();
    sqlite::Statement statement = std::move(prepared).value();
    statement.bindAll(displayName, host, id);
    if (std::optional<SQLError> error = statement.run())
        return error;
    postAvailableAccountsDidChange();
    return std::nullopt;
}

QString Account::credentialUserAccount(const QString& hostText, qint64 accountId)
{
    return hostText + QLatin1Char('-') + QString::number(accountId);
}

std::optional<CredentialStoreError> Account::savePassword(const QString& hostText, qint64 accountId,
                                                          const QString& password, bool allowsUnencryptedFTP)
{
    QVariantMap data{{PasswordKey, password}};
    if (allowsUnencryptedFTP)
        data.insert(AllowsUnencryptedFTPKey, true);
    return CredentialStore::updateData(data, credentialUserAccount(hostText, accountId), hostText);
}

std::optional<QString> Account::loadPassword(const QString& hostText, qint64 accountId)
{
    const auto credential = loadCredential(hostText, accountId);
    return credential ? std::optional(credential->password) : std::nullopt;
}

Result<Account::Credential, CredentialStoreError> Account::loadCredential(const QString& hostText,
                                                                          qint64 accountId)
{
    const auto data = CredentialStore::readData(credentialUserAccount(hostText, accountId), hostText);
    if (!data)
        return data.error();
    const auto entry = data->constFind(PasswordKey);
    if (entry == data->cend() || entry->typeId() != QMetaType::QString)
        return CredentialStoreError{CredentialStoreError::Code::NotFound,
                                    QStringLiteral("The keyring item holds no password.")};
    const QVariant allows = data->value(AllowsUnencryptedFTPKey);
    return Credential{entry->toString(), allows.typeId() == QMetaType::Bool && allows.toBool()};
}

} // namespace airlark
