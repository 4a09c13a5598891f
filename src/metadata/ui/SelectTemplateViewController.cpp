#include "metadata/ui/SelectTemplateViewController.h"

#include "metadata/ui/CreateID3TemplateViewController.h"
#include "metadata/ui/EditMetadataViewController.h"
#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/TemplateListModel.h"
#include "platform/ui/ArrowKeySelection.h"
#include "platform/ui/ListActions.h"
#include "platform/ui/StopConfirmation.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "platform/ui/WindowLayout.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace airlark {

SelectTemplateViewController::SelectTemplateViewController(
    std::function<EditMetadataViewController*()> editMetadataViewController, QWidget* parent)
    : QWidget(parent), viewModel_(std::make_unique<SelectTemplateViewModel>()),
      editMetadataViewController_(std::move(editMetadataViewController))
{
    setObjectName(QStringLiteral("SelectTemplateViewController"));

    makeTemplateList();
    makeTemplateActions();
    makeFileChooser();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(makeTemplateColumn(), 1);
    layout->addLayout(makeFileColumn(), 1);

    setTabOrder(tableView_, newTemplateButton_);
    setTabOrder(newTemplateButton_, manageButton_);
    setTabOrder(manageButton_, dropLocationView_);
    setTabOrder(dropLocationView_, chooseFileButton_);

    // viewDidLoad: the screen follows its view model from here on.
    viewModel_->delegate = this;
    viewModel_->reloadTemplates();
    reloadTable();
    updateTemplateActions();
    showArtwork(viewModel_->artworkName());
}

void SelectTemplateViewController::showArtwork(const QString& name)
{
    if (name == artworkShown_)
        return;
    artworkShown_ = name;
    dropLocationView_->setIconFile(QStringLiteral(":/images/") + name + QStringLiteral(".svg"));
}

void SelectTemplateViewController::makeTemplateList()
{
    templateListModel_ = new TemplateListModel(this);
    tableView_ = new QListView(this);
    tableView_->setObjectName(QStringLiteral("tableView"));
    tableView_->setModel(templateListModel_);
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setIconSize(QSize(32, 32));
    tableView_->setUniformItemSizes(true);
    tableView_->setAccessibleName(tr("Podcast template"));
    tableView_->viewport()->installEventFilter(this);
    selectRowsWithArrowKeys(*tableView_);
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SelectTemplateViewController::tableViewSelectionDidChange);

    emptyListLabel_ = wrappingLabel(QString(), this);
    emptyListLabel_->setObjectName(QStringLiteral("emptyListLabel"));
    emptyListLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    emptyListLabel_->hide();
    missingArtworkLabel_ = noticeLabel(Notice::Warning, QStringLiteral("missingArtworkLabel"), this);
    missingArtworkLabel_->setAccessibleDescription(tr("Artwork missing"));
    templateProblemLabel_ = noticeLabel(Notice::Problem, QStringLiteral("templateProblemLabel"), this);
}

void SelectTemplateViewController::makeTemplateActions()
{
    newTemplateAction_ = new QAction(tr("&New Template\u2026"), this);
    newTemplateAction_->setObjectName(QStringLiteral("newTemplateAction"));
    newTemplateAction_->setShortcut(QKeySequence::New);
    newTemplateAction_->setShortcutContext(Qt::WindowShortcut);
    addAction(newTemplateAction_);
    connect(newTemplateAction_, &QAction::triggered, this,
            &SelectTemplateViewController::newTemplateButtonPressed);
    newTemplateButton_ = new QPushButton(tr("New Template\u2026"), this);
    newTemplateButton_->setObjectName(QStringLiteral("newTemplateButton"));
    connect(newTemplateButton_, &QPushButton::clicked, this,
            &SelectTemplateViewController::newTemplateButtonPressed);

    editTemplateAction_ = addListAction(*tableView_, tr("&Edit Template\u2026"), "editTemplateAction");
    connect(editTemplateAction_, &QAction::triggered, this,
            &SelectTemplateViewController::editTemplatePressed);
    renameTemplateAction_ =
        addListAction(*tableView_, tr("&Rename Template"), "renameTemplateAction", QKeySequence(Qt::Key_F2));
    connect(renameTemplateAction_, &QAction::triggered, this,
            &SelectTemplateViewController::renameTemplatePressed);
    deleteTemplateAction_ = addListAction(*tableView_, tr("&Delete Template\u2026"), "deleteTemplateAction",
                                          QKeySequence::Delete);
    connect(deleteTemplateAction_, &QAction::triggered, this,
            &SelectTemplateViewController::deleteTemplatePressed);
    manageButton_ = makeManageButton(*tableView_, QStringLiteral("manageTemplateButton"),
                                     tr("Manage the chosen template"));
    templateListModel_->renameRequested = [this](qint64 id, const QString& name) {
        viewModel_->renameTemplate(id, name,
                                   [this](std::optional<QString> problem) { showTemplateProblem(problem); });
    };
}

