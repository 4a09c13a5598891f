#include "metadata/ui/EditMetadataViewController.h"

#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/OpenPanel.h"
#include "metadata/ui/QuestionSheet.h"
#include "platform/StandardOutput.h"
#include "platform/ui/StopConfirmation.h"
#include "platform/ui/TerminatingButtonText.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "platform/ui/WindowLayout.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace airlark {
namespace {

QLineEdit* makeField(const QString& objectName, bool readOnly, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setReadOnly(readOnly);
    if (readOnly)
        field->setFocusPolicy(Qt::ClickFocus);
    return field;
}

QPlainTextEdit* makeTextView(const QString& objectName, int lines, QWidget* parent)
{
    auto* view = new QPlainTextEdit(parent);
    view->setObjectName(objectName);
    view->setTabChangesFocus(true);
    view->setFixedHeight(view->fontMetrics().lineSpacing() * lines + 12);
    return view;
}

// Screen readers take each field's name from its label.
void nameFieldsAfterLabels(QFormLayout* form)
{
    for (int row = 0; row < form->rowCount(); ++row) {
        auto* label = qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)
                                                ? form->itemAt(row, QFormLayout::LabelRole)->widget()
                                                : nullptr);
        QLayoutItem* field = form->itemAt(row, QFormLayout::FieldRole);
        if (label && field && field->widget())
            field->widget()->setAccessibleName(
                label->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    }
}

} // namespace

EditMetadataViewController::EditMetadataViewController(
    std::function<QWidget*()> selectPodcastHostViewController, QWidget* parent)
    : QWidget(parent), selectPodcastHostViewController_(std::move(selectPodcastHostViewController))
{
    setObjectName(QStringLiteral("EditMetadataViewController"));
    buildLayout();

    // viewDidLoad: the keyboard order of the editable fields.
    setTabOrder(titleField_, podcastField_);
    setTabOrder(podcastField_, artistField_);
    setTabOrder(artistField_, descriptionTextView_);
    setTabOrder(descriptionTextView_, episodeNumberField_);

    connect(loadChaptersButton_, &QPushButton::clicked, this,
            &EditMetadataViewController::loadChaptersButtonPressed);
    connect(checkButton_, &QPushButton::clicked, this, [this] {
        if (viewModel_->isChecking())
            viewModel_->cancelCheck();
        else
            viewModel_->startCheck();
        refreshCheck();
    });
    // The report judges the title as typed.
    connect(titleField_, &QLineEdit::textChanged, this, [this] { refreshCheck(); });
    // A save must end, and its thread with it, before the application does.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { viewModel_->abandonSaving(); });
    rebuildViewModel();
}

EditMetadataViewController::~EditMetadataViewController() = default;

