#pragma once

#include "hosts/SelectPodcastHostViewModel.h"
#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QItemSelection;
class QLabel;
class QPushButton;
class QTableView;
class QToolButton;

namespace airlark {

class PodcastHostAccountTableModel;

// Step 3 of the episode workflow: the saved accounts, one row each ("name—host" and the host's
// icon, and under it what tells the account apart), read in the background; until they arrive,
// or when they cannot be read, a note says so. Next ("Start upload") is enabled while a row is
// selected and hands the chosen account to the upload step, which the application provides (its
// controller implements UploadDestination). The selected account can be renamed (F2; a Libsyn
// account through a new log-in check, since its name is its show folder), checked again with a
// new password or sign-in, and deleted with its credential item (Delete, after a confirmation).
class SelectPodcastHostViewController : public QWidget,
                                        public ProgressNavigationControllerChild,
                                        public SelectPodcastHostViewModelDelegate
{
    Q_OBJECT
public:
    struct Providers
    {
        // The shared upload step's controller.
        std::function<QWidget*()> uploadPodcastViewController;
        // Opens the add-account window.
        std::function<void()> presentAddPodcastHostWindow;
        // Opens the add-account window to check this saved account again.
        std::function<void(const AccountQueryResult&)> recheckAccount;
    };

    static constexpr int RowHeight = 40;
    static const QString StartUploadTitle; // "Start upload"

    explicit SelectPodcastHostViewController(Providers providers, QWidget* parent = nullptr);
    ~SelectPodcastHostViewController() override;

    std::optional<QUrl> fileURL() const { return fileURL_; }
    void setFileURL(std::optional<QUrl> fileURL) { fileURL_ = std::move(fileURL); }
    QStringList tags() const { return tags_; }
    void setTags(QStringList tags) { tags_ = std::move(tags); }

    SelectPodcastHostViewModel& viewModel();
    QTableView* tableView() const { return tableView_; }
    QPushButton* addAccountButton() const { return addAccountButton_; }
    // Shown in place of an empty list: reading, why it could not be read, or how to start.
    QLabel* noteLabel() const { return noteLabel_; }
    // Reads the list again after a failed read.
    QPushButton* tryAgainButton() const { return tryAgainButton_; }
    // Why the last rename or deletion did not happen.
    QLabel* accountProblemLabel() const { return accountProblemLabel_; }
    QAction* renameAccountAction() const { return renameAccountAction_; }
    QAction* recheckAccountAction() const { return recheckAccountAction_; }
    QAction* deleteAccountAction() const { return deleteAccountAction_; }

    // The row's text: primary, "—", secondary.
    static QString rowText(const TwoLabelWithThumbnailItem& item);

    NextStepAction nextStepAction() override;
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override;
    void didPresentInProgressNavigationController(ProgressNavigationController& controller) override;

    void selectPodcastViewModelAccountsDidChange(SelectPodcastHostViewModel& viewModel) override;
    void selectPodcastViewModelAccountSelected(SelectPodcastHostViewModel& viewModel) override;

public slots:
    void addAccountButtonPressed();
    void renameAccountPressed();
    void recheckAccountPressed();
    void deleteAccountPressed();

private:
    void makeTable();
    void makeAccountActions();
    void bindViewModel();
    void tableViewSelectionDidChange();
    void restoreSelectionFromViewModel();
    void updateAccountActions();
    void showAccountProblem(const std::optional<QString>& problem);
    const PodcastHostAccount* selectedAccount();

    Providers providers_;
    std::optional<QUrl> fileURL_;
    QStringList tags_;
    std::unique_ptr<SelectPodcastHostViewModel> viewModel_;
    PodcastHostAccountTableModel* tableModel_ = nullptr;
    QTableView* tableView_ = nullptr;
    QPushButton* addAccountButton_ = nullptr;
    QLabel* noteLabel_ = nullptr;
    QPushButton* tryAgainButton_ = nullptr;
    QToolButton* manageButton_ = nullptr;
    QLabel* accountProblemLabel_ = nullptr;
    QAction* renameAccountAction_ = nullptr;
    QAction* recheckAccountAction_ = nullptr;
    QAction* deleteAccountAction_ = nullptr;
    bool restoringSelection_ = false;
};

} // namespace airlark