void SelectTemplateViewController::makeFileChooser()
{
    dropLocationView_ = new AudioFileDropLocationView(this);
    dropLocationView_->setObjectName(QStringLiteral("dropLocationView"));
    dropLocationView_->setDelegate(viewModel_.get());
    dropLocationView_->setFocusPolicy(Qt::StrongFocus);
    dropLocationView_->setAccessibleName(tr("Episode file"));
    dropLocationView_->setAccessibleDescription(tr("Drop an MP3 file here, or press Space to choose one"));
    dropLocationView_->setToolTip(tr("Drop an MP3 file here, or click to choose one"));
    connect(dropLocationView_, &FileDropLocationView::activated, this,
            &SelectTemplateViewController::runOpenPanel);

    chooseFileButton_ = new QPushButton(tr("&Choose MP3 File\u2026"), this);
    chooseFileButton_->setObjectName(QStringLiteral("chooseFileButton"));
    connect(chooseFileButton_, &QPushButton::clicked, this,
            &SelectTemplateViewController::chooseFileButtonPressed);
    chosenFileLabel_ = new QLabel(this);
    chosenFileLabel_->setTextFormat(Qt::PlainText);
    chosenFileLabel_->setObjectName(QStringLiteral("chosenFileLabel"));
    chosenFileLabel_->setAlignment(Qt::AlignCenter);
    chosenFileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chosenFileLabel_->setAccessibleDescription(tr("Chosen file"));
    chosenFileLabel_->hide();
}

QLayout* SelectTemplateViewController::makeTemplateColumn()
{
    auto* listLabel = new QLabel(tr("&Podcast template"), this);
    listLabel->setBuddy(tableView_);
    auto* left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(tableView_, 1);
    left->addWidget(emptyListLabel_);
    left->addWidget(missingArtworkLabel_);
    left->addWidget(templateProblemLabel_);
    auto* templateButtons = new QHBoxLayout;
    templateButtons->addWidget(newTemplateButton_);
    templateButtons->addWidget(manageButton_);
    templateButtons->addStretch(1);
    left->addLayout(templateButtons);
    return left;
}

QLayout* SelectTemplateViewController::makeFileColumn()
{
    auto* right = new QVBoxLayout;
    right->addWidget(dropLocationView_, 1);
    right->addWidget(chooseFileButton_, 0, Qt::AlignHCenter);
    right->addWidget(chosenFileLabel_);
    return right;
}

SelectTemplateViewController::~SelectTemplateViewController()
{
    viewModel_->delegate = nullptr;
    delete createTemplateWindow_.data();
    delete editTemplateWindow_.data();
}

OpenPanelOptions SelectTemplateViewController::getNewOpenPanel()
{
    OpenPanelOptions options;
    options.title = tr("Choose the Episode\u2019s MP3 File");
    options.allowedFileTypes = {QStringLiteral("mp3")};
    options.canChooseFiles = true;
    options.canChooseDirectories = false;
    options.allowsMultipleSelection = false;
    return options;
}

