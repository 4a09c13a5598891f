#include "hosts/ui/LibsynAuthenticationViewController.h"

#include "hosts/LibsynFTPServer.h"
#include "hosts/LibsynHelpPage.h"
#include "platform/MainQueue.h"
#include "platform/ui/ExternalLink.h"
#include "platform/ui/WindowLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace airlark {

LibsynAuthenticationViewController::LibsynAuthenticationViewController(QWidget* parent)
    : HostAuthenticationViewController(parent)
{
    makeFields();
    makeLogInRow();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(makeForm());
    layout->addLayout(makeLogInRowLayout());
    layout->addStretch(1);

    // Keyboard order follows the form: e-mail, folder, password, then the rest.
    setTabOrder(emailTextField_, usernameTextField_);
    setTabOrder(usernameTextField_, passwordTextField_);
    setTabOrder(passwordTextField_, feedTypePopUpButton_);
    setTabOrder(feedTypePopUpButton_, helpButton_);
    setTabOrder(helpButton_, unencryptedCheckBox_);
    setTabOrder(unencryptedCheckBox_, logInButton_);

    connectFields();
    viewModel_.setDelegate(this);
    stateDidChange();
}

void LibsynAuthenticationViewController::makeFields()
{
    emailTextField_ = new QLineEdit(this);
    emailTextField_->setAccessibleName(tr("E-mail"));
    emailTextField_->setInputMethodHints(Qt::ImhEmailCharactersOnly);
    usernameTextField_ = new QLineEdit(this);
    usernameTextField_->setAccessibleName(tr("Show folder"));
    passwordTextField_ = new QLineEdit(this);
    passwordTextField_->setAccessibleName(tr("FTP password"));
    passwordTextField_->setEchoMode(QLineEdit::Password);
    feedTypePopUpButton_ = new QComboBox(this);
    feedTypePopUpButton_->setAccessibleName(tr("Feed type"));
    feedTypePopUpButton_->addItems(viewModel_.feedTypes());
    unencryptedCheckBox_ = new QCheckBox(LibsynAuthenticationViewModel::unencryptedChoiceText(), this);

    helpButton_ = new QPushButton(tr("Libsyn feed or external feed?"), this);
    helpButton_->setFlat(true);
    helpButton_->setCursor(Qt::PointingHandCursor);
    helpButton_->setStyleSheet(QStringLiteral("QPushButton { color: #1a5fb4; text-decoration: underline; "
                                              "text-align: center; border: none; padding: 2px; }"));
}

void LibsynAuthenticationViewController::makeLogInRow()
{
    logInButton_ = new QPushButton(tr("&Log In"), this);
    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setRange(0, 0); // busy
    progressIndicator_->setTextVisible(false);
    progressIndicator_->setMaximumWidth(80);
    progressIndicator_->setAccessibleName(tr("Checking the log-in"));
    progressIndicator_->hide(); // not displayed while stopped
    statusLabel_ = wrappingLabel(QString(), this);
    // Read out by its text, which a screen reader hears again whenever it changes.
    statusLabel_->setAccessibleDescription(tr("Status"));
}

QLayout* LibsynAuthenticationViewController::makeForm()
{
    auto* form = new QFormLayout;
    addFormRow(*form, tr("&E-mail:"), emailTextField_,
               tr("The e-mail address of your Libsyn account. It is your FTP log-in name."));
    addFormRow(*form, tr("Show &folder:"), usernameTextField_,
               tr("The FTP folder name Libsyn shows for this show (the show's short name). Episodes are "
                  "uploaded into it."));
    addFormRow(*form, tr("FTP &password:"), passwordTextField_,
               tr("The FTP password you set in the Libsyn dashboard."));
    addFormRow(*form, tr("Feed &type:"), feedTypePopUpButton_);
    addFormRow(*form, QString(), helpButton_);
    addFormRow(*form, QString(), unencryptedCheckBox_,
               tr("Only for a server that cannot encrypt: anyone on the network could read the password "
                  "and the episode."));
    return form;
}

QLayout* LibsynAuthenticationViewController::makeLogInRowLayout()
{
    auto* logInRow = new QHBoxLayout;
    logInRow->addWidget(logInButton_, 0, Qt::AlignTop);
    logInRow->addWidget(progressIndicator_, 0, Qt::AlignTop);
    logInRow->addWidget(statusLabel_, 1);
    return logInRow;
}