void EditMetadataViewController::buildLayout()
{
    makeArtworkViews();
    makeFormFields();
    makeStatusViews();

    // The form scrolls in a small window rather than squeezing its fields.
    auto* formPane = new QWidget;
    auto* formColumn = new QVBoxLayout(formPane);
    formColumn->setContentsMargins(0, 0, 0, 0);
    formColumn->addLayout(makeForm());
    formColumn->addStretch(1); // spare height below the form, not between its rows
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(formPane);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* top = new QHBoxLayout;
    top->addLayout(makeArtworkColumn());
    top->addWidget(scroll, 1);
    auto* saving = new QHBoxLayout;
    saving->addWidget(savingIndicator_);
    saving->addWidget(savingLabel_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(saving);
    layout->addWidget(errorLabel_);
}

void EditMetadataViewController::makeArtworkViews()
{
    artworkImageView_ = new ImageFileDropLocationView(this);
    artworkImageView_->setObjectName(QStringLiteral("artworkImageView"));
    artworkImageView_->setAccessibleName(tr("Artwork"));
    artworkImageView_->setFixedSize(180, 180);
    artworkFactsLabel_ = new QLabel(this);
    artworkFactsLabel_->setTextFormat(Qt::PlainText);
    artworkFactsLabel_->setObjectName(QStringLiteral("artworkFactsLabel"));
    artworkFactsLabel_->setAccessibleDescription(tr("Artwork size and type"));
    artworkNoticeLabel_ = noticeLabel(Notice::Warning, QStringLiteral("artworkNoticeLabel"), this);
    artworkNoticeLabel_->setAccessibleDescription(tr("Artwork warning"));
    // As wide as the artwork above it, so that it wraps the same way in every window.
    artworkNoticeLabel_->setFixedWidth(180);
}

void EditMetadataViewController::makeFormFields()
{
    titleField_ = makeField(QStringLiteral("titleField"), false, this);
    podcastField_ = makeField(QStringLiteral("podcastField"), false, this);
    artistField_ = makeField(QStringLiteral("artistField"), false, this);
    descriptionTextView_ = makeTextView(QStringLiteral("descriptionTextView"), 2, this);
    episodeNumberField_ = makeField(QStringLiteral("episodeNumberField"), false, this);
    seasonNumberField_ = makeField(QStringLiteral("seasonNumberField"), false, this);
    for (QLineEdit* number : {episodeNumberField_, seasonNumberField_})
        number->setMaximumWidth(80);
    genreField_ = makeField(QStringLiteral("genreField"), false, this);
    explicitCheckBox_ = new QCheckBox(tr("E&xplicit"), this);
    explicitCheckBox_->setObjectName(QStringLiteral("explicitCheckBox"));
    feedURLField_ = makeField(QStringLiteral("feedURLField"), false, this);
    feedURLField_->setPlaceholderText(QStringLiteral("https://"));
    longDescriptionTextView_ = makeTextView(QStringLiteral("longDescriptionTextView"), 3, this);
    loadChaptersButton_ = new QPushButton(tr("Load &Chapters\u2026"), this);
    loadChaptersButton_->setObjectName(QStringLiteral("loadChaptersButton"));
    chapterSummaryLabel_ = new QLabel(this);
    chapterSummaryLabel_->setTextFormat(Qt::PlainText);
    chapterSummaryLabel_->setObjectName(QStringLiteral("chapterSummaryLabel"));
    chapterListView_ = new QListWidget(this);
    chapterListView_->setObjectName(QStringLiteral("chapterListView"));
    chapterListView_->setAccessibleName(tr("Chapters"));
    chapterListView_->setFixedHeight(chapterListView_->fontMetrics().lineSpacing() * 4 + 12);
    chapterProblemsLabel_ = noticeLabel(Notice::Problem, QStringLiteral("chapterProblemsLabel"), this);
    chapterProblemsLabel_->setAccessibleDescription(tr("Problems in the chapter file"));
    previousEpisodeField_ = makeField(QStringLiteral("previousEpisodeField"), true, this);
    fileNameField_ = makeField(QStringLiteral("fileNameField"), true, this);
    durationField_ = makeField(QStringLiteral("durationField"), true, this);
    lengthField_ = makeField(QStringLiteral("lengthField"), true, this);
}

void EditMetadataViewController::makeStatusViews()
{
    errorLabel_ = noticeLabel(Notice::Problem, QStringLiteral("errorLabel"), this);
    // Read out by its text, which a screen reader hears again whenever it changes.
    errorLabel_->setAccessibleDescription(tr("Problem"));
    savingIndicator_ = new QProgressBar(this);
    savingIndicator_->setObjectName(QStringLiteral("savingIndicator"));
    savingIndicator_->setRange(0, 0); // busy: a save has no fraction worth showing
    savingIndicator_->setMaximumWidth(160);
    savingIndicator_->setAccessibleName(tr("Saving"));
    savingLabel_ = new QLabel(tr("Saving the tags\u2026"), this);
    checkProgressBar_ = new QProgressBar(this);
    checkProgressBar_->setObjectName(QStringLiteral("checkProgressBar"));
    checkProgressBar_->setRange(0, 100);
    checkProgressBar_->setMaximumWidth(160);
    checkProgressBar_->setAccessibleName(tr("Checking the episode"));
    checkSummaryLabel_ = new QLabel(this);
    checkSummaryLabel_->setObjectName(QStringLiteral("checkSummaryLabel"));
    checkSummaryLabel_->setTextFormat(Qt::PlainText);
    checkButton_ = new QPushButton(this);
    checkButton_->setObjectName(QStringLiteral("checkButton"));
    checkListView_ = new QListWidget(this);
    checkListView_->setObjectName(QStringLiteral("checkListView"));
    checkListView_->setAccessibleName(tr("Check before publishing"));
    checkListView_->setFixedHeight(checkListView_->fontMetrics().lineSpacing() * 6 + 12);
    checkListView_->setWordWrap(true);
    savingLabel_->setObjectName(QStringLiteral("savingLabel"));
}

QLayout* EditMetadataViewController::makeForm()
{
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(episodeNumberField_);
    numbers->addWidget(new QLabel(tr("Season:"), this));
    numbers->addWidget(seasonNumberField_);
    numbers->addStretch(1);
    auto* genre = new QHBoxLayout;
    genre->addWidget(genreField_, 1);
    genre->addWidget(explicitCheckBox_);
    auto* chapterRow = new QHBoxLayout;
    chapterRow->addWidget(loadChaptersButton_);
    chapterRow->addWidget(chapterSummaryLabel_, 1);
    auto* form = new QFormLayout;
    form->addRow(tr("Episode &title:"), titleField_);
    form->addRow(tr("&Podcast:"), podcastField_);
    form->addRow(tr("&Artist:"), artistField_);
    form->addRow(tr("&Description:"), descriptionTextView_);
    // A row whose field is a layout gets no buddy of its own: without one the mnemonic shows as "&".
    const auto labelFor = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    form->addRow(labelFor(tr("Episode &number:"), episodeNumberField_), numbers);
    form->addRow(labelFor(tr("&Genre:"), genreField_), genre);
    form->addRow(tr("&Feed URL:"), feedURLField_);
    form->addRow(tr("&Long description:"), longDescriptionTextView_);
    form->addRow(tr("Chapters:"), chapterRow);
    form->addRow(QString(), chapterListView_);
    form->addRow(QString(), chapterProblemsLabel_);
    // The report sits at the end of the form, which scrolls, so a small window keeps its fields.
    auto* check = new QHBoxLayout;
    check->addWidget(checkProgressBar_);
    check->addWidget(checkSummaryLabel_, 1);
    check->addWidget(checkButton_);
    form->addRow(tr("Before publishing:"), check);
    form->addRow(QString(), checkListView_);
    nameFieldsAfterLabels(form);
    episodeNumberField_->setAccessibleName(tr("Episode number"));
    seasonNumberField_->setAccessibleName(tr("Season number"));
    genreField_->setAccessibleName(tr("Genre"));
    return form;
}

// The artwork with what is known of it, then the facts of the file, which are read only.
QLayout* EditMetadataViewController::makeArtworkColumn()
{
    auto* facts = new QFormLayout;
    facts->setRowWrapPolicy(QFormLayout::WrapAllRows);
    facts->addRow(tr("Previous episode:"), previousEpisodeField_);
    facts->addRow(tr("File:"), fileNameField_);
    facts->addRow(tr("Duration:"), durationField_);
    facts->addRow(tr("Size in bytes:"), lengthField_);
    nameFieldsAfterLabels(facts);
    auto* left = new QVBoxLayout;
    left->addWidget(artworkImageView_);
    left->addWidget(artworkFactsLabel_);
    left->addWidget(artworkNoticeLabel_);
    left->addLayout(facts);
    left->addStretch(1);
    return left;
}

void EditMetadataViewController::setSelectedTemplateID(std::optional<qint64> id)
{
    selectedTemplateID_ = id;
    rebuildViewModel();
}

void EditMetadataViewController::setFileURL(std::optional<QUrl> url)
{
    fileURL_ = std::move(url);
    rebuildViewModel();
}

void EditMetadataViewController::rebuildViewModel()
{
    if (selectedTemplateID_)
        viewModel_ = std::make_unique<EditMetadataViewModel>(
            selectedTemplateID_, fileURL_, PodcastID3TagWriter::Clock(),
            EditMetadataViewModel::TemplateRead::InBackground);
    else
        viewModel_ = std::make_unique<EditMetadataViewModel>(std::nullopt, std::nullopt);
    viewModel_->delegate = this;
    formNeedsFilling_ = true;
    savesWithoutArtwork_ = false;
    showBusyState();
}

void EditMetadataViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setNextButtonTitle(terminatingButtonTextValue(TerminatingButtonText::Save));
    controller.setNextButtonEnabled(canSave());
    controller.setBackButtonEnabled(!viewModel_->isSaving());
    controller.setCancelButtonEnabled(true);
}

