#pragma once

#include <QString>
#include <QVariantMap>

#include <chrono>
#include <optional>

namespace airlark {

// Why the credential store refused.
struct CredentialStoreError
{
    enum class Code {
        NoBackendAvailable, // no Secret Service (or other keychain) reachable
        AccessDenied,       // locked keyring, refused prompt, ...
        TimedOut,           // the keychain did not answer in time
        Other,
    };
    Code code = Code::Other;
    QString message; // QtKeychain's description; never contains the secret
};

// Items in the desktop's credential store (Secret Service: gnome-keyring, KWallet, KeePassXC),
// through QtKeychain. An item is addressed by a service text and a user-account text and holds a
// dictionary, stored as JSON text (so its values come back as JSON types: text, numbers as
// doubles, booleans, lists, dictionaries). There is never a plain-text fallback: with no keychain,
// saving fails and loading finds nothing.
//
// Calls are synchronous for their callers, from any thread but the store's own keychain thread:
// the QtKeychain jobs run on that dedicated thread with its own event loop, and the caller blocks
// (without running any event loop of its own) until the job finishes or `timeout` passes. The
// timeout is generous because the desktop may ask the user to unlock the keyring.
// All of Airlark's keychain access goes through here, so QtKeychain is only ever used from that
// one thread.
class CredentialStore
{
public:
    static constexpr std::chrono::milliseconds DefaultTimeout{std::chrono::minutes(2)};

    // Creates or replaces the item. The error, if any.
    static std::optional<CredentialStoreError> updateData(const QVariantMap& data,
                                                          const QString& userAccount,
                                                          const QString& service,
                                                          std::chrono::milliseconds timeout = DefaultTimeout);

    // The stored dictionary; nothing when there is no item, it is not a dictionary, or the
    // keychain cannot be reached.
    static std::optional<QVariantMap> loadData(const QString& userAccount,
                                               const QString& service,
                                               std::chrono::milliseconds timeout = DefaultTimeout);
};

} // namespace airlark
