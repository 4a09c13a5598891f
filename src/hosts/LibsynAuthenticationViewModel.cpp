#include "hosts/LibsynAuthenticationViewModel.h"

#include "hosts/AddPodcastHostViewModel.h"
#include "hosts/LibsynFTPServer.h"
#include "platform/StandardOutput.h"
#include "store/Account.h"
#include "store/Database.h"
#include "store/PodcastHost.h"

namespace airlark {

const QString LibsynAuthenticationViewModel::LogInFailedText = QStringLiteral("Log in failed");
const QString LibsynAuthenticationViewModel::LoggedInText = QStringLiteral("Logged in; show folder found");
const QString LibsynAuthenticationViewModel::ErrorCreatingAccountText = QStringLiteral("Error creating account");
const QString LibsynAuthenticationViewModel::UnencryptedChoiceText =
    QStringLiteral("Send my password without encryption (not recommended)");

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
    return hasLoggedIn_ && userPerceivedLength(email_) > 0 && userPerceivedLength(username_) > 0
           && userPerceivedLength(password_) > 0;
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
    const QString failed = LogInFailedText + QStringLiteral(": ");
    switch (failure.kind) {
    case FTPFailureKind::None:
        return LoggedInText;
    case FTPFailureKind::LogInRefused:
        return failed + QStringLiteral("Libsyn refused the e-mail address or the FTP password");
    case FTPFailureKind::FolderMissing:
        return failed +
               QStringLiteral(
                   "the folder %1 does not exist on Libsyn: check the show folder and the feed type")
                   .arg(LibsynFTPDestination::folderFor(username_, libsynAccountFeedType(selectedFeedType_))
                            .value_or(username_));
    case FTPFailureKind::CannotConnect:
        return failed + QStringLiteral("cannot reach %1: check the internet connection").arg(host);
    case FTPFailureKind::TimedOut:
        return failed + QStringLiteral("%1 did not answer in time").arg(host);
    case FTPFailureKind::ServerClosedSession:
        return failed + QStringLiteral("%1 closed the session (%2)").arg(host, failure.serverReply);
    case FTPFailureKind::CertificateRejected:
        return failed + QStringLiteral("the certificate of %1 is not valid: %2").arg(host, failure.reason);
    case FTPFailureKind::TLSHandshakeFailed:
        return failed + QStringLiteral("no secure connection to %1: %2").arg(host, failure.reason);
    case FTPFailureKind::TLSNotOffered:
        return failed + QStringLiteral("%1 does not offer an encrypted connection").arg(host);
    case FTPFailureKind::ConnectionLost:
        return failed + QStringLiteral("the connection to %1 broke off").arg(host);
    default:
        break;
    }
    return failure.reason.isEmpty() ? LogInFailedText : failed + failure.reason;
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

void LibsynAuthenticationViewModel::addAccount(std::function<void(bool saved)> completion)
{
    const auto fail = [&completion] {
        standardOutputLine(ErrorCreatingAccountText);
        if (completion)
            completion(false);
    };
    if (!canSave()) {
        if (completion)
            completion(false);
        return;
    }
    const auto database = Database::open();
    if (!database)
        return fail();

    const QString host = storedText(PodcastHost::Libsyn);
    const auto feedType = libsynAccountFeedType(selectedFeedType_);
    // A row saved by an earlier press whose password could not be stored is reused, so that
    // pressing Add again does not leave a second account without a password behind.
    const bool reuseRow = unsavedPasswordAccount_ && unsavedPasswordAccount_->username == username_
                          && unsavedPasswordAccount_->email == email_ && unsavedPasswordAccount_->feedType == feedType;
    qint64 accountID = 0;
    if (reuseRow) {
        accountID = unsavedPasswordAccount_->id;
    } else {
        const auto account = Account::createAccount(*database, username_, host, feedType, email_);
        if (!account)
            return fail();
        accountID = account->id;
    }
    if (Account::savePassword(host, accountID, password_, allowsUnencryptedFTP_)) {
        unsavedPasswordAccount_ = UnsavedPasswordAccount{accountID, username_, email_, feedType};
        return fail();
    }
    unsavedPasswordAccount_.reset();
    if (completion)
        completion(true);
}

} // namespace airlark
