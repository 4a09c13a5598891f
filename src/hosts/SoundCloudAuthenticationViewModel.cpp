#include "hosts/SoundCloudAuthenticationViewModel.h"

#include "hosts/AccountManagement.h"
#include "hosts/SoundCloudAPIClient.h"
#include "platform/MainQueue.h"
#include "store/Account.h"
#include "store/Database.h"
#include "store/PodcastHost.h"

namespace airlark {

const QString SoundCloudAuthenticationViewModel::ConnectingMessage =
    QStringLiteral("Connecting to SoundCloud…");
const QString SoundCloudAuthenticationViewModel::AuthenticationFailedMessage =
    QStringLiteral("Unable to authenticate with SoundCloud");
const QString SoundCloudAuthenticationViewModel::RetrievingMessage =
    QStringLiteral("Retrieving user details…");
const QString SoundCloudAuthenticationViewModel::ConnectedMessage = QStringLiteral("Connected");
const QString SoundCloudAuthenticationViewModel::RetrievalFailedMessage =
    QStringLiteral("Unable to retrieve this account");

const QString SoundCloudAuthenticationViewModel::CredentialsMissingMessage = QStringLiteral(
    "Airlark has no SoundCloud app registration yet. Register an app with SoundCloud, then put its "
    "\"client_id\", \"client_secret\" and \"redirect_uri\" into %1");

struct SoundCloudAuthenticationViewModel::Store
{
    std::optional<Database> database;
};

SoundCloudAuthenticationViewModel::SoundCloudAuthenticationViewModel() : store_(std::make_unique<Store>())
{
    store_->database = Database::open();
    if (store_->database)
        store_->database->createTables();
}

SoundCloudAuthenticationViewModel::~SoundCloudAuthenticationViewModel() = default;

bool SoundCloudAuthenticationViewModel::canAdvance() const
{
    return authenticated_ && !username_.isEmpty();
}

void SoundCloudAuthenticationViewModel::report()
{
    // Reports are deferred, so the delegate is read when each one runs.
    MainQueue::async([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.expired())
            return;
        if (delegate)
            delegate->soundCloudAuthenticationViewModelViewStateDidChange(*this);
    });
}

void SoundCloudAuthenticationViewModel::setAuthenticated(bool authenticated)
{
    if (!authenticated) {
        setMessage(AuthenticationFailedMessage);
        setNetworkRequestInProgress(false);
    }
    authenticated_ = authenticated;
    report();
}

void SoundCloudAuthenticationViewModel::setUsername(const QString& username)
{
    username_ = username;
    report();
}

void SoundCloudAuthenticationViewModel::setMessage(const std::optional<QString>& message)
{
    message_ = message;
    report();
}

void SoundCloudAuthenticationViewModel::setNetworkRequestInProgress(bool inProgress)
{
    networkRequestInProgress_ = inProgress;
    report();
}

bool SoundCloudAuthenticationViewModel::authenticationProgressBegan()
{
    // Without Airlark's app registration SoundCloud only shows an error page, and the pane would
    // wait for a redirect that never comes: say what is missing instead.
    if (!SoundCloudAPIClientCredentials(QString()).isConfigured()) {
        setMessage(CredentialsMissingMessage.arg(SoundCloudAPIClientCredentials::userFilePath()));
        return false;
    }
    if (!store_->database) {
        setMessage(QStringLiteral("Unable to open Airlark’s account store"));
        return false;
    }
    const Result<qint64, SQLError> row = accountToRenew_ ? Result<qint64, SQLError>(*accountToRenew_)
                                                         : Account::insertPlaceholder(*store_->database);
    if (!row) {
        setMessage(QStringLiteral("Unable to reserve an account in Airlark’s account store"));
        return false;
    }
    accountID_ = row.value();
    // The new row has no tokens yet: an earlier connection's user name must not let Add save it
    // as that user before this sign-in has finished.
    authenticated_ = false;
    setUsername(QString());
    setMessage(ConnectingMessage);
    setNetworkRequestInProgress(true);
    return true;
}

QString SoundCloudAuthenticationViewModel::userIdentifier() const
{
    return accountID_ ? QString::number(*accountID_) : QString();
}

void SoundCloudAuthenticationViewModel::getUserDetails()
{
    setMessage(RetrievingMessage);
    setNetworkRequestInProgress(true);

    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(userIdentifier())};
    client.me([this, alive = std::weak_ptr<int>(alive_)](const std::optional<QString>& username) {
        if (!alive.expired())
            userDetailsDidArrive(username);
    });
}

void SoundCloudAuthenticationViewModel::userDetailsDidArrive(const std::optional<QString>& username)
{
    setNetworkRequestInProgress(false);
    if (!username) {
        setMessage(RetrievalFailedMessage);
        return;
    }
    setUsername(*username);
    setMessage(ConnectedMessage);
}

std::optional<QString> SoundCloudAuthenticationViewModel::save()
{
    if (!store_->database)
        return QStringLiteral("The account store is not open");
    if (!accountID_)
        return QStringLiteral("No SoundCloud account has been connected");
    // A renewed account keeps the name the user gave it; the user name goes beside its tokens.
    if (accountToRenew_ == accountID_) {
        Account::postAvailableAccountsDidChange();
    } else {
        const Account account(*store_->database, *accountID_, username_, storedText(PodcastHost::SoundCloud));
        if (const std::optional<SQLError> error = account.update())
            return error->message;
    }
    AccountManagement::saveSoundCloudUserName(*accountID_, username_);
    accountToRenew_.reset();
    return std::nullopt;
}

} // namespace airlark