void EditMetadataViewController::didPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    // Coming back (Back from step 3) with the same template and file keeps what the user typed;
    // only the file's facts are read again, since a save changes them.
    if (auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(&controller);
        workflow && (formNeedsFilling_ || workflow->fileURL() != fileURL_))
        setFileURL(workflow->fileURL());
    if (formNeedsFilling_)
        refresh();
    else
        refreshFileFacts();
    // What arrived while the step was being shown could not reach the frame's buttons.
    showBusyState();
    titleField_->setFocus();
}

void EditMetadataViewController::editMetadataViewModelDidFillTemplate(EditMetadataViewModel&)
{
    refresh();
    // The fields were closed while the template was read; typing starts in the title as ever.
    if (isVisible())
        titleField_->setFocus();
}

void EditMetadataViewController::refresh()
{
    titleField_->setText(viewModel_->title());
    podcastField_->setText(viewModel_->podcast());
    artistField_->setText(viewModel_->artist());
    descriptionTextView_->setPlainText(viewModel_->episodeDescription());
    const PodcastFieldTexts podcast = viewModel_->podcastFields();
    episodeNumberField_->setText(podcast.episodeNumber);
    seasonNumberField_->setText(podcast.seasonNumber);
    genreField_->setText(podcast.genre);
    explicitCheckBox_->setChecked(podcast.explicitContent);
    feedURLField_->setText(podcast.feedURL);
    longDescriptionTextView_->setPlainText(podcast.longDescription);
    previousEpisodeField_->setText(viewModel_->previousEpisodeFormattedTitleString());
    errorLabel_->setText(viewModel_->errorText());
    errorLabel_->setVisible(!errorLabel_->text().isEmpty());
    formNeedsFilling_ = false;
    viewModel_->loadArtwork();
    refreshArtwork();
    refreshChapters();
    refreshFileFacts();
    viewModel_->startCheck();
    refreshCheck();
    showBusyState();
}

