#include "hosts/LibsynAuthenticationViewModel.h"

#include "hosts/AccountManagement.h"
#include "hosts/AddPodcastHostViewModel.h"
#include "hosts/LibsynFTPServer.h"
#include "platform/MainQueue.h"
#include "platform/StandardOutput.h"
#include "store/Account.h"
#include "store/Database.h"
#include "store/PodcastHost.h"

#include <QCoreApplication>

namespace airlark {

namespace {

// Shown to the podcaster, in their language.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(LibsynAuthenticationViewModel)
};

QString logInFailed(const QString& reason)
{
    return Text::tr("Log in failed: %1").arg(reason);
}

} // namespace

const QString LibsynAuthenticationViewModel::ErrorCreatingAccountText =
    QStringLiteral("Error creating account");
const QString LibsynAuthenticationViewModel::CheckPassedText = QStringLiteral("Check passed");
QString LibsynAuthenticationViewModel::unencryptedChoiceText()
{
    return Text::tr("Send my password without encryption (not recommended)");
}

QString rawValue(FeedType feedType)
{
    switch (feedType) {
    case FeedType::Libsyn:
        return QStringLiteral("Libsyn feed");
    case FeedType::External:
        return QStringLiteral("External feed");
    }
    return QString();
}

std::optional<FeedType> feedTypeFromRawValue(const QString& text)
{
    for (const auto feedType : {FeedType::Libsyn, FeedType::External}) {
        if (rawValue(feedType) == text)
            return feedType;
    }
    return std::nullopt;
}

LibsynAccountFeedType libsynAccountFeedType(FeedType feedType)
{
    return feedType == FeedType::External ? LibsynAccountFeedType::External : LibsynAccountFeedType::Libsyn;
}

void LibsynAuthenticationViewModel::setEmail(const QString& email)
{
    if (email == email_)
        return;
    email_ = email;
    credentialsDidChange();
}

void LibsynAuthenticationViewModel::setUsername(const QString& username)
{
    if (username == username_)
        return;
    username_ = username;
    credentialsDidChange();
}

void LibsynAuthenticationViewModel::setPassword(const QString& password)
{
    if (password == password_)
        return;
    password_ = password;
    credentialsDidChange();
}

void LibsynAuthenticationViewModel::setSelectedFeedType(FeedType feedType)
{
    if (feedType == selectedFeedType_)
        return;
    selectedFeedType_ = feedType;
    credentialsDidChange();
}

void LibsynAuthenticationViewModel::setAllowsUnencryptedFTP(bool allows)
{
    if (allows == allowsUnencryptedFTP_)
        return;
    allowsUnencryptedFTP_ = allows;
    credentialsDidChange();
}

QStringList LibsynAuthenticationViewModel::feedTypes() const
{
    return {rawValue(FeedType::Libsyn), rawValue(FeedType::External)};
}

void LibsynAuthenticationViewModel::selectFeedTypeAtIndex(qsizetype index)
{
    const auto titles = feedTypes();
    if (index < 0 || index >= titles.size())
        return;
    if (const auto feedType = feedTypeFromRawValue(titles.at(index)))
        setSelectedFeedType(*feedType);
}

bool LibsynAuthenticationViewModel::canSave() const
{
    return hasLoggedIn_ && !addingAccount_ && userPerceivedLength(email_) > 0 &&
           userPerceivedLength(username_) > 0 && userPerceivedLength(password_) > 0;
}

quint64 LibsynAuthenticationViewModel::logInStarted()
{
    awaitedTicket_ = ++lastTicket_;
    statusText_.reset();
    stateDidChange();
    return lastTicket_;
}

bool LibsynAuthenticationViewModel::logInCompleted(quint64 ticket, const FTPFailure& failure)
{
    if (awaitedTicket_ != ticket)
        return false;
    awaitedTicket_.reset();
    hasLoggedIn_ = !failure.failed();
    statusText_ = logInStatusText(failure);
    stateDidChange();
    return true;
}

