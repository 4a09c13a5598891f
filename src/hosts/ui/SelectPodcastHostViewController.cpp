#include "hosts/ui/SelectPodcastHostViewController.h"

#include "hosts/AccountManagement.h"
#include "hosts/UploadDestination.h"
#include "platform/ui/ArrowKeySelection.h"
#include "platform/ui/ListActions.h"
#include "platform/ui/LiteralText.h"
#include "platform/ui/StopConfirmation.h"
#include "platform/ui/WindowLayout.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace airlark {

// The accounts of the view model as a one-column table: "name—host" and the host's icon.
class PodcastHostAccountTableModel final : public QAbstractTableModel
{
public:
    PodcastHostAccountTableModel(SelectPodcastHostViewModel& viewModel, QObject* parent)
        : QAbstractTableModel(parent), viewModel_(viewModel)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(viewModel_.accounts().size());
    }

    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto& accounts = viewModel_.accounts();
        if (!index.isValid() || index.row() >= static_cast<int>(accounts.size()))
            return {};
        const auto& account = accounts[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case Qt::ToolTipRole: {
            const QString details = viewModel_.accountDetails(index.row());
            const QString text = SelectPodcastHostViewController::rowText(account);
            const QString shown = details.isEmpty() ? text : text + QLatin1Char('\n') + details;
            return role == Qt::ToolTipRole ? literalToolTip(shown) : shown;
        }
        case Qt::EditRole:
            return account.primary();
        case Qt::DecorationRole:
            return QIcon(QPixmap::fromImage(account.image()));
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        const auto& accounts = viewModel_.accounts();
        if (!index.isValid() || index.row() >= static_cast<int>(accounts.size()))
            return QAbstractTableModel::flags(index);
        const auto host =
            podcastHostFromStoredText(accounts[static_cast<std::size_t>(index.row())].secondary());
        return QAbstractTableModel::flags(index) |
               (AccountManagement::canRenameInPlace(host) ? Qt::ItemIsEditable : Qt::NoItemFlags);
    }

    // The row keeps its name until the store has taken the new one and the list is read again.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        const auto& accounts = viewModel_.accounts();
        if (role != Qt::EditRole || !index.isValid() || index.row() >= static_cast<int>(accounts.size()))
            return false;
        const auto& account = accounts[static_cast<std::size_t>(index.row())];
        if (renameRequested && value.toString() != account.primary())
            renameRequested(account.id(), value.toString());
        return false;
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    void detailsDidChange()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
    }

    std::function<void(qint64 id, const QString& name)> renameRequested;

private:
    SelectPodcastHostViewModel& viewModel_;
};

const QString SelectPodcastHostViewController::StartUploadTitle = QStringLiteral("Start upload");

SelectPodcastHostViewController::SelectPodcastHostViewController(Providers providers, QWidget* parent)
    : QWidget(parent), providers_(std::move(providers))
{
    auto* heading = new QLabel(tr("Choose the &account to publish this episode to:"), this);
    makeTable();
    heading->setBuddy(tableView_);
    makeAccountActions();
    noteLabel_ = wrappingLabel(QString(), this);
    noteLabel_->setObjectName(QStringLiteral("accountsNoteLabel"));
    noteLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    accountProblemLabel_ = noticeLabel(Notice::Problem, QStringLiteral("accountProblemLabel"), this);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(addAccountButton_);
    buttonRow->addWidget(manageButton_);
    buttonRow->addWidget(tryAgainButton_);
    buttonRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(tableView_, 1);
    layout->addWidget(noteLabel_);
    layout->addWidget(accountProblemLabel_);
    layout->addLayout(buttonRow);
    bindViewModel();
}

void SelectPodcastHostViewController::makeTable()
{
    tableView_ = new QTableView(this);
    tableView_->setAccessibleName(tr("Accounts"));
    tableView_->horizontalHeader()->hide();
    tableView_->horizontalHeader()->setStretchLastSection(true);
    tableView_->verticalHeader()->hide();
    tableView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tableView_->verticalHeader()->setDefaultSectionSize(RowHeight);
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setShowGrid(false);
    tableView_->setIconSize(QSize(32, 32));
    tableView_->setTabKeyNavigation(false);
    selectRowsWithArrowKeys(*tableView_);

    // Two lines: the name and host, and what tells the account apart.
    tableView_->verticalHeader()->setDefaultSectionSize(qMax(RowHeight, 2 * fontMetrics().height() + 8));
}

