#pragma once

#include "hosts/PodcastHostAccount.h"
#include "platform/NotificationCenter.h"
#include "store/PodcastHost.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace airlark {

enum class SelectPodcastHostState
{
    Unselected, // no row selected; the workflow may not advance
    Selected,   // a row is selected; it may advance
};

class SelectPodcastHostViewModel;

class SelectPodcastHostViewModelDelegate
{
public:
    virtual ~SelectPodcastHostViewModelDelegate() = default;
    // The list of accounts, or its note (reading, failure), has changed and must be redisplayed.
    virtual void selectPodcastViewModelAccountsDidChange(SelectPodcastHostViewModel& viewModel) = 0;
    // `state` has been set (whether or not it changed).
    virtual void selectPodcastViewModelAccountSelected(SelectPodcastHostViewModel& viewModel) = 0;
};

// The host selection step's logic: the saved accounts and the selected row. Main thread only.
//
// The list is read on a thread of its own, through a connection of its own, so that a database
// another program holds (up to the store's busy time-out) never freezes the window; it is read
// again on "availableAccountsDidChange". The selection follows its account across reads.
class SelectPodcastHostViewModel
{
public:
    SelectPodcastHostViewModel();
    ~SelectPodcastHostViewModel();
    SelectPodcastHostViewModel(const SelectPodcastHostViewModel&) = delete;
    SelectPodcastHostViewModel& operator=(const SelectPodcastHostViewModel&) = delete;

    SelectPodcastHostViewModelDelegate* delegate() const { return delegate_; }
    void setDelegate(SelectPodcastHostViewModelDelegate* delegate) { delegate_ = delegate; }

    // The rows as last read, in order of creation: empty before the first read has arrived and
    // after a read that failed.
    const std::vector<PodcastHostAccount>& accounts() const { return accounts_; }

    // Reads the list again in the background; the delegate hears
    // selectPodcastViewModelAccountsDidChange as the read starts and once it has arrived. A read
    // still running is overtaken: only the latest one's answer counts.
    void reloadAccounts();
    bool isReadingAccounts() const { return readingAccounts_; }
    // Why the last read failed, in words; none when it succeeded. The file is left as it is.
    const std::optional<QString>& accountsFailure() const { return accountsFailure_; }
    // What to show in place of an empty list (reading, why it failed, how to add the first
    // account); empty while there are rows to show.
    QString listNote() const;

    std::optional<qsizetype> selectedItemIndex() const { return selectedItemIndex_; }
    void setSelectedItemIndex(std::optional<qsizetype> index);

    SelectPodcastHostState state() const { return state_; }
    void setState(SelectPodcastHostState state);

    bool canAdvance() const { return state_ == SelectPodcastHostState::Selected; }

    // The host of the selected row; none without a selection or when the row's host text names
    // no known host.
    std::optional<PodcastHost> selectedHost() const;
    // The account identifier of the selected row; none without a selection.
    std::optional<qint64> selectedAccountID() const;
    // The display name of the selected row; empty without a selection.
    QString selectedAccountName() const;

    // Reads the list again. Called on "availableAccountsDidChange".
    void availableAccountsDidChange();

    // What tells the account at `index` apart, shown under its name (AccountManagement). A
    // SoundCloud user name is read from the keyring, without blocking, the first time it is asked
    // for; `accountDetailsDidChange` runs when it has arrived.
    QString accountDetails(qsizetype index);
    std::function<void()> accountDetailsDidChange;

private:
    struct Read;
    static Read readAccounts();
    const PodcastHostAccount* selectedAccount() const;
    void readDidArrive(Read read);

    SelectPodcastHostViewModelDelegate* delegate_ = nullptr;
    std::vector<PodcastHostAccount> accounts_;
    std::optional<QString> accountsFailure_;
    bool readingAccounts_ = false;
    quint64 reads_ = 0;
    std::optional<qsizetype> selectedItemIndex_;
    SelectPodcastHostState state_ = SelectPodcastHostState::Unselected;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    ScopedObservation observation_;
    std::map<qint64, std::optional<QString>> soundCloudUserNames_; // none: being read
};

} // namespace airlark
