#include "hosts/AccountManagement.h"

#include "hosts/LibsynAuthenticationViewModel.h"
#include "hosts/SoundCloudAPIClient.h"
#include "hosts/SoundCloudEndpoints.h"
#include "platform/MainQueue.h"
#include "store/CredentialStore.h"
#include "store/Database.h"

#include <QCoreApplication>

namespace airlark::AccountManagement {
namespace {

const QString UserNameKey = QStringLiteral("username");

QString tr(const char* text)
{
    return QCoreApplication::translate("AccountManagement", text);
}

Account::CredentialItem soundCloudTokensItem(qint64 accountID)
{
    return {QString::number(accountID), SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())};
}

void changeInBackground(std::function<std::optional<QString>(const Database&)> change, Completion completion)
{
    MainQueue::runInBackground([change = std::move(change), completion = std::move(completion)] {
        const std::optional<Database> database = Database::open();
        std::optional<QString> problem =
            database ? change(*database) : tr("Airlark\u2019s database cannot be opened.");
        MainQueue::performOnMainThread([completion, problem] {
            if (completion)
                completion(problem);
        });
    });
}

} // namespace

std::vector<Account::CredentialItem> credentialItems(std::optional<PodcastHost> host, qint64 accountID)
{
    if (host == PodcastHost::Libsyn)
        return {Account::passwordItem(storedText(PodcastHost::Libsyn), accountID)};
    return {soundCloudTokensItem(accountID)};
}

bool canRenameInPlace(std::optional<PodcastHost> host)
{
    return host != PodcastHost::Libsyn;
}

void rename(qint64 accountID, const QString& displayName, Completion completion)
{
    const QString name = displayName.trimmed();
    if (name.isEmpty()) {
        completion(tr("An account needs a name."));
        return;
    }
    changeInBackground(
        [accountID, name](const Database& database) -> std::optional<QString> {
            if (const std::optional<SQLError> error = Account::rename(database, accountID, name))
                return tr("The account could not be renamed: %1").arg(error->message);
            return std::nullopt;
        },
        std::move(completion));
}

void remove(qint64 accountID, std::optional<PodcastHost> host, Completion completion)
{
    changeInBackground(
        [accountID,
         items = credentialItems(host, accountID)](const Database& database) -> std::optional<QString> {
            const std::optional<Account::DeleteError> error =
                Account::deleteAccount(database, accountID, items);
            if (!error)
                return std::nullopt;
            if (const auto* keyring = std::get_if<CredentialStoreError>(&*error))
                return tr("The account was kept: its secret could not be removed from the keyring (%1). "
                          "Unlock the keyring, then delete the account again.")
                    .arg(keyring->message);
            return tr("The account could not be deleted from Airlark\u2019s database: %1")
                .arg(std::get<SQLError>(*error).message);
        },
        std::move(completion));
}

QString deleteQuestion(const QString& displayName)
{
    return tr("Delete the account \u201c%1\u201d?").arg(displayName);
}

QString deleteDetail(std::optional<PodcastHost> host)
{
    if (host == PodcastHost::Libsyn)
        return tr("Its FTP password is removed from the keyring. Episodes already published stay on Libsyn.");
    return tr("Its sign-in is removed from the keyring. Tracks already published stay on SoundCloud.");
}

QString libsynDetails(const AccountQueryResult& account)
{
    QStringList parts;
    if (account.feedType == LibsynAccountFeedType::Libsyn)
        parts << rawValue(FeedType::Libsyn);
    else if (account.feedType == LibsynAccountFeedType::External)
        parts << rawValue(FeedType::External);
    if (account.email && !account.email->isEmpty())
        parts << *account.email;
    return parts.join(QStringLiteral(" \u00b7 "));
}

void saveSoundCloudUserName(qint64 accountID, const QString& userName)
{
    const Account::CredentialItem item = soundCloudTokensItem(accountID);
    // The tokens were stored by the sign-in that found this name; the name joins them.
    CredentialStore::readDataLater(
        item.userAccount, item.service, [item, userName](Result<QVariantMap, CredentialStoreError> data) {
            if (!data)
                return;
            QVariantMap updated = *data;
            updated.insert(UserNameKey, userName);
            CredentialStore::updateDataLater(updated, item.userAccount, item.service,
                                             [](const std::optional<CredentialStoreError>& error) {
                                                 if (error)
                                                     qWarning("The SoundCloud user name was not kept: %s",
                                                              qUtf8Printable(error->message));
                                             });
        });
}

QString alreadyAddedText(const QString& displayName)
{
    return tr("%1 is already added: its sign-in was renewed").arg(displayName);
}

std::optional<AccountQueryResult> findLibsynAccount(const Database& database, const QString& email,
                                                    const QString& showFolder)
{
    for (AccountQueryResult& account : Account::selectAll(database)) {
        if (account.host == storedText(PodcastHost::Libsyn) && account.email == email &&
            account.displayName == showFolder)
            return std::move(account);
    }
    return std::nullopt;
}

std::optional<AccountQueryResult> renewKnownSoundCloudUser(const Database& database, qint64 newAccountID,
                                                           const QString& userName)
{
    const Account::CredentialItem signIn = soundCloudTokensItem(newAccountID);
    for (AccountQueryResult& account : Account::selectAll(database)) {
        if (account.id == newAccountID || account.host != storedText(PodcastHost::SoundCloud))
            continue;
        const Account::CredentialItem item = soundCloudTokensItem(account.id);
        const auto known = CredentialStore::loadData(item.userAccount, item.service);
        if (!known || known->value(UserNameKey).toString() != userName)
            continue;
        std::optional<QVariantMap> tokens = CredentialStore::loadData(signIn.userAccount, signIn.service);
        if (!tokens)
            return std::nullopt;
        tokens->insert(UserNameKey, userName);
        if (const auto refused = CredentialStore::updateData(*tokens, item.userAccount, item.service)) {
            qWarning("The renewed sign-in could not replace the earlier one: %s",
                     qUtf8Printable(refused->message));
            return std::nullopt;
        }
        if (Account::deleteAccount(database, newAccountID, {signIn}))
            qWarning("The row of a sign-in that renewed an account stays behind");
        return std::move(account);
    }
    return std::nullopt;
}

void readSoundCloudUserName(qint64 accountID, std::function<void(std::optional<QString>)> completion)
{
    const Account::CredentialItem item = soundCloudTokensItem(accountID);
    CredentialStore::readDataLater(
        item.userAccount, item.service,
        [completion = std::move(completion)](Result<QVariantMap, CredentialStoreError> data) {
            const QVariant name = data ? data->value(UserNameKey) : QVariant();
            completion(name.typeId() == QMetaType::QString ? std::optional(name.toString()) : std::nullopt);
        });
}

} // namespace airlark::AccountManagement