void LibsynAuthenticationViewController::connectFields()
{
    connect(emailTextField_, &QLineEdit::textChanged, this,
            [this](const QString& text) { viewModel_.setEmail(text); });
    connect(usernameTextField_, &QLineEdit::textChanged, this,
            [this](const QString& text) { viewModel_.setUsername(text); });
    connect(passwordTextField_, &QLineEdit::textChanged, this,
            [this](const QString& text) { viewModel_.setPassword(text); });
    connect(feedTypePopUpButton_, &QComboBox::currentIndexChanged, this,
            &LibsynAuthenticationViewController::feedTypeButtonSelected);
    connect(unencryptedCheckBox_, &QCheckBox::toggled, this,
            [this](bool checked) { viewModel_.setAllowsUnencryptedFTP(checked); });
    connect(helpButton_, &QPushButton::clicked, this,
            &LibsynAuthenticationViewController::helpButtonSelected);
    connect(logInButton_, &QPushButton::clicked, this,
            &LibsynAuthenticationViewController::logInButtonSelected);
}

LibsynAuthenticationViewController::~LibsynAuthenticationViewController()
{
    viewModel_.setDelegate(nullptr);
}

void LibsynAuthenticationViewController::viewDidAppear()
{
    // Every time the pane is shown, in whichever add-account window, Add is this pane's.
    takeOverAddButton(viewModel_.canSave());
}

void LibsynAuthenticationViewController::recheck(const std::optional<AccountQueryResult>& account)
{
    viewModel_.recheckAccount(account ? std::optional(account->id) : std::nullopt);
    if (!account)
        return;
    emailTextField_->setText(account->email.value_or(QString()));
    usernameTextField_->setText(account->displayName);
    passwordTextField_->clear();
    feedTypePopUpButton_->setCurrentIndex(account->feedType == LibsynAccountFeedType::External ? 1 : 0);
    unencryptedCheckBox_->setChecked(false);
    passwordTextField_->setFocus();
}

void LibsynAuthenticationViewController::logInButtonSelected()
{
    const QString username = usernameTextField_->text();
    const QString password = passwordTextField_->text();
    const QString email = emailTextField_->text();
    const auto feedType = libsynAccountFeedType(viewModel_.selectedFeedType());

    const quint64 ticket = viewModel_.logInStarted();
    logInButton_->setEnabled(false);
    auto server = LibsynFTPDestination::serverFor(username, password, email, feedType,
                                                  viewModel_.allowsUnencryptedFTP());
    if (!server) {
        viewModel_.logInCompleted(ticket, FTPFailure{FTPFailureKind::Other, {}, {}, {}, -1, {}});
        return;
    }
    // The running check keeps what it needs; the pane is reached only while it exists.
    LibsynLogInCheck::run(std::move(server), [pane = QPointer<LibsynAuthenticationViewController>(this),
                                              ticket](const FTPFailure& failure) {
        if (pane)
            pane->FTPLogInCompleted(ticket, failure);
    });
}

void LibsynAuthenticationViewController::FTPLogInCompleted(quint64 ticket, const FTPFailure& failure)
{
    MainQueue::async([pane = QPointer<LibsynAuthenticationViewController>(this), ticket, failure] {
        if (pane)
            pane->viewModel_.logInCompleted(ticket, failure);
    });
}

void LibsynAuthenticationViewController::feedTypeButtonSelected()
{
    viewModel_.selectFeedTypeAtIndex(feedTypePopUpButton_->currentIndex());
}

void LibsynAuthenticationViewController::helpButtonSelected()
{
    openExternalLink(this, LibsynHelpPage::fileURL().value_or(QUrl()));
}

void LibsynAuthenticationViewController::addButtonSelected()
{
    viewModel_.addAccount(
        [pane = QPointer<LibsynAuthenticationViewController>(this)](const std::optional<QString>& failure) {
            if (failure || !pane)
                return;
            // The pane keeps its texts for the next account, but never the choice to go unencrypted.
            pane->unencryptedCheckBox_->setChecked(false);
            pane->closeWindow();
        });
}

void LibsynAuthenticationViewController::libsynAuthenticationViewModelStateDidChange(
    LibsynAuthenticationViewModel&)
{
    stateDidChange();
}

void LibsynAuthenticationViewController::stateDidChange()
{
    statusLabel_->setText(viewModel_.statusText().value_or(QString()));
    progressIndicator_->setVisible(viewModel_.isCheckingLogIn() || viewModel_.isAddingAccount());
    // One check at a time: a second press would only race the first one's answer.
    logInButton_->setEnabled(!viewModel_.isCheckingLogIn());
    setAddButtonEnabled(viewModel_.canSave());
}

} // namespace airlark
