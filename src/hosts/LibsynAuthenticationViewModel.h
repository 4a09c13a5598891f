#pragma once

#include "ftp/FTPFailure.h"
#include "store/LibsynAccountFeedType.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

// The feed kinds offered in the Libsyn form; the raw values are the pop-up titles.
enum class FeedType
{
    Libsyn,   // "Libsyn feed"
    External, // "External feed"
};

QString rawValue(FeedType feedType);
std::optional<FeedType> feedTypeFromRawValue(const QString& rawValue);
LibsynAccountFeedType libsynAccountFeedType(FeedType feedType);

class LibsynAuthenticationViewModel;

class LibsynAuthenticationViewModelDelegate
{
public:
    virtual ~LibsynAuthenticationViewModelDelegate() = default;
    // `hasLoggedIn`, `statusText` or a field changed: re-read `canSave` and `statusText`.
    virtual void libsynAuthenticationViewModelStateDidChange(LibsynAuthenticationViewModel& viewModel) = 0;
};

// The Libsyn pane's rules over the current texts of its fields. The pane feeds it every edit and
// the verdict of every log-in check; it says when the account may be added and adds it.
//
// Each log-in check gets a ticket. Only the verdict of the latest check counts, and only while
// the credentials it checked are unchanged: a slow check that succeeds for a password the user
// has since edited must not let the edited password be saved unchecked.
class LibsynAuthenticationViewModel
{
public:
    // Standard output's lines, for scripts: never translated.
    static const QString ErrorCreatingAccountText; // "Error creating account"
    static const QString CheckPassedText;          // "Check passed": an account checked again was saved
    // The pane's choice to log in without TLS, in the podcaster's language.
    static QString unencryptedChoiceText();

    LibsynAuthenticationViewModelDelegate* delegate() const { return delegate_; }
    void setDelegate(LibsynAuthenticationViewModelDelegate* delegate) { delegate_ = delegate; }

    QString email() const { return email_; }
    QString username() const { return username_; }
    QString password() const { return password_; }
    // Any edit of a credential the log-in check used (e-mail, user name, password) asks for a
    // new check before the account can be added, and clears the status.
    void setEmail(const QString& email);
    void setUsername(const QString& username);
    void setPassword(const QString& password);

    FeedType selectedFeedType() const { return selectedFeedType_; }
    // The check enters the feed type's folder, so a new feed type needs a new check too.
    void setSelectedFeedType(FeedType feedType);

    // Plain FTP for this account: off unless the user ticks it. Changing it asks for a new check.
    bool allowsUnencryptedFTP() const { return allowsUnencryptedFTP_; }
    void setAllowsUnencryptedFTP(bool allows);
    // "Libsyn feed", "External feed".
    QStringList feedTypes() const;
    // Selects the feed type at `index` of `feedTypes`; other indices change nothing.
    void selectFeedTypeAtIndex(qsizetype index);

    bool hasLoggedIn() const { return hasLoggedIn_; }
    std::optional<QString> statusText() const { return statusText_; }

    // True when the log-in check succeeded, e-mail, user name and password are non-empty, and no
    // Add is running.
    bool canSave() const;

    // A log-in check starts: the status is cleared. Returns the check's ticket.
    quint64 logInStarted();
    // The outcome of the check with `ticket` (None: logged in, show folder found); the status says
    // what went wrong, or that all is well. Returns false when the outcome was ignored because a
    // later check started or the credentials changed since.
    bool logInCompleted(quint64 ticket, const FTPFailure& failure);
    // The status line for a check's outcome.
    QString logInStatusText(const FTPFailure& failure) const;
    // Whether a check is still awaited (for the spinner).
    bool isCheckingLogIn() const { return awaitedTicket_.has_value(); }

    // Adds the account, or nothing at all: in the background it saves the account row ("Libsyn",
    // the feed type, the e-mail; the user name as display name) and then the password in the
    // keyring; when the keyring refuses, the row is removed again. `completion` runs on the main
    // thread with nothing on success (and "availableAccountsDidChange" posted), else with the
    // message the status then shows ("The password could not be saved in the keyring: …"; "Error
    // creating account" goes to standard output too); Add can then be pressed again.
    void addAccount(std::function<void(std::optional<QString> failure)> completion);
    bool isAddingAccount() const { return addingAccount_; }

    // The next Add re-checks this saved account instead of adding one: it replaces the account's
    // password in the keyring and writes the checked folder, e-mail and feed type to its row.
    // None for a new account.
    void recheckAccount(std::optional<qint64> accountID) { accountToRecheck_ = accountID; }
    const std::optional<qint64>& accountToRecheck() const { return accountToRecheck_; }

private:
    void credentialsDidChange();
    void stateDidChange();

    LibsynAuthenticationViewModelDelegate* delegate_ = nullptr;
    QString email_;
    QString username_;
    QString password_;
    FeedType selectedFeedType_ = FeedType::Libsyn;
    bool allowsUnencryptedFTP_ = false;
    bool hasLoggedIn_ = false;
    std::optional<QString> statusText_;
    quint64 lastTicket_ = 0;
    std::optional<quint64> awaitedTicket_;

    bool addingAccount_ = false;
    std::optional<qint64> accountToRecheck_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace airlark
