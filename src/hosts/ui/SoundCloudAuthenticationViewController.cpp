#include "hosts/ui/SoundCloudAuthenticationViewController.h"

#include "hosts/SoundCloudAPIClient.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/StandardOutput.h"
#include "platform/ui/WindowLayout.h"

#include <QHideEvent>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace airlark {

SoundCloudAuthenticationViewController::SoundCloudAuthenticationViewController(
    PendingClientSetter setPendingClient, QWidget* parent)
    : HostAuthenticationViewController(parent), setPendingClient_(std::move(setPendingClient))
{
    setObjectName(QStringLiteral("SoundCloudAuthenticationViewController"));

    QLabel* explanation = wrappingLabel(
        tr("Connect opens SoundCloud in your web browser. Sign in there and allow Airlark to upload "
           "tracks; Airlark then shows your SoundCloud name here, and Add saves the account."),
        this);

    connectButton_ =
        new QPushButton(QIcon(QStringLiteral(":/images/SoundCloud-Icon.svg")), tr("Connect"), this);
    connectButton_->setObjectName(QStringLiteral("connectButton"));
    connectButton_->setAccessibleName(tr("Connect"));
    connectButton_->setAccessibleDescription(tr("Sign in to SoundCloud in your web browser"));
    connectButton_->setAutoDefault(false);
    connect(connectButton_, &QPushButton::clicked, this,
            &SoundCloudAuthenticationViewController::connectButtonSelected);

    // An indeterminate bar stands for the spinner; it is shown only while it spins.
    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator_->setRange(0, 0);
    progressIndicator_->setTextVisible(false);
    progressIndicator_->setAccessibleName(tr("Working"));
    progressIndicator_->setMaximumHeight(8);
    progressIndicator_->setVisible(false);

    errorMessageLabel_ = wrappingLabel(QString(), this);
    errorMessageLabel_->setObjectName(QStringLiteral("errorMessageLabel"));
    errorMessageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Read out by its text, which a screen reader hears again whenever it changes.
    errorMessageLabel_->setAccessibleDescription(tr("SoundCloud connection status"));

    userNameLabel_ = new QLabel(this);
    userNameLabel_->setTextFormat(Qt::PlainText);
    userNameLabel_->setObjectName(QStringLiteral("userNameLabel"));
    userNameLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    userNameLabel_->setAccessibleDescription(tr("SoundCloud user"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(connectButton_, 0, Qt::AlignLeft);
    layout->addWidget(progressIndicator_);
    layout->addWidget(errorMessageLabel_);
    layout->addWidget(userNameLabel_);
    layout->addStretch(1);
}

SoundCloudAuthenticationViewController::~SoundCloudAuthenticationViewController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    viewModel_.delegate = nullptr;
}

bool SoundCloudAuthenticationViewController::isSpinning() const
{
    return progressIndicator_ && !progressIndicator_->isHidden();
}

void SoundCloudAuthenticationViewController::viewDidAppear()
{
    errorMessageLabel_->clear();
    userNameLabel_->clear();
    viewModel_.delegate = this;
    takeOverAddButton(false);

    auto& center = NotificationCenter::defaultCenter();
    center.removeObserver(this); // shown again without being hidden: observe once
    // The OAuth2 flow reports on the main thread; a report from elsewhere is moved there.
    auto onMain = [this](void (SoundCloudAuthenticationViewController::*handler)()) {
        return [this, handler](const NotificationCenter::Notification&) {
            if (MainQueue::isMainThread()) {
                (this->*handler)();
                return;
            }
            QPointer<SoundCloudAuthenticationViewController> self(this);
            MainQueue::async([self, handler] {
                if (self)
                    (self->*handler)();
            });
        };
    };
    center.addObserver(this, SoundCloudAPIClient::OAuth2AuthorizationFailed,
                       onMain(&SoundCloudAuthenticationViewController::authorizationDidFail));
    center.addObserver(this, SoundCloudAPIClient::OAuth2Authorized,
                       onMain(&SoundCloudAuthenticationViewController::authorizationDidSucceed));
}

void SoundCloudAuthenticationViewController::hideEvent(QHideEvent* event)
{
    HostAuthenticationViewController::hideEvent(event);
    if (!event->spontaneous())
        viewWillDisappear();
}

void SoundCloudAuthenticationViewController::viewWillDisappear()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void SoundCloudAuthenticationViewController::connectButtonSelected()
{
    errorMessageLabel_->clear();
    viewModel_.authenticationProgressBegan([self = QPointer<SoundCloudAuthenticationViewController>(this)] {
        if (!self)
            return;
        self->client_ = std::make_shared<SoundCloudAPIClient>(
            SoundCloudAPIClientCredentials(self->viewModel_.userIdentifier()));
        if (self->setPendingClient_)
            self->setPendingClient_(self->client_);
        self->client_->authenticate();
    });
}

void SoundCloudAuthenticationViewController::addButtonSelected()
{
    // The row is completed in the background; Add waits for it, and stays for another try.
    setAddButtonEnabled(false);
    viewModel_.save([self = QPointer<SoundCloudAuthenticationViewController>(this)](
                        const std::optional<QString>& failure) {
        if (!self)
            return;
        if (!failure) {
            // An account renewed rather than added stays on screen until its message is read.
            if (!self->viewModel_.alreadyAdded())
                self->closeWindow();
            return;
        }
        standardOutputLine(QStringLiteral("Unable to save credentials"));
        self->errorMessageLabel_->setText(QStringLiteral("The account could not be saved: ") + *failure);
        self->setAddButtonEnabled(self->viewModel_.canAdvance());
    });
}

void SoundCloudAuthenticationViewController::authorizationDidSucceed()
{
    viewModel_.setAuthenticated(true);
    viewModel_.getUserDetails();
}

void SoundCloudAuthenticationViewController::authorizationDidFail()
{
    viewModel_.setAuthenticated(false);
}

void SoundCloudAuthenticationViewController::soundCloudAuthenticationViewModelViewStateDidChange(
    SoundCloudAuthenticationViewModel& viewModel)
{
    if (viewModel.message())
        errorMessageLabel_->setText(*viewModel.message());
    userNameLabel_->setText(viewModel.signedInText());
    progressIndicator_->setVisible(viewModel.networkRequestInProgress());
    setAddButtonEnabled(viewModel.canAdvance());
}

} // namespace airlark
