#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

class SoundCloudAuthenticationViewModel;
class SoundCloudAPIClient;

class SoundCloudAuthenticationViewModelDelegate
{
public:
    virtual ~SoundCloudAuthenticationViewModelDelegate() = default;
    virtual void
    soundCloudAuthenticationViewModelViewStateDidChange(SoundCloudAuthenticationViewModel& viewModel) = 0;
};

// State and texts of the SoundCloud pane. Every assignment to `authenticated`, `username`,
// `message` or `networkRequestInProgress` reports to the delegate later, on the main queue,
// once per assignment. Main thread only; the store is used on threads of their own, since it may
// wait for another program's lock.
class SoundCloudAuthenticationViewModel
{
public:
    SoundCloudAuthenticationViewModel();
    ~SoundCloudAuthenticationViewModel();
    SoundCloudAuthenticationViewModel(const SoundCloudAuthenticationViewModel&) = delete;
    SoundCloudAuthenticationViewModel& operator=(const SoundCloudAuthenticationViewModel&) = delete;

    SoundCloudAuthenticationViewModelDelegate* delegate = nullptr; // not owned

    std::optional<qint64> accountID() const { return accountID_; }
    bool authenticated() const { return authenticated_; }
    const QString& username() const { return username_; }
    const std::optional<QString>& message() const { return message_; }
    bool networkRequestInProgress() const { return networkRequestInProgress_; }
    bool canAdvance() const;
    // "Signed in as <name>" once SoundCloud has named the signed-in user (so that the podcaster
    // sees which of their SoundCloud accounts the browser used), else empty.
    QString signedInText() const;

    // Assigning false also sets the failure message and stops the network activity.
    void setAuthenticated(bool authenticated);
    void setUsername(const QString& username);
    void setMessage(const std::optional<QString>& message);
    void setNetworkRequestInProgress(bool inProgress);

    // Reports "Connecting to SoundCloud…" and reserves an account row in the background; `reserved`
    // runs on the main thread once the row is there, and starts the sign-in. False when Airlark has
    // no SoundCloud app registration (the message then says so and nothing else should start); a
    // row that cannot be reserved is reported in the message, and `reserved` never runs. A later
    // call overtakes one still reserving.
    bool authenticationProgressBegan(std::function<void()> reserved);
    // The next sign-in renews the tokens of this existing account (its sign-in has expired)
    // instead of adding a new one; none for a new account.
    void renewAccount(std::optional<qint64> accountID) { accountToRenew_ = accountID; }
    // Asks SoundCloud for the signed-in user's name with a fresh client for `accountID`.
    void getUserDetails();
    // Completes the reserved row with the user name and the host "SoundCloud" (a renewed account
    // keeps its name), in the background, and keeps the user name beside the tokens. A user who
    // already has an account gets the new sign-in in that account instead of a second row, and the
    // message says so (alreadyAdded()). `completion` runs on the main thread with nothing on
    // success, else the error text: no reserved row, no user name, or the store refused.
    void save(std::function<void(std::optional<QString>)> completion);
    // The last save renewed the account the user already had instead of adding one.
    bool alreadyAdded() const { return alreadyAdded_; }

    // The decimal text of `accountID` (the tokens' user identifier), empty without one.
    QString userIdentifier() const;

    static const QString ConnectingMessage;           // "Connecting to SoundCloud…"
    static const QString AuthenticationFailedMessage; // "Unable to authenticate with SoundCloud"
    static const QString RetrievingMessage;           // "Retrieving user details…"
    static const QString ConnectedMessage;            // "Connected"
    static const QString RetrievalFailedMessage;      // "Unable to retrieve this account"
    static const QString CredentialsMissingMessage;   // the app registration is missing; %1 is the file

private:
    void report();
    void userDetailsDidArrive(const std::optional<QString>& username);

    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::optional<qint64> accountID_;
    std::optional<qint64> accountToRenew_;
    quint64 reservations_ = 0;
    bool authenticated_ = false;
    QString username_;
    std::optional<QString> message_;
    bool networkRequestInProgress_ = false;
    bool alreadyAdded_ = false;
};

} // namespace airlark
