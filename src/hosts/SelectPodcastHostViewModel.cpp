#include "hosts/SelectPodcastHostViewModel.h"

#include "hosts/AccountManagement.h"
#include "store/Account.h"
#include "store/Database.h"

#include <QCoreApplication>

namespace airlark {

SelectPodcastHostViewModel::SelectPodcastHostViewModel()
{
    observation_.observe(this, Account::availableAccountsDidChangeNotificationName,
                         [this](const NotificationCenter::Notification&) { availableAccountsDidChange(); });
}

SelectPodcastHostViewModel::~SelectPodcastHostViewModel() = default;

const std::vector<PodcastHostAccount>& SelectPodcastHostViewModel::accounts()
{
    if (cachedAccounts_)
        return *cachedAccounts_;

    const auto database = Database::open();
    if (!database) {
        // Not cached, so that the next read tries the store again.
        static const std::vector<PodcastHostAccount> none;
        return none;
    }
    std::vector<PodcastHostAccount> accounts;
    for (const auto& account : Account::selectAll(*database))
        accounts.emplace_back(account);
    cachedAccounts_ = std::move(accounts);
    return *cachedAccounts_;
}

void SelectPodcastHostViewModel::setSelectedItemIndex(std::optional<qsizetype> index)
{
    selectedItemIndex_ = index;
    setState(index ? SelectPodcastHostState::Selected : SelectPodcastHostState::Unselected);
}

void SelectPodcastHostViewModel::setState(SelectPodcastHostState state)
{
    state_ = state;
    if (delegate_)
        delegate_->selectPodcastViewModelAccountSelected(*this);
}

const PodcastHostAccount* SelectPodcastHostViewModel::selectedAccount()
{
    if (!selectedItemIndex_)
        return nullptr;
    const auto& rows = accounts();
    const auto index = *selectedItemIndex_;
    // A selection that no longer names a row (the list shrank) selects nothing.
    if (index < 0 || index >= static_cast<qsizetype>(rows.size()))
        return nullptr;
    return &rows[static_cast<std::size_t>(index)];
}

std::optional<PodcastHost> SelectPodcastHostViewModel::selectedHost()
{
    const auto* account = selectedAccount();
    if (!account)
        return std::nullopt;
    return podcastHostFromStoredText(account->secondary());
}

std::optional<qint64> SelectPodcastHostViewModel::selectedAccountID()
{
    const auto* account = selectedAccount();
    if (!account)
        return std::nullopt;
    return account->id();
}

QString SelectPodcastHostViewModel::selectedAccountName()
{
    const PodcastHostAccount* account = selectedAccount();
    return account ? account->primary() : QString();
}

void SelectPodcastHostViewModel::availableAccountsDidChange()
{
    cachedAccounts_.reset();
    soundCloudUserNames_.clear(); // a new sign-in may have found another name
    if (delegate_)
        delegate_->selectPodcastViewModelAccountsDidChange(*this);
}

} // namespace airlark

namespace airlark {

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

QString SelectPodcastHostViewModel::emptyListText()
{
    return QCoreApplication::translate("SelectPodcastHostViewModel",
                                       "No accounts yet. Add one with \u201cAdd Account\u2026\u201d.");
}

} // namespace airlark
