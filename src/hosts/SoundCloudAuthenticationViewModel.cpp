#include "hosts/SoundCloudAuthenticationViewModel.h"

#include "hosts/AccountManagement.h"
#include "hosts/SoundCloudAPIClient.h"
#include "platform/MainQueue.h"
#include "store/Account.h"
#include "store/Database.h"
#include "store/PodcastHost.h"

#include <QCoreApplication>

namespace airlark {

const QString SoundCloudAuthenticationViewModel::ConnectingMessage =
    QString::fromUtf8(QT_TRANSLATE_NOOP("SoundCloudAuthenticationViewModel", "Connecting to SoundCloud…"));
const QString SoundCloudAuthenticationViewModel::AuthenticationFailedMessage = QString::fromUtf8(
    QT_TRANSLATE_NOOP("SoundCloudAuthenticationViewModel", "Unable to authenticate with SoundCloud"));
const QString SoundCloudAuthenticationViewModel::RetrievingMessage =
    QString::fromUtf8(QT_TRANSLATE_NOOP("SoundCloudAuthenticationViewModel", "Retrieving user details…"));
const QString SoundCloudAuthenticationViewModel::ConnectedMessage =
    QString::fromUtf8(QT_TRANSLATE_NOOP("SoundCloudAuthenticationViewModel", "Connected"));
const QString SoundCloudAuthenticationViewModel::RetrievalFailedMessage = QString::fromUtf8(
    QT_TRANSLATE_NOOP("SoundCloudAuthenticationViewModel", "Unable to retrieve this account"));

const QString SoundCloudAuthenticationViewModel::CredentialsMissingMessage =
    QString::fromUtf8(QT_TRANSLATE_NOOP(
        "SoundCloudAuthenticationViewModel",
        "Airlark has no SoundCloud app registration yet. Register an app with SoundCloud, then put its "
        "\"client_id\", \"client_secret\" and \"redirect_uri\" into %1"));

namespace {

// The messages above, in the user's language: looked up when shown, since the translation is
// installed after they are defined.
QString shown(const QString& message)
{
    return QCoreApplication::translate("SoundCloudAuthenticationViewModel", message.toUtf8().constData());
}

} // namespace

namespace {

// A new row for the account, or why there is none. On a background thread.
Result<qint64, QString> reserveAccountRow()
{
    const std::optional<Database> database = Database::open();
    if (!database)
        return QCoreApplication::translate("SoundCloudAuthenticationViewModel",
                                           "Unable to open Airlark’s account store");
    const QString refused = QCoreApplication::translate(
        "SoundCloudAuthenticationViewModel", "Unable to reserve an account in Airlark’s account store");
    if (database->createTables())
        return refused;
    const Result<qint64, SQLError> row = Account::insertPlaceholder(*database);
    if (!row)
        return refused;
    return *row;
}

} // namespace

SoundCloudAuthenticationViewModel::SoundCloudAuthenticationViewModel() = default;

SoundCloudAuthenticationViewModel::~SoundCloudAuthenticationViewModel() = default;

bool SoundCloudAuthenticationViewModel::canAdvance() const
{
    return authenticated_ && !username_.isEmpty();
}

QString SoundCloudAuthenticationViewModel::signedInText() const
{
    return canAdvance() ? QCoreApplication::translate("SoundCloudAuthenticationViewModel", "Signed in as %1")
                              .arg(username_)
                        : QString();
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
        setMessage(shown(AuthenticationFailedMessage));
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

bool SoundCloudAuthenticationViewModel::authenticationProgressBegan(std::function<void()> reserved)
{
    // Without Airlark's app registration SoundCloud only shows an error page, and the pane would
    // wait for a redirect that never comes: say what is missing instead.
    if (!SoundCloudAPIClientCredentials(QString()).isConfigured()) {
        setMessage(shown(CredentialsMissingMessage).arg(SoundCloudAPIClientCredentials::userFilePath()));
        return false;
    }
    // The new row has no tokens yet: an earlier connection's user name must not let Add save it
    // as that user before this sign-in has finished.
    accountID_.reset();
    authenticated_ = false;
    alreadyAdded_ = false;
    setUsername(QString());
    setMessage(shown(ConnectingMessage));
    setNetworkRequestInProgress(true);
    const quint64 reservation = ++reservations_;
    const auto rowDidArrive = [this, reservation, reserved](const Result<qint64, QString>& row) {
        if (reservation != reservations_)
            return;
        if (!row) {
            setMessage(row.error());
            setNetworkRequestInProgress(false);
            return;
        }
        accountID_ = *row;
        if (reserved)
            reserved();
    };
    if (accountToRenew_) {
        rowDidArrive(*accountToRenew_);
        return true;
    }
    MainQueue::runInBackground([alive = std::weak_ptr<int>(alive_), rowDidArrive] {
        Result<qint64, QString> row = reserveAccountRow();
        MainQueue::performOnMainThread([alive, rowDidArrive, row = std::move(row)] {
            if (!alive.expired())
                rowDidArrive(row);
        });
    });
    return true;
}

QString SoundCloudAuthenticationViewModel::userIdentifier() const
{
    return accountID_ ? QString::number(*accountID_) : QString();
}

void SoundCloudAuthenticationViewModel::getUserDetails()
{
    setMessage(shown(RetrievingMessage));
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
        setMessage(shown(RetrievalFailedMessage));
        return;
    }
    setUsername(*username);
    setMessage(shown(ConnectedMessage));
}

void SoundCloudAuthenticationViewModel::save(std::function<void(std::optional<QString>)> completion)
{
    if (!accountID_ || username_.isEmpty()) {
        completion(QStringLiteral("No SoundCloud account has been connected"));
        return;
    }
    // A renewed account keeps the name the user gave it; the user name goes beside its tokens.
    const bool renewed = accountToRenew_ == accountID_;
    MainQueue::runInBackground([this, alive = std::weak_ptr<int>(alive_), id = *accountID_, renewed,
                                username = username_, completion = std::move(completion)] {
        std::optional<QString> failure;
        std::optional<AccountQueryResult> known; // the account this SoundCloud user already has
        if (renewed) {
            Account::postAvailableAccountsDidChange();
        } else if (const std::optional<Database> database = Database::open()) {
            known = AccountManagement::renewKnownSoundCloudUser(*database, id, username);
            if (known)
                Account::postAvailableAccountsDidChange();
            else if (const std::optional<SQLError> error =
                         Account(*database, id, username, storedText(PodcastHost::SoundCloud)).update())
                failure = error->message;
        } else {
            failure = QStringLiteral("Unable to open Airlark’s account store");
        }
        MainQueue::performOnMainThread([this, alive, failure, known, completion, id, username] {
            if (!failure && !known)
                AccountManagement::saveSoundCloudUserName(id, username);
            if (!failure && !alive.expired()) {
                accountToRenew_.reset();
                if (known) {
                    // Saved: nothing is left to add, and the pane says where the sign-in went.
                    accountID_ = known->id;
                    authenticated_ = false;
                    alreadyAdded_ = true;
                    setMessage(AccountManagement::alreadyAddedText(known->displayName));
                }
            }
            completion(failure);
        });
    });
}

} // namespace airlark
