#pragma once

#include "store/PodcastHost.h"

#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace airlark {

class AddPodcastHostViewModel;

class AddPodcastHostViewModelDelegate
{
public:
    virtual ~AddPodcastHostViewModelDelegate() = default;
    // `identifier` or `accessToken` has been set.
    virtual void addPodcastHostViewModelFieldsDidChange(AddPodcastHostViewModel& viewModel) = 0;
    // `selectedHost` has been set (whether or not it changed).
    virtual void addPodcastHostViewModelDelegateSelectedHostDidSet(AddPodcastHostViewModel& viewModel) = 0;
};

// The add-account window's logic: which host's sign-in pane is shown. The panes themselves are
// shared screens handed in by whoever composes the application, so this logic never builds one.
class AddPodcastHostViewModel
{
public:
    using PaneProvider = std::function<QWidget*()>;

    AddPodcastHostViewModel(PaneProvider libsynPane, PaneProvider soundCloudPane);

    AddPodcastHostViewModelDelegate* delegate() const { return delegate_; }
    void setDelegate(AddPodcastHostViewModelDelegate* delegate) { delegate_ = delegate; }

    PodcastHost selectedHost() const { return selectedHost_; }
    void setSelectedHost(PodcastHost host);

    // SoundCloud at index 0, Libsyn at index 1.
    const std::vector<PodcastHost>& availableHosts() const { return availableHosts_; }

    QString identifier() const { return identifier_; }
    void setIdentifier(const QString& identifier);
    QString accessToken() const { return accessToken_; }
    void setAccessToken(const QString& accessToken);

    // True when `identifier` holds at least one user-perceived character.
    bool canSubmit() const;

    // The shared sign-in pane of the selected host.
    QWidget* getAuthenticationViewControllerForSelectedHost() const;

private:
    AddPodcastHostViewModelDelegate* delegate_ = nullptr;
    PodcastHost selectedHost_ = PodcastHost::SoundCloud;
    std::vector<PodcastHost> availableHosts_{PodcastHost::SoundCloud, PodcastHost::Libsyn};
    QString identifier_;
    QString accessToken_;
    PaneProvider libsynPane_;
    PaneProvider soundCloudPane_;
};

// The number of user-perceived characters (grapheme clusters) in `text`.
qsizetype userPerceivedLength(const QString& text);

} // namespace airlark
