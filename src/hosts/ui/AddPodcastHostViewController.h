#pragma once

#include "hosts/AddPodcastHostViewModel.h"
#include "hosts/ui/HostAuthenticationViewController.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QPushButton;

namespace airlark {

// The add-account window: a host chooser, the chosen host's sign-in pane and the Add and Cancel
// buttons. The panes are shared screens, handed in by providers; the window borrows the one it
// shows and gives it back (unparented) when it switches hosts or goes away.
class AddPodcastHostViewController : public QWidget,
                                     public AddPodcastHostViewModelDelegate,
                                     public HostAuthenticationViewControllerDelegate
{
    Q_OBJECT
public:
    using PaneProvider = AddPodcastHostViewModel::PaneProvider;

    AddPodcastHostViewController(PaneProvider libsynPane, PaneProvider soundCloudPane,
                                 QWidget* parent = nullptr);
    ~AddPodcastHostViewController() override;

    // Shows the add-account window: raises the one already open, or opens a new one that deletes
    // itself when closed. At most one is open, since its panes are shared.
    static AddPodcastHostViewController* present(PaneProvider libsynPane, PaneProvider soundCloudPane,
                                                 QWidget* owner = nullptr);
    // The window present() opened last, or null once it is gone.
    static AddPodcastHostViewController* presented();

    AddPodcastHostViewModel& viewModel() { return *viewModel_; }
    QWidget* containerView() const { return containerView_; }
    QComboBox* popUpButton() const { return popUpButton_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QWidget* currentChildViewController() const { return currentChildViewController_; }

    // Shows `host`'s pane and says so in the host chooser.
    void showHost(PodcastHost host);

    // Makes Add call `action` while `target` lives, replacing whatever it did before (a press
    // reaches only the pane that took the button last).
    void setAddButtonTarget(QObject* target, std::function<void()> action);
    QObject* addButtonTarget() const { return addButtonTarget_; }

    void addPodcastHostViewModelFieldsDidChange(AddPodcastHostViewModel& viewModel) override;
    void addPodcastHostViewModelDelegateSelectedHostDidSet(AddPodcastHostViewModel& viewModel) override;
    void hostAuthenticationViewControllerDidAuthenticate(bool authenticated) override;

public slots:
    void popUpButtonOptionSelected();
    // `sender` is a host button whose "tag" property indexes availableHosts (0 SoundCloud, 1 Libsyn).
    void didSelectPodcastHost(QObject* sender);
    void cancelButtonPressed();
    void addButtonPressed();

private:
    void showPaneForSelectedHost();
    void releaseCurrentPane();
    void orderTabsAroundPane(QWidget& pane);

    std::unique_ptr<AddPodcastHostViewModel> viewModel_;
    QWidget* containerView_ = nullptr;
    QComboBox* popUpButton_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QWidget* currentChildViewController_ = nullptr;
    QPointer<QObject> addButtonTarget_;
    std::function<void()> addButtonAction_;
};

} // namespace airlark