void EditMetadataViewController::refreshFileFacts()
{
    durationField_->setText(viewModel_->duration());
    lengthField_->setText(viewModel_->length());
    fileNameField_->setText(viewModel_->fileName());
    copyFormToWorkflow();
}

void EditMetadataViewController::refreshArtwork()
{
    const std::optional<ArtworkCheck>& check = viewModel_->artworkCheck();
    artworkImageView_->setImage(check ? check->preview : QImage());
    artworkFactsLabel_->setText(viewModel_->isLoadingArtwork() ? tr("Reading the artwork\u2026")
                                                               : viewModel_->artworkFacts());
    artworkNoticeLabel_->setText(viewModel_->artworkNotice());
    artworkNoticeLabel_->setVisible(!artworkNoticeLabel_->text().isEmpty());
}

void EditMetadataViewController::refreshChapters()
{
    chapterListView_->clear();
    for (const ChapterMark& chapter : viewModel_->chapters())
        chapterListView_->addItem(QStringLiteral("%1 \u2013 %2   %3")
                                      .arg(formattedChapterTime(chapter.startMilliseconds),
                                           formattedChapterTime(chapter.endMilliseconds), chapter.title));
    chapterSummaryLabel_->setText(viewModel_->isLoadingChapters() ? tr("Reading the chapter file\u2026")
                                                                  : viewModel_->chapterSummary());
    chapterProblemsLabel_->setText(viewModel_->chapterProblems().join(QLatin1Char('\n')));
    chapterProblemsLabel_->setVisible(!viewModel_->chapterProblems().isEmpty());
}