QString LibsynAuthenticationViewModel::logInStatusText(const FTPFailure& failure) const
{
    const QString host = failure.host.isEmpty() ? LibsynFTPServerSetting::current().host : failure.host;
    switch (failure.kind) {
    case FTPFailureKind::None:
        return Text::tr("Logged in; show folder found");
    case FTPFailureKind::LogInRefused:
        return logInFailed(Text::tr("Libsyn refused the e-mail address or the FTP password"));
    case FTPFailureKind::FolderMissing:
        return logInFailed(
            Text::tr("the folder %1 does not exist on Libsyn: check the show folder and the feed type")
                .arg(LibsynFTPDestination::folderFor(username_, libsynAccountFeedType(selectedFeedType_))
                         .value_or(username_)));
    case FTPFailureKind::CannotConnect:
        return logInFailed(Text::tr("cannot reach %1: check the internet connection").arg(host));
    case FTPFailureKind::TimedOut:
        return logInFailed(Text::tr("%1 did not answer in time").arg(host));
    case FTPFailureKind::ServerClosedSession:
        return logInFailed(Text::tr("%1 closed the session (%2)").arg(host, failure.serverReply));
    case FTPFailureKind::CertificateRejected:
        return logInFailed(Text::tr("the certificate of %1 is not valid: %2").arg(host, failure.reason));
    case FTPFailureKind::TLSHandshakeFailed:
        return logInFailed(Text::tr("no secure connection to %1: %2").arg(host, failure.reason));
    case FTPFailureKind::TLSNotOffered:
        return logInFailed(Text::tr("%1 does not offer an encrypted connection").arg(host));
    case FTPFailureKind::ConnectionLost:
        return logInFailed(Text::tr("the connection to %1 broke off").arg(host));
    default:
        break;
    }
    return failure.reason.isEmpty() ? Text::tr("Log in failed") : logInFailed(failure.reason);
}

void LibsynAuthenticationViewModel::credentialsDidChange()
{
    // A check still running was made with the old credentials; its verdict no longer applies.
    awaitedTicket_.reset();
    hasLoggedIn_ = false;
    statusText_.reset();
    stateDidChange();
}

void LibsynAuthenticationViewModel::stateDidChange()
{
    if (delegate_)
        delegate_->libsynAuthenticationViewModelStateDidChange(*this);
}

namespace {

// The account's row and its password, in the background: the store may wait for another program's
// lock and the keyring for an unlock prompt. Nothing when both were saved, else what went wrong;
// the row never stays without its password. The same e-mail and show added again renews that
// account, whose name then goes to `renewed`.
std::optional<QString> saveAccount(const QString& username, const QString& email,
                                   LibsynAccountFeedType feedType, const QString& password,
                                   bool allowsUnencryptedFTP, std::optional<qint64> recheckedID,
                                   std::optional<QString>& renewed)
{
    const auto database = Database::open();
    if (!database)
        return Text::tr("Airlark\u2019s database cannot be opened, so the account was not added");
    const QString host = storedText(PodcastHost::Libsyn);
    if (!recheckedID) {
        if (const auto known = AccountManagement::findLibsynAccount(*database, email, username)) {
            recheckedID = known->id;
            renewed = known->displayName;
        }
    }
    if (recheckedID) {
        // The password first: a row that names the new folder must never keep the old password.
        if (const auto refused = Account::savePassword(host, *recheckedID, password, allowsUnencryptedFTP))
            return Text::tr("The password could not be saved in the keyring: %1").arg(refused->message);
        if (const auto error = Account::updateLibsyn(*database, *recheckedID, username, feedType, email))
            return Text::tr("The account could not be saved in Airlark\u2019s database: %1")
                .arg(error->message);
        return std::nullopt;
    }
    const Result<qint64, SQLError> id = Account::insert(*database, username, host, feedType, email);
    if (!id)
        return Text::tr("The account could not be saved in Airlark\u2019s database: %1")
            .arg(id.error().message);
    const std::optional<CredentialStoreError> refused =
        Account::savePassword(host, *id, password, allowsUnencryptedFTP);
    if (!refused)
        return std::nullopt;
    if (const std::optional<SQLError> kept = Account::remove(*database, *id))
        qWarning("The account without its password could not be removed again: %s",
                 qPrintable(kept->message));
    return Text::tr("The password could not be saved in the keyring: %1").arg(refused->message);
}

} // namespace

void LibsynAuthenticationViewModel::addAccount(std::function<void(std::optional<QString>)> completion)
{
    if (!canSave()) {
        if (completion)
            completion(Text::tr("The log-in has not been checked"));
        return;
    }
    addingAccount_ = true;
    statusText_.reset();
    stateDidChange();
    MainQueue::runInBackground([this, alive = std::weak_ptr<int>(alive_), username = username_,
                                email = email_, feedType = libsynAccountFeedType(selectedFeedType_),
                                password = password_, allows = allowsUnencryptedFTP_,
                                recheck = accountToRecheck_, completion = std::move(completion)] {
        std::optional<QString> renewed;
        std::optional<QString> failure =
            saveAccount(username, email, feedType, password, allows, recheck, renewed);
        MainQueue::performOnMainThread([this, alive, failure, completion, recheck, renewed] {
            if (failure)
                standardOutputLine(ErrorCreatingAccountText);
            else if (renewed)
                standardOutputLine(AccountManagement::alreadyAddedText(*renewed));
            else if (recheck)
                standardOutputLine(CheckPassedText);
            else
                Account::postAvailableAccountsDidChange();
            if (!alive.expired()) {
                addingAccount_ = false;
                if (!failure)
                    accountToRecheck_.reset();
                if (failure)
                    statusText_ = failure;
                stateDidChange();
            }
            if (completion)
                completion(failure);
        });
    });
}

} // namespace airlark
