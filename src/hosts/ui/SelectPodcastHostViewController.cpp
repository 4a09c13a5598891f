#include "hosts/ui/SelectPodcastHostViewController.h"

#include "hosts/UploadDestination.h"
#include "platform/ui/ArrowKeySelection.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
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
        case Qt::ToolTipRole:
            return SelectPodcastHostViewController::rowText(account);
        case Qt::DecorationRole:
            return QIcon(QPixmap::fromImage(account.image()));
        default:
            return {};
        }
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    SelectPodcastHostViewModel& viewModel_;
};

const QString SelectPodcastHostViewController::StartUploadTitle = QStringLiteral("Start upload");

SelectPodcastHostViewController::SelectPodcastHostViewController(Providers providers, QWidget* parent)
    : QWidget(parent), providers_(std::move(providers))
{
    auto* heading = new QLabel(tr("Choose the &account to publish this episode to:"), this);
    tableView_ = new QTableView(this);
    tableView_->setAccessibleName(tr("Accounts"));
    heading->setBuddy(tableView_);
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

    addAccountButton_ = new QPushButton(tr("Add Account…"), this);
    addAccountButton_->setAccessibleName(tr("Add Account…"));
    noteLabel_ = new QLabel(this);
    noteLabel_->setObjectName(QStringLiteral("accountsNoteLabel"));
    noteLabel_->setWordWrap(true);
    noteLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tryAgainButton_ = new QPushButton(tr("&Try Again"), this);
    tryAgainButton_->setObjectName(QStringLiteral("tryAgainButton"));

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(addAccountButton_);
    buttonRow->addWidget(tryAgainButton_);
    buttonRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(tableView_, 1);
    layout->addWidget(noteLabel_);
    layout->addLayout(buttonRow);

    connect(addAccountButton_, &QPushButton::clicked, this,
            &SelectPodcastHostViewController::addAccountButtonPressed);
    connect(tryAgainButton_, &QPushButton::clicked, this, [this] { viewModel().reloadAccounts(); });

    // As in a loaded view: the view model reports here, then the table reads through the model.
    viewModel().setDelegate(this);
    tableModel_ = new PodcastHostAccountTableModel(viewModel(), this);
    tableView_->setModel(tableModel_);
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SelectPodcastHostViewController::tableViewSelectionDidChange);
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
    if (auto* frame = progressNavigationController())
        frame->setNextButtonEnabled(model.state() == SelectPodcastHostState::Selected);
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