void SelectTemplateViewController::didPresentInProgressNavigationController(ProgressNavigationController&)
{
    viewDidAppear();
}

void SelectTemplateViewController::viewDidAppear()
{
    if (ProgressNavigationController* frame = progressNavigationController()) {
        frame->setNextButtonTitle(tr("Next"));
        frame->setNextButtonEnabled(false);
        frame->setCancelButtonText(tr("Cancel"));
        frame->setCancelButtonEnabled(false);
        frame->setBackButtonEnabled(false);
        frame->setBackButtonTitle(tr("Back"));
    }
    viewModel_->reloadTemplates();
    reloadTable();
    // After a published episode the next one is most likely of the same podcast.
    auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(progressNavigationController());
    if (!workflow || !workflow->takeEpisodeFinished())
        viewModel_->setSelectedItemIndex(std::nullopt);
    viewModel_->setFileURL(std::nullopt);
    chosenFileLabel_->hide();
}

void SelectTemplateViewController::chooseFileButtonPressed()
{
    runOpenPanel();
}

void SelectTemplateViewController::runOpenPanel()
{
    QPointer<SelectTemplateViewController> self(this);
    OpenPanel::begin(this, getNewOpenPanel(), [self](std::optional<QList<QUrl>> chosen) {
        if (!self)
            return;
        if (chosen && !chosen->isEmpty())
            self->viewModel_->setFileURL(chosen->front());
        self->publishSelectionToWorkflow();
    });
}

void SelectTemplateViewController::newTemplateButtonPressed()
{
    if (!createTemplateWindow_)
        createTemplateWindow_ = CreateID3TemplateViewController::makeWindow(window());
    createTemplateWindow_->show();
    createTemplateWindow_->raise();
    createTemplateWindow_->activateWindow();
}

void SelectTemplateViewController::editTemplatePressed()
{
    const std::optional<ID3TemplateSelectAllQueryResult> chosen = viewModel_->selectedTemplate();
    if (!chosen)
        return;
    delete editTemplateWindow_.data(); // one edit at a time, of the template chosen now
    editTemplateWindow_ = CreateID3TemplateViewController::makeWindow(window(), chosen->id);
    editTemplateWindow_->show();
    editTemplateWindow_->raise();
    editTemplateWindow_->activateWindow();
}

void SelectTemplateViewController::renameTemplatePressed()
{
    const std::optional<qint64>& index = viewModel_->selectedItemIndex();
    if (!index)
        return;
    showTemplateProblem(std::nullopt);
    tableView_->edit(templateListModel_->index(static_cast<int>(*index)));
}

void SelectTemplateViewController::deleteTemplatePressed()
{
    const std::optional<ID3TemplateSelectAllQueryResult> chosen = viewModel_->selectedTemplate();
    if (!chosen)
        return;
    showTemplateProblem(std::nullopt);
    QPointer<SelectTemplateViewController> self(this);
    askToDelete(this, SelectTemplateViewModel::deleteQuestion(chosen->name),
                SelectTemplateViewModel::deleteDetail(), tr("Delete Template"), [self, id = chosen->id] {
                    if (self)
                        self->viewModel_->deleteTemplate(id, [self](std::optional<QString> problem) {
                            if (self)
                                self->showTemplateProblem(problem);
                        });
                });
}

void SelectTemplateViewController::showTemplateProblem(const std::optional<QString>& problem)
{
    templateProblemLabel_->setText(problem.value_or(QString()));
    templateProblemLabel_->setHidden(!problem);
}

void SelectTemplateViewController::updateTemplateActions()
{
    const bool chosen = viewModel_->selectedTemplate().has_value();
    for (QAction* action : {editTemplateAction_, renameTemplateAction_, deleteTemplateAction_})
        action->setEnabled(chosen);
}

