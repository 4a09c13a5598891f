#pragma once

#include "store/CredentialStore.h"
#include "store/Database.h"
#include "store/LibsynAccountFeedType.h"
#include "store/Result.h"

#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace airlark {

// One account as read back from the "account" table.
struct AccountQueryResult
{
    AccountQueryResult(qint64 identifier, QString name, QString hostText)
        : id(identifier), displayName(std::move(name)), host(std::move(hostText))
    {
    }
    AccountQueryResult(qint64 identifier, QString name, QString hostText,
                       std::optional<LibsynAccountFeedType> feed, std::optional<QString> emailAddress)
        : id(identifier), displayName(std::move(name)), host(std::move(hostText)), feedType(feed),
          email(std::move(emailAddress))
    {
    }

    qint64 id = 0;
    QString displayName;
    QString host; // stored form of PodcastHost; "" for a placeholder row
    std::optional<LibsynAccountFeedType> feedType;
    std::optional<QString> email;
};

// A created account that could not be read back.
enum class AccountDatabaseError
{
    UnableToCreate
};

// One of the user's podcast-host accounts: a row of the "account" table, and its credential item
// (a Libsyn password, SoundCloud tokens) in the credential store, never in the database. Deleting
// an account deletes its credential items first, so that no secret outlives the account the user
// sees.
class Account
{
public:
    using AccountQueryResult = airlark::AccountQueryResult;
    using AccountDatabaseError = airlark::AccountDatabaseError;
    using CreateError = std::variant<SQLError, AccountDatabaseError>;

    // Posted with no object, on the main thread, after createAccount, rename, deleteAccount and
    // every successful update.
    static inline const QString availableAccountsDidChangeNotificationName =
        QStringLiteral("availableAccountsDidChange");

    Account(Database database, qint64 id, QString displayName, QString host);

    static std::optional<SQLError> createTable(const Database& database);
    static QString tableName() { return QStringLiteral("account"); }
    static DatabaseTableHandle table() { return defaultTableHandle<Account>(); }

    // Every account in creation order, all fields, leaving out rows reserved for a sign-in that
    // never finished; empty when the table cannot be read (e.g. missing, or locked past the busy
    // time-out), and then why in `error`.
    static std::vector<AccountQueryResult> selectAll(const Database& database, SQLError* error = nullptr);

    // The account with this identifier, all fields; nothing when there is no such row or the
    // table cannot be read.
    static std::optional<AccountQueryResult> find(const Database& database, qint64 id);

    // Reserves a row with empty display name and host and returns its identifier. No notification.
    static Result<qint64, SQLError> insertPlaceholder(const Database& database);

    // Stores a new account and returns its identifier, without a notification: for an account that
    // is only complete once its password is in the keyring (then post availableAccountsDidChange on
    // the main thread), or removed again.
    static Result<qint64, SQLError> insert(const Database& database, const QString& displayName,
                                           const QString& host, LibsynAccountFeedType feedType,
                                           const std::optional<QString>& email);
    // Deletes the row of an account that could not be completed. No notification.
    static std::optional<SQLError> remove(const Database& database, qint64 id);
    // Tells every list of accounts to reload, on the main thread where the lists live (queued
    // there when called from a worker).
    static void postAvailableAccountsDidChange();

    // Gives the account `id` a new display name; posts "availableAccountsDidChange". The SQL error,
    // if any; a missing row is no error (there is nothing left to rename).
    static std::optional<SQLError> rename(const Database& database, qint64 id, const QString& displayName);

    // Writes what a checked Libsyn log-in found (show folder as display name, feed type, e-mail)
    // to the row `id`; posts "availableAccountsDidChange". The SQL error, if any.
    static std::optional<SQLError> updateLibsyn(const Database& database, qint64 id,
                                                const QString& displayName, LibsynAccountFeedType feedType,
                                                const std::optional<QString>& email);

    // Where a credential item lives: the keyring's service and user-account texts.
    struct CredentialItem
    {
        QString userAccount;
        QString service;
    };
    using DeleteError = std::variant<SQLError, CredentialStoreError>;
    // Deletes each of `items` from the credential store, then the row, and posts
    // "availableAccountsDidChange". A keyring that refuses (locked, absent) keeps the row, so that
    // the user can try again and no secret is left without its account. Blocks on the keyring:
    // never on the GUI thread.
    static std::optional<DeleteError> deleteAccount(const Database& database, qint64 id,
                                                    const std::vector<CredentialItem>& items);
    // The item savePassword writes for the account.
    static CredentialItem passwordItem(const QString& host, qint64 accountId)
    {
        return {credentialUserAccount(host, accountId), host};
    }

    // Stores a new account and returns it as read back; posts "availableAccountsDidChange".
    // A NULL e-mail when `email` is empty.
    static Result<AccountQueryResult, CreateError>
    createAccount(const Database& database, const QString& displayName, const QString& host,
                  LibsynAccountFeedType feedType, const std::optional<QString>& email);

    // Writes this value's display name and host to the row with its id, then posts
    // "availableAccountsDidChange" (also when no row has that id). The SQL error, if any.
    std::optional<SQLError> update() const;

    // What the credential item of an account holds: the password and, beside it, whether the user
    // chose to let it cross the network without encryption (a per-account choice that stays out of
    // the account table, whose layout others rely on).
    struct Credential
    {
        QString password;
        bool allowsUnencryptedFTP = false;
    };

    // The credential item of an account: service = host text, user account = "<host>-<id>",
    // data = {"password": password, "allowsUnencryptedFTP": true} (the second entry only when
    // chosen). Saving replaces any earlier item.
    static std::optional<CredentialStoreError> savePassword(const QString& host, qint64 accountId,
                                                            const QString& password,
                                                            bool allowsUnencryptedFTP = false);
    // The stored password; nothing when there is no item or its "password" is not text.
    static std::optional<QString> loadPassword(const QString& host, qint64 accountId);
    // The same item with the encryption choice (a missing or non-boolean choice reads as false),
    // or why it cannot be read: NotFound for no item (or no text under "password"), another code
    // when the keyring is locked or unavailable. Blocks: never on the GUI thread.
    static Result<Credential, CredentialStoreError> loadCredential(const QString& host, qint64 accountId);
    static QString credentialUserAccount(const QString& host, qint64 accountId);

    const Database& database() const { return database_; }

    qint64 id = 0;
    QString displayName;
    QString host;

private:
    struct Expressions;
    Database database_;
};

static_assert(DatabaseTable<Account>);

} // namespace airlark
