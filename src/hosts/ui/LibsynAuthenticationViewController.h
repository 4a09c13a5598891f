#pragma once

#include "hosts/LibsynAuthenticationViewModel.h"
#include "hosts/ui/HostAuthenticationViewController.h"
#include "store/Account.h"

#include <QPointer>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace airlark {

// The Libsyn pane of the add-account window: e-mail (the FTP log-in name), the show's FTP folder
// name (kept as the account's user name) and its FTP password, the feed type, the choice to send the
// password without encryption, a log-in check against Libsyn's FTP server (which also finds the
// show's folder), and Add, which saves the account and its password.
class LibsynAuthenticationViewController : public HostAuthenticationViewController,
                                           public LibsynAuthenticationViewModelDelegate
{
    Q_OBJECT
public:
    explicit LibsynAuthenticationViewController(QWidget* parent = nullptr);
    ~LibsynAuthenticationViewController() override;

    LibsynAuthenticationViewModel& viewModel() { return viewModel_; }

    QLineEdit* emailTextField() const { return emailTextField_; }
    QLineEdit* usernameTextField() const { return usernameTextField_; }
    QLineEdit* passwordTextField() const { return passwordTextField_; }
    QComboBox* feedTypePopUpButton() const { return feedTypePopUpButton_; }
    QCheckBox* unencryptedCheckBox() const { return unencryptedCheckBox_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QPushButton* logInButton() const { return logInButton_; }
    QPushButton* helpButton() const { return helpButton_; }
    QLabel* statusLabel() const { return statusLabel_; }

    // Fills the form with a saved account to check again (a new password, or a corrected folder,
    // e-mail or feed type); Add then updates that account. None: the next Add adds a new one.
    void recheck(const std::optional<AccountQueryResult>& account);

    // The outcome of a log-in check; handled later on the main queue.
    void FTPLogInCompleted(quint64 ticket, const FTPFailure& failure);

    void libsynAuthenticationViewModelStateDidChange(LibsynAuthenticationViewModel& viewModel) override;

public slots:
    void logInButtonSelected();
    void feedTypeButtonSelected();
    void helpButtonSelected();
    void addButtonSelected() override;

protected:
    void viewDidAppear() override;

private:
    void makeFields();
    void makeLogInRow();
    QLayout* makeForm();
    QLayout* makeLogInRowLayout();
    void connectFields();
    void stateDidChange();

    LibsynAuthenticationViewModel viewModel_;
    QLineEdit* emailTextField_ = nullptr;
    QLineEdit* usernameTextField_ = nullptr;
    QLineEdit* passwordTextField_ = nullptr;
    QComboBox* feedTypePopUpButton_ = nullptr;
    QCheckBox* unencryptedCheckBox_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QPushButton* logInButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
};

} // namespace airlark