void EditMetadataViewController::refreshCheck()
{
    const bool checking = viewModel_->isChecking();
    checkProgressBar_->setVisible(checking);
    checkProgressBar_->setValue(int(viewModel_->checkProgress() * 100));
    checkButton_->setText(checking ? tr("Stop Check") : tr("Check Again"));
    checkButton_->setEnabled(checking || viewModel_->fileURL().has_value());
    checkListView_->clear();
    const std::optional<EpisodeCheckReport> report = viewModel_->checkReport(titleField_->text());
    if (checking)
        checkSummaryLabel_->setText(tr("Measuring the loudness and reading every frame\u2026"));
    else if (viewModel_->checkWasStopped())
        checkSummaryLabel_->setText(tr("Check stopped."));
    else
        checkSummaryLabel_->setText(report ? report->summary() : QString());
    if (!report)
        return;
    // What needs doing comes first.
    std::vector<EpisodeCheckItem> items = report->items;
    std::stable_sort(items.begin(), items.end(), [](const EpisodeCheckItem& a, const EpisodeCheckItem& b) {
        return a.verdict > b.verdict;
    });
    for (const EpisodeCheckItem& item : items) {
        QString text = item.name + QStringLiteral(": ") + item.finding;
        if (!item.advice.isEmpty())
            text += QStringLiteral("\n    ") + item.advice;
        const QStyle::StandardPixmap icon =
            item.verdict == EpisodeCheckItem::Verdict::Pass      ? QStyle::SP_DialogApplyButton
            : item.verdict == EpisodeCheckItem::Verdict::Warning ? QStyle::SP_MessageBoxWarning
                                                                 : QStyle::SP_MessageBoxCritical;
        auto* row = new QListWidgetItem(style()->standardIcon(icon), text, checkListView_);
        row->setData(Qt::UserRole, verdictName(item.verdict));
        row->setData(Qt::AccessibleDescriptionRole, verdictName(item.verdict));
    }
}

void EditMetadataViewController::editMetadataViewModelDidUpdateCheck(EditMetadataViewModel&)
{
    refreshCheck();
}

void EditMetadataViewController::editMetadataViewModelDidLoadArtwork(EditMetadataViewModel&)
{
    refreshCheck();
    refreshArtwork();
    showBusyState();
}

void EditMetadataViewController::editMetadataViewModelDidReadEpisodeFile(EditMetadataViewModel&)
{
    refreshFileFacts();
}

void EditMetadataViewController::editMetadataViewModelDidLoadChapters(EditMetadataViewModel&)
{
    refreshChapters();
    refreshCheck();
    showBusyState();
}

void EditMetadataViewController::loadChaptersButtonPressed()
{
    OpenPanelOptions options;
    options.title = tr("Choose the Episode\u2019s Chapter List");
    options.allowedFileTypes = {QStringLiteral("txt")};
    QPointer<EditMetadataViewController> self(this);
    OpenPanel::begin(this, options, [self](std::optional<QList<QUrl>> chosen) {
        if (!self || !chosen || chosen->isEmpty())
            return;
        self->viewModel_->loadChapterFile(chosen->front());
        self->refreshChapters();
        self->showBusyState();
    });
}

void EditMetadataViewController::copyFormToWorkflow()
{
    auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(progressNavigationController());
    if (!workflow)
        return;
    workflow->setEpisodeTitle(titleField_->text());
    workflow->setPodcastTitle(podcastField_->text());
    workflow->setArtist(artistField_->text());
    workflow->setEpisodeDescription(descriptionTextView_->toPlainText());
}

ID3TagValues EditMetadataViewController::tagsInForm() const
{
    ID3TagValues form;
    form.title = titleField_->text();
    form.album = podcastField_->text();
    form.artist = artistField_->text();
    form.comment = descriptionTextView_->toPlainText();
    form.artwork = viewModel_->artworkToWrite();
    return form;
}

PodcastFieldTexts EditMetadataViewController::podcastFieldsInForm() const
{
    PodcastFieldTexts fields;
    fields.genre = genreField_->text();
    fields.episodeNumber = episodeNumberField_->text();
    fields.seasonNumber = seasonNumberField_->text();
    fields.longDescription = longDescriptionTextView_->toPlainText();
    fields.feedURL = feedURLField_->text();
    fields.explicitContent = explicitCheckBox_->isChecked();
    return fields;
}