void SelectPodcastHostViewController::makeAccountActions()
{
    addAccountButton_ = new QPushButton(tr("Add Account…"), this);
    addAccountButton_->setAccessibleName(tr("Add Account…"));
    connect(addAccountButton_, &QPushButton::clicked, this,
            &SelectPodcastHostViewController::addAccountButtonPressed);
    tryAgainButton_ = new QPushButton(tr("&Try Again"), this);
    tryAgainButton_->setObjectName(QStringLiteral("tryAgainButton"));
    connect(tryAgainButton_, &QPushButton::clicked, this, [this] { viewModel().reloadAccounts(); });

    renameAccountAction_ =
        addListAction(*tableView_, tr("&Rename Account"), "renameAccountAction", QKeySequence(Qt::Key_F2));
    connect(renameAccountAction_, &QAction::triggered, this,
            &SelectPodcastHostViewController::renameAccountPressed);
    recheckAccountAction_ =
        addListAction(*tableView_, tr("C&heck Account Again\u2026"), "recheckAccountAction");
    connect(recheckAccountAction_, &QAction::triggered, this,
            &SelectPodcastHostViewController::recheckAccountPressed);
    deleteAccountAction_ =
        addListAction(*tableView_, tr("&Delete Account\u2026"), "deleteAccountAction", QKeySequence::Delete);
    connect(deleteAccountAction_, &QAction::triggered, this,
            &SelectPodcastHostViewController::deleteAccountPressed);
    manageButton_ =
        makeManageButton(*tableView_, QStringLiteral("manageAccountButton"), tr("Manage the chosen account"));
}

void SelectPodcastHostViewController::bindViewModel()
{
    // As in a loaded view: the view model reports here, then the table reads through the model.
    viewModel().setDelegate(this);
    tableModel_ = new PodcastHostAccountTableModel(viewModel(), this);
    tableView_->setModel(tableModel_);
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SelectPodcastHostViewController::tableViewSelectionDidChange);
    tableModel_->renameRequested = [this](qint64 id, const QString& name) {
        AccountManagement::rename(
            id, name,
            [self = QPointer<SelectPodcastHostViewController>(this)](std::optional<QString> problem) {
                if (self)
                    self->showAccountProblem(problem);
            });
    };
    viewModel().accountDetailsDidChange = [this] { tableModel_->detailsDidChange(); };
    updateAccountActions();
    viewModel().reloadAccounts();
}

SelectPodcastHostViewController::~SelectPodcastHostViewController()
{
    if (viewModel_)
        viewModel_->setDelegate(nullptr);
}

SelectPodcastHostViewModel& SelectPodcastHostViewController::viewModel()
{
    if (!viewModel_)
        viewModel_ = std::make_unique<SelectPodcastHostViewModel>();
    return *viewModel_;
}

QString SelectPodcastHostViewController::rowText(const TwoLabelWithThumbnailItem& item)
{
    return item.primary() + QChar(0x2014) + item.secondary();
}

NextStepAction SelectPodcastHostViewController::nextStepAction()
{
    QWidget* upload =
        providers_.uploadPodcastViewController ? providers_.uploadPodcastViewController() : nullptr;
    if (!upload)
        return NextStepAction::Right([] {});
    if (auto* step = progressNavigationControllerChild(upload))
        step->setProgressNavigationController(progressNavigationController());
    if (auto* destination = dynamic_cast<UploadDestination*>(upload)) {
        destination->setHost(viewModel().selectedHost());
        destination->setUserIdentifier(viewModel().selectedAccountID());
        destination->setTags(tags_);
        destination->setAccountName(viewModel().selectedAccountName());
    }
    return NextStepAction::Left(upload);
}

void SelectPodcastHostViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setNextButtonTitle(StartUploadTitle);
    // Disabled on entry, since a new step has no selection; enabled only while a row is selected.
    controller.setNextButtonEnabled(viewModel().canAdvance());
    controller.setBackButtonEnabled(true);
    controller.setCancelButtonEnabled(true);
}

void SelectPodcastHostViewController::didPresentInProgressNavigationController(ProgressNavigationController&)
{
}

void SelectPodcastHostViewController::selectPodcastViewModelAccountsDidChange(
    SelectPodcastHostViewModel& model)
{
    tableModel_->reload();
    restoreSelectionFromViewModel();
    noteLabel_->setText(model.listNote());
    noteLabel_->setHidden(noteLabel_->text().isEmpty());
    tryAgainButton_->setVisible(model.accountsFailure().has_value());
    tryAgainButton_->setEnabled(!model.isReadingAccounts());
}

void SelectPodcastHostViewController::selectPodcastViewModelAccountSelected(SelectPodcastHostViewModel& model)
{
    if (auto* frame = progressNavigationController(); frame && frame->isShowing(this))
        frame->setNextButtonEnabled(model.state() == SelectPodcastHostState::Selected);
    updateAccountActions();
}

const PodcastHostAccount* SelectPodcastHostViewController::selectedAccount()
{
    const auto index = viewModel().selectedItemIndex();
    const auto& accounts = viewModel().accounts();
    if (!index || *index < 0 || *index >= static_cast<qsizetype>(accounts.size()))
        return nullptr;
    return &accounts[static_cast<std::size_t>(*index)];
}

void SelectPodcastHostViewController::updateAccountActions()
{
    const bool chosen = selectedAccount() != nullptr;
    for (QAction* action : {renameAccountAction_, recheckAccountAction_, deleteAccountAction_})
        action->setEnabled(chosen);
}

void SelectPodcastHostViewController::showAccountProblem(const std::optional<QString>& problem)
{
    accountProblemLabel_->setText(problem.value_or(QString()));
    accountProblemLabel_->setHidden(!problem);
}

void SelectPodcastHostViewController::renameAccountPressed()
{
    const PodcastHostAccount* account = selectedAccount();
    if (!account)
        return;
    showAccountProblem(std::nullopt);
    if (!AccountManagement::canRenameInPlace(podcastHostFromStoredText(account->secondary())))
        return recheckAccountPressed();
    tableView_->edit(tableModel_->index(static_cast<int>(*viewModel().selectedItemIndex()), 0));
}

void SelectPodcastHostViewController::recheckAccountPressed()
{
    const PodcastHostAccount* account = selectedAccount();
    if (account && providers_.recheckAccount)
        providers_.recheckAccount(account->row());
}

void SelectPodcastHostViewController::deleteAccountPressed()
{
    const PodcastHostAccount* account = selectedAccount();
    if (!account)
        return;
    showAccountProblem(std::nullopt);
    const auto host = podcastHostFromStoredText(account->secondary());
    askToDelete(this, AccountManagement::deleteQuestion(account->primary()),
                AccountManagement::deleteDetail(host), tr("Delete Account"),
                [self = QPointer<SelectPodcastHostViewController>(this), id = account->id(), host] {
                    AccountManagement::remove(id, host, [self](std::optional<QString> problem) {
                        if (self)
                            self->showAccountProblem(problem);
                    });
                });
}

void SelectPodcastHostViewController::addAccountButtonPressed()
{
    if (providers_.presentAddPodcastHostWindow)
        providers_.presentAddPodcastHostWindow();
}

void SelectPodcastHostViewController::tableViewSelectionDidChange()
{
    if (restoringSelection_)
        return;
    const auto rows = tableView_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        viewModel().setSelectedItemIndex(std::nullopt);
    else
        viewModel().setSelectedItemIndex(rows.first().row());
}

void SelectPodcastHostViewController::restoreSelectionFromViewModel()
{
    // The view model keeps the selection with its account across reads; the table shows it again.
    restoringSelection_ = true;
    if (const auto index = viewModel().selectedItemIndex(); index && *index < tableModel_->rowCount())
        tableView_->selectRow(static_cast<int>(*index));
    else
        tableView_->clearSelection();
    restoringSelection_ = false;
}

} // namespace airlark
