#pragma once

#include "hosts/SoundCloudAuthenticationViewModel.h"
#include "hosts/ui/HostAuthenticationViewController.h"
#include "platform/RedirectURLHandler.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <memory>

namespace airlark {

class SoundCloudAPIClient;

// The SoundCloud pane of the add-account window: Connect reserves an account row and signs in to
// SoundCloud in the browser; once SoundCloud has said who the user is, Add completes the account.
class SoundCloudAuthenticationViewController : public HostAuthenticationViewController,
                                               public SoundCloudAuthenticationViewModelDelegate
{
    Q_OBJECT
public:
    // Hands the client whose sign-in starts to whoever routes the redirect back to it (the
    // application delegate's pendingAuthenticationSoundCloudAPIClient).
    using PendingClientSetter = std::function<void(std::shared_ptr<RedirectURLHandler>)>;

    explicit SoundCloudAuthenticationViewController(PendingClientSetter setPendingClient = {},
                                                    QWidget* parent = nullptr);
    ~SoundCloudAuthenticationViewController() override;

    SoundCloudAuthenticationViewModel& viewModel() { return viewModel_; }
    QLabel* errorMessageLabel() const { return errorMessageLabel_; }
    // The signed-in SoundCloud user's name, once known.
    QLabel* userNameLabel() const { return userNameLabel_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QPushButton* connectButton() const { return connectButton_; }
    // The client of the latest Connect (also kept here, so that a loopback sign-in completes
    // even when no one else holds it).
    const std::shared_ptr<SoundCloudAPIClient>& pendingClient() const { return client_; }
    bool isSpinning() const;
    const PendingClientSetter& pendingClientSetter() const { return setPendingClient_; }

    void soundCloudAuthenticationViewModelViewStateDidChange(
        SoundCloudAuthenticationViewModel& viewModel) override;

public slots:
    void connectButtonSelected();
    void addButtonSelected() override;
    void authorizationDidSucceed();
    void authorizationDidFail();

protected:
    void viewDidAppear() override;
    void hideEvent(QHideEvent* event) override;

private:
    void viewWillDisappear();

    SoundCloudAuthenticationViewModel viewModel_;
    PendingClientSetter setPendingClient_;
    std::shared_ptr<SoundCloudAPIClient> client_;
    QPointer<QLabel> errorMessageLabel_;
    QPointer<QLabel> userNameLabel_;
    QPointer<QProgressBar> progressIndicator_;
    QPointer<QPushButton> connectButton_;
};

} // namespace airlark
