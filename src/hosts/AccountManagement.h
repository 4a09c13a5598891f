#pragma once

#include "store/Account.h"
#include "store/PodcastHost.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace airlark {

// Renaming and deleting saved accounts, and the SoundCloud user name kept beside an account's
// tokens. The store and the keyring are used on a thread of their own; completions run on the
// main thread. Main thread only.
namespace AccountManagement {

using Completion = std::function<void(std::optional<QString> problem)>;

// The credential items an account of `host` may have: a Libsyn account's password, a SoundCloud
// account's tokens. A row without a host is a SoundCloud sign-in that never finished.
std::vector<Account::CredentialItem> credentialItems(std::optional<PodcastHost> host, qint64 accountID);

// Gives the account a new display name. An empty name is refused.
void rename(qint64 accountID, const QString& displayName, Completion completion);
// Deletes the account's credential items, then its row; a keyring that refuses keeps both.
void remove(qint64 accountID, std::optional<PodcastHost> host, Completion completion);

// A Libsyn account's display name is its show folder on Libsyn's server, so it changes only
// through a new log-in check, never by a rename in the list.
bool canRenameInPlace(std::optional<PodcastHost> host);

QString deleteQuestion(const QString& displayName);
QString deleteDetail(std::optional<PodcastHost> host);

// What tells an account apart under its name: a Libsyn account's feed type and log-in e-mail
// ("Libsyn feed · me@example.com"); a SoundCloud account's user name (empty until known).
QString libsynDetails(const AccountQueryResult& account);

// The SoundCloud user name, kept in the account's tokens item under "username" (the display name
// is the user's to change). Reading gives nothing when there is none or the keyring is unavailable.
void saveSoundCloudUserName(qint64 accountID, const QString& userName);
void readSoundCloudUserName(qint64 accountID, std::function<void(std::optional<QString>)> completion);

// Adding an account that is already there renews it instead of listing it twice, and says so:
// "Zoë Tester is already added: its sign-in was renewed".
QString alreadyAddedText(const QString& displayName);
// The Libsyn account with this log-in e-mail and show folder, if there is one.
std::optional<AccountQueryResult> findLibsynAccount(const Database& database, const QString& email,
                                                    const QString& showFolder);
// After a sign-in of the SoundCloud user `userName` stored its tokens under the new row
// `newAccountID`: when another account is that user's, it takes the new tokens (with the user
// name) and the new row goes with its item. That account, or nothing when there is none, or when
// its tokens could not be replaced (the new row then stays a separate account). Blocks on the
// keyring: never on the GUI thread.
std::optional<AccountQueryResult> renewKnownSoundCloudUser(const Database& database, qint64 newAccountID,
                                                           const QString& userName);

} // namespace AccountManagement
} // namespace airlark