NextStepAction EditMetadataViewController::nextStepAction()
{
    if (viewModel_->isSaving() || viewModel_->isLoadingTemplate() || viewModel_->isLoadingArtwork() ||
        viewModel_->isLoadingChapters())
        return NextStepAction::Right([] {});
    if (viewModel_->artworkIsMissing() && !savesWithoutArtwork_) {
        QPointer<EditMetadataViewController> self(this);
        QuestionSheet::ask(
            this, {tr("Artwork Missing"), viewModel_->missingArtworkQuestion(), tr("Save Without Artwork")},
            [self](bool yes) {
                if (!self || !yes)
                    return;
                self->savesWithoutArtwork_ = true;
                self->startSaving();
            });
    } else {
        startSaving();
    }
    // The step moves on once the tags are written (editMetadataViewModelDidFinishSaving).
    return NextStepAction::Right([] {});
}

void EditMetadataViewController::startSaving()
{
    if (!viewModel_->isSaving() && viewModel_->save(tagsInForm(), podcastFieldsInForm()))
        showBusyState();
}

bool EditMetadataViewController::canSave() const
{
    // Saving before the artwork or the chapters are read would leave them out without a word, and
    // before the template and the episode have arrived it would save a form they are about to fill.
    return !viewModel_->isSaving() && !viewModel_->isLoadingTemplate() && !viewModel_->isLoadingArtwork() &&
           !viewModel_->isLoadingChapters();
}

void EditMetadataViewController::showBusyState()
{
    const bool saving = viewModel_->isSaving();
    // Typing before the template has arrived would be overwritten by it.
    const bool fillingForm = viewModel_->isLoadingTemplate();
    savingIndicator_->setVisible(saving);
    savingLabel_->setVisible(saving);
    for (QWidget* field : std::initializer_list<QWidget*>{
             titleField_, podcastField_, artistField_, descriptionTextView_, episodeNumberField_,
             seasonNumberField_, genreField_, explicitCheckBox_, feedURLField_, longDescriptionTextView_,
             loadChaptersButton_, artworkImageView_})
        field->setEnabled(!saving && !fillingForm);
    if (saving)
        errorLabel_->hide();
    if (ProgressNavigationController* frame = progressNavigationController();
        frame && frame->isShowing(this)) {
        frame->setNextButtonEnabled(canSave());
        frame->setBackButtonEnabled(!saving);
    }
}

void EditMetadataViewController::editMetadataViewModelDidFinishSaving(EditMetadataViewModel&, bool saved)
{
    showBusyState();
    refreshChapters();
    if (saved)
        moveOn();
}

void EditMetadataViewController::moveOn()
{
    ProgressNavigationController* frame = progressNavigationController();
    // A step the user has left meanwhile (Cancel) stays where it is.
    if (!frame || !frame->contentNavigationController() ||
        frame->contentNavigationController()->visibleViewController() != this)
        return;
    errorLabel_->hide();
    QWidget* next = selectPodcastHostViewController_ ? selectPodcastHostViewController_() : nullptr;
    if (ProgressNavigationControllerChild* nextStep = progressNavigationControllerChild(next))
        nextStep->setProgressNavigationController(frame);
    copyFormToWorkflow();
    // The upload must not look for the artwork file that is gone.
    if (auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(frame);
        workflow && viewModel_->artworkIsMissing())
        workflow->setArtworkURL(std::nullopt);
    frame->displayNextViewController(next);
}

void EditMetadataViewController::stepShouldLeave(StepLeaveReason reason, std::function<void()> proceed)
{
    if (reason == StepLeaveReason::Cancel || !viewModel_->isSaving()) {
        proceed();
        return;
    }
    askToStop(window(), tr("Stop saving the tags of \u201c%1\u201d?").arg(viewModel_->fileName()),
              tr("The episode keeps the tags it had, unless the save is already being completed."),
              tr("Stop Saving"), [self = QPointer<EditMetadataViewController>(this), proceed] {
                  if (self)
                      self->viewModel_->abandonSaving();
                  proceed();
              });
}

void EditMetadataViewController::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        viewModel_->cancelSaving();
    QWidget::hideEvent(event);
}

void EditMetadataViewController::editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel&)
{
    errorLabel_->hide();
}

void EditMetadataViewController::editMetadataViewModelDidSetErrorMessageFromSaving(
    EditMetadataViewModel& viewModel, const QString& errorMessage)
{
    standardOutputLine(QStringLiteral("Error saving ") + errorMessage);
    errorLabel_->setText(viewModel.errorText());
    errorLabel_->show();
}

} // namespace airlark