void SelectTemplateViewController::reloadTable()
{
    const auto& templates = viewModel_->cachedTemplates;
    templateListModel_->reload(templates,
                               [this](qint64 id) { return viewModel_->artworkForTemplateWithID(id); });
    // A list that could not be read (or not yet) is not an empty one: say so, not how to start.
    QString note = tr("No templates yet. Create one with \u201cNew Template\u2026\u201d.");
    if (const auto& failure = viewModel_->templatesFailure())
        note = *failure;
    else if (viewModel_->isReadingTemplates())
        note = tr("Reading the templates\u2026");
    emptyListLabel_->setText(note);
    emptyListLabel_->setHidden(!templates.empty() && !viewModel_->templatesFailure());
}

void SelectTemplateViewController::tableViewSelectionDidChange()
{
    if (synchronizingSelection_)
        return;
    const QModelIndexList selected = tableView_->selectionModel()->selectedRows();
    if (selected.isEmpty())
        viewModel_->setSelectedItemIndex(std::nullopt);
    else
        viewModel_->setSelectedItemIndex(selected.front().row());
}

bool SelectTemplateViewController::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the list's empty area clears the choice (a single-selection list keeps it otherwise).
    if (watched == tableView_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!tableView_->indexAt(mouse->position().toPoint()).isValid())
            tableView_->selectionModel()->clearSelection();
    }
    return QWidget::eventFilter(watched, event);
}

void SelectTemplateViewController::selectTemplateViewModelAvailableTemplatesDidChange(
    SelectTemplateViewModel&)
{
    reloadTable();
    // The view model keeps its choice across a reload (a new template has cleared it already);
    // the table shows it again.
    viewModel_->updateState();
}

void SelectTemplateViewController::selectTemplateViewModelInteractionStateDidChange(
    SelectTemplateViewModel& viewModel)
{
    if (ProgressNavigationController* frame = progressNavigationController(); frame && frame->isShowing(this))
        frame->setNextButtonEnabled(viewModel.canAdvance());

    chooseFileButton_->setHidden(viewModel.chooseFileButtonHidden());
    chosenFileLabel_->setHidden(!viewModel.chooseFileButtonHidden());
    chosenFileLabel_->setText(viewModel.selectedFileDisplayName());
    showArtwork(viewModel.artworkName());
    dropLocationView_->setAccessibleDescription(
        viewModel.chooseFileButtonHidden() ? viewModel.selectedFileDisplayName()
                                           : tr("Drop an MP3 file here, or press Space to choose one"));

    updateTemplateActions();
    missingArtworkLabel_->setText(viewModel.missingArtworkNotice());
    missingArtworkLabel_->setHidden(missingArtworkLabel_->text().isEmpty());

    synchronizingSelection_ = true;
    const std::optional<qint64>& index = viewModel.selectedItemIndex();
    const QModelIndex row = index ? templateListModel_->index(static_cast<int>(*index)) : QModelIndex();
    if (row.isValid())
        tableView_->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    else
        tableView_->selectionModel()->clearSelection();
    synchronizingSelection_ = false;

    publishSelectionToWorkflow();
}

void SelectTemplateViewController::publishSelectionToWorkflow()
{
    auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(progressNavigationController());
    if (!workflow)
        return;
    const std::optional<ID3TemplateSelectAllQueryResult> chosen = viewModel_->selectedTemplate();
    workflow->setFileURL(viewModel_->fileURL());
    workflow->setPodcastTitle(chosen ? std::optional<QString>(chosen->name) : std::nullopt);
    workflow->setArtworkURL(chosen ? chosen->artworkURL : std::nullopt);
}

NextStepAction SelectTemplateViewController::nextStepAction()
{
    EditMetadataViewController* next = editMetadataViewController_ ? editMetadataViewController_() : nullptr;
    const std::optional<ID3TemplateSelectAllQueryResult> chosen = viewModel_->selectedTemplate();
    if (next)
        next->setSelectedTemplateID(chosen ? std::optional<qint64>(chosen->id) : std::nullopt);
    publishSelectionToWorkflow();
    return NextStepAction::Left(next);
}

} // namespace airlark
