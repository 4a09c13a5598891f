#pragma once

#include "store/Result.h"

#include <QString>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <optional>

namespace airlark {

// Why the credential store refused.
struct CredentialStoreError
{
    enum class Code
    {
        NotFound,           // the keyring works, and holds no such item
        NoBackendAvailable, // no Secret Service (or other keychain) reachable
        AccessDenied,       // locked keyring, refused prompt, ...
        TimedOut,           // the keychain did not answer in time
        Other,
    };
    Code code = Code::Other;
    QString message; // QtKeychain's description; never contains the secret

    // The keyring itself could not be used (locked, absent, silent), as opposed to a missing item.
    bool keyringUnavailable() const { return code != Code::NotFound; }
};

// Items in the desktop's credential store (Secret Service: gnome-keyring, KWallet, KeePassXC),
// through QtKeychain. An item is addressed by a service text and a user-account text and holds a
// dictionary, stored as JSON text (so its values come back as JSON types: text, numbers as
// doubles, booleans, lists, dictionaries). There is never a plain-text fallback: with no keychain,
// saving fails and loading finds nothing.
//
// The QtKeychain jobs run on a dedicated thread with its own event loop. The plain calls are
// synchronous for their callers, from any thread but that one: the caller blocks (without running
// any event loop of its own) until the job finishes or `timeout` passes; the timeout is generous
// because the desktop may ask the user to unlock the keyring. Never make them on the GUI thread:
// the ...Later calls are for it, and report on the main thread instead.
// All of Airlark's keychain access goes through here, so QtKeychain is only ever used from that
// one thread.
class CredentialStore
{
public:
    static constexpr std::chrono::milliseconds DefaultTimeout{std::chrono::minutes(2)};

    // Creates or replaces the item. The error, if any.
    static std::optional<CredentialStoreError> updateData(const QVariantMap& data, const QString& userAccount,
                                                          const QString& service,
                                                          std::chrono::milliseconds timeout = DefaultTimeout);

    // The stored dictionary, or why there is none: NotFound for no item (or one that is not a
    // dictionary), another code when the keychain cannot be used.
    static Result<QVariantMap, CredentialStoreError>
    readData(const QString& userAccount, const QString& service,
             std::chrono::milliseconds timeout = DefaultTimeout);

    // Deletes the item. An item that is not there counts as deleted; the error otherwise (a locked
    // or absent keyring).
    static std::optional<CredentialStoreError> deleteData(const QString& userAccount, const QString& service,
                                                          std::chrono::milliseconds timeout = DefaultTimeout);

    // The stored dictionary; nothing when there is none, for whatever reason.
    static std::optional<QVariantMap> loadData(const QString& userAccount, const QString& service,
                                               std::chrono::milliseconds timeout = DefaultTimeout);

    // The same as updateData and readData without blocking: `completion` runs later on the main
    // thread (after `timeout` at the latest, with TimedOut). Main thread.
    using UpdateCompletion = std::function<void(std::optional<CredentialStoreError>)>;
    using ReadCompletion = std::function<void(Result<QVariantMap, CredentialStoreError>)>;
    static void updateDataLater(const QVariantMap& data, const QString& userAccount, const QString& service,
                                UpdateCompletion completion,
                                std::chrono::milliseconds timeout = DefaultTimeout);
    static void readDataLater(const QString& userAccount, const QString& service, ReadCompletion completion,
                              std::chrono::milliseconds timeout = DefaultTimeout);
};

} // namespace airlark
