#pragma once

#include "hosts/PodcastHostAccount.h"
#include "platform/NotificationCenter.h"
#include "store/PodcastHost.h"

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
    // The list of accounts has changed and must be redisplayed.
    virtual void selectPodcastViewModelAccountsDidChange(SelectPodcastHostViewModel& viewModel) = 0;
    // `state` has been set (whether or not it changed).
    virtual void selectPodcastViewModelAccountSelected(SelectPodcastHostViewModel& viewModel) = 0;
};

// The host selection step's logic: the saved accounts, read from the store at most once between
// two "availableAccountsDidChange" notifications, and the selected row. Main thread only.
class SelectPodcastHostViewModel
{
public:
    SelectPodcastHostViewModel();
    ~SelectPodcastHostViewModel();
    SelectPodcastHostViewModel(const SelectPodcastHostViewModel&) = delete;
    SelectPodcastHostViewModel& operator=(const SelectPodcastHostViewModel&) = delete;

    SelectPodcastHostViewModelDelegate* delegate() const { return delegate_; }
    void setDelegate(SelectPodcastHostViewModelDelegate* delegate) { delegate_ = delegate; }

    // The rows, in order of creation. A store that cannot be opened gives an empty list, and the
    // next read tries again.
    const std::vector<PodcastHostAccount>& accounts();

    std::optional<qsizetype> selectedItemIndex() const { return selectedItemIndex_; }
    void setSelectedItemIndex(std::optional<qsizetype> index);

    SelectPodcastHostState state() const { return state_; }
    void setState(SelectPodcastHostState state);

    bool canAdvance() const { return state_ == SelectPodcastHostState::Selected; }

    // The host of the selected row; none without a selection or when the row's host text names
    // no known host.
    std::optional<PodcastHost> selectedHost();
    // The account identifier of the selected row; none without a selection.
    std::optional<qint64> selectedAccountID();
    // The display name of the selected row; empty without a selection.
    QString selectedAccountName();

    // Drops the cached list and tells the delegate. Called on "availableAccountsDidChange".
    void availableAccountsDidChange();

    // What tells the account at `index` apart, shown under its name (AccountManagement). A
    // SoundCloud user name is read from the keyring, without blocking, the first time it is asked
    // for; `accountDetailsDidChange` runs when it has arrived.
    QString accountDetails(qsizetype index);
    std::function<void()> accountDetailsDidChange;
    // What the empty list says.
    static QString emptyListText();

private:
    const PodcastHostAccount* selectedAccount();

    SelectPodcastHostViewModelDelegate* delegate_ = nullptr;
    std::optional<std::vector<PodcastHostAccount>> cachedAccounts_;
    std::optional<qsizetype> selectedItemIndex_;
    SelectPodcastHostState state_ = SelectPodcastHostState::Unselected;
    ScopedObservation observation_;
    std::map<qint64, std::optional<QString>> soundCloudUserNames_; // none: being read
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace airlark
