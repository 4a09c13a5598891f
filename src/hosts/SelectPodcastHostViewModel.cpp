#include "hosts/SelectPodcastHostViewModel.h"

#include "hosts/AccountManagement.h"
#include "platform/MainQueue.h"
#include "store/Account.h"
#include "store/DataDirectory.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <algorithm>

namespace airlark {

// One read of the list, as it comes back from its thread.
struct SelectPodcastHostViewModel::Read
{
    std::vector<AccountQueryResult> rows;
    std::optional<QString> failure;
};

SelectPodcastHostViewModel::Read SelectPodcastHostViewModel::readAccounts()
{
    Read read;
    const auto database = Database::open();
    if (!database) {
        read.failure =
            QCoreApplication::translate("SelectPodcastHostViewModel",
                                        "Airlark cannot open its data folder %1 to read the accounts.")
                .arg(dataDirectoryPath());
        return read;
    }
    // A store that has never held an account has no table yet; that is an empty list, not a fault.
    SQLError error;
    if (const std::optional<SQLError> created = database->createTables())
        error = *created;
    else
        read.rows = Account::selectAll(*database, &error);
    if (error.code != 0)
        read.failure = QCoreApplication::translate(
                           "SelectPodcastHostViewModel",
                           "Airlark cannot read its accounts from %1 (%2). The file was left as it is: quit "
                           "any other program that uses it, then choose Try Again.")
                           .arg(database->url().toLocalFile(), error.message);
    return read;
}

SelectPodcastHostViewModel::SelectPodcastHostViewModel()
{
    observation_.observe(this, Account::availableAccountsDidChangeNotificationName,
                         [this, alive = std::weak_ptr<int>(alive_)](const NotificationCenter::Notification&) {
                             // The list lives on the main thread, whichever thread posted.
                             MainQueue::async([this, alive] {
                                 if (!alive.expired())
                                     availableAccountsDidChange();
                             });
                         });
}

SelectPodcastHostViewModel::~SelectPodcastHostViewModel() = default;

void SelectPodcastHostViewModel::reloadAccounts()
{
    Q_ASSERT(MainQueue::isMainThread());
    const quint64 read = ++reads_;
    readingAccounts_ = true;
    if (delegate_)
        delegate_->selectPodcastViewModelAccountsDidChange(*this);
    MainQueue::runInBackground([this, alive = std::weak_ptr<int>(alive_), read] {
        Read result = readAccounts();
        MainQueue::performOnMainThread([this, alive, read, result = std::move(result)]() mutable {
            // A later read, or a view model that is gone, makes this answer stale.
            if (alive.expired() || read != reads_)
                return;
            readDidArrive(std::move(result));
        });
    });
}

void SelectPodcastHostViewModel::readDidArrive(Read read)
{
    const std::optional<qint64> selectedID = selectedAccountID();
    accounts_.clear();
    for (const auto& row : read.rows)
        accounts_.emplace_back(row);
    accountsFailure_ = std::move(read.failure);
    readingAccounts_ = false;

    // The selection stays with its account wherever the account now is, and ends when it is gone.
    selectedItemIndex_.reset();
    if (selectedID) {
        const auto found =
            std::find_if(accounts_.begin(), accounts_.end(),
                         [&](const PodcastHostAccount& row) { return row.id() == *selectedID; });
        if (found != accounts_.end())
            selectedItemIndex_ = found - accounts_.begin();
    }
    if (delegate_)
        delegate_->selectPodcastViewModelAccountsDidChange(*this);
    setState(selectedItemIndex_ ? SelectPodcastHostState::Selected : SelectPodcastHostState::Unselected);
}

QString SelectPodcastHostViewModel::listNote() const
{
    if (accountsFailure_)
        return *accountsFailure_;
    if (!accounts_.empty())
        return {};
    if (readingAccounts_)
        return QCoreApplication::translate("SelectPodcastHostViewModel", "Reading the accounts\u2026");
    return QCoreApplication::translate("SelectPodcastHostViewModel",
                                       "No accounts yet. Add one with \u201cAdd Account\u2026\u201d.");
}

void SelectPodcastHostViewModel::setSelectedItemIndex(std::optional<qsizetype> index)
{
    selectedItemIndex_ = index;
    setState(selectedAccount() ? SelectPodcastHostState::Selected : SelectPodcastHostState::Unselected);
}

void SelectPodcastHostViewModel::setState(SelectPodcastHostState state)
{
    state_ = state;
    if (delegate_)
        delegate_->selectPodcastViewModelAccountSelected(*this);
}

const PodcastHostAccount* SelectPodcastHostViewModel::selectedAccount() const
{
    if (!selectedItemIndex_)
        return nullptr;
    const auto index = *selectedItemIndex_;
    if (index < 0 || index >= static_cast<qsizetype>(accounts_.size()))
        return nullptr;
    return &accounts_[static_cast<std::size_t>(index)];
}

std::optional<PodcastHost> SelectPodcastHostViewModel::selectedHost() const
{
    const auto* account = selectedAccount();
    if (!account)
        return std::nullopt;
    return podcastHostFromStoredText(account->secondary());
}

std::optional<qint64> SelectPodcastHostViewModel::selectedAccountID() const
{
    const auto* account = selectedAccount();
    if (!account)
        return std::nullopt;
    return account->id();
}

QString SelectPodcastHostViewModel::selectedAccountName() const
{
    const PodcastHostAccount* account = selectedAccount();
    return account ? account->primary() : QString();
}

void SelectPodcastHostViewModel::availableAccountsDidChange()
{
    soundCloudUserNames_.clear(); // a new sign-in may have found another name
    reloadAccounts();
}

QString SelectPodcastHostViewModel::accountDetails(qsizetype index)
{
    const auto& rows = accounts();
    if (index < 0 || index >= static_cast<qsizetype>(rows.size()))
        return {};
    const AccountQueryResult& row = rows[static_cast<std::size_t>(index)].row();
    if (podcastHostFromStoredText(row.host) == PodcastHost::Libsyn)
        return AccountManagement::libsynDetails(row);
    const auto known = soundCloudUserNames_.find(row.id);
    if (known != soundCloudUserNames_.end())
        return known->second.value_or(QString());
    soundCloudUserNames_.emplace(row.id, std::nullopt);
    AccountManagement::readSoundCloudUserName(
        row.id, [this, alive = std::weak_ptr<int>(alive_), id = row.id](std::optional<QString> name) {
            if (alive.expired() || !name)
                return;
            soundCloudUserNames_[id] = name;
            if (accountDetailsDidChange)
                accountDetailsDidChange();
        });
    return {};
}

} // namespace airlark
