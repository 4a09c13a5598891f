#include "metadata/ui/EditMetadataViewController.h"

#include "metadata/ui/FileDropLocationView.h"
#include "platform/StandardOutput.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QVBoxLayout>

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

} // namespace

EditMetadataViewController::EditMetadataViewController(
    std::function<QWidget*()> selectPodcastHostViewController, QWidget* parent)
    : QWidget(parent), selectPodcastHostViewController_(std::move(selectPodcastHostViewController))
{
    setObjectName(QStringLiteral("EditMetadataViewController"));

    artworkImageView_ = new ImageFileDropLocationView(this);
    artworkImageView_->setObjectName(QStringLiteral("artworkImageView"));
    artworkImageView_->setAccessibleName(tr("Artwork"));
    artworkImageView_->setMinimumSize(160, 160);
    artworkImageView_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    titleField_ = makeField(QStringLiteral("titleField"), false, this);
    podcastField_ = makeField(QStringLiteral("podcastField"), false, this);
    artistField_ = makeField(QStringLiteral("artistField"), false, this);
    descriptionTextView_ = new QPlainTextEdit(this);
    descriptionTextView_->setObjectName(QStringLiteral("descriptionTextView"));
    descriptionTextView_->setTabChangesFocus(true);
    previousEpisodeField_ = makeField(QStringLiteral("previousEpisodeField"), true, this);
    fileNameField_ = makeField(QStringLiteral("fileNameField"), true, this);
    durationField_ = makeField(QStringLiteral("durationField"), true, this);
    lengthField_ = makeField(QStringLiteral("lengthField"), true, this);

    errorLabel_ = new QLabel(this);
    errorLabel_->setObjectName(QStringLiteral("errorLabel"));
    errorLabel_->setWordWrap(true);
    errorLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    errorLabel_->setStyleSheet(QStringLiteral("color: #b3261e;"));
    // Read out by its text, which a screen reader hears again whenever it changes.
    errorLabel_->setAccessibleDescription(tr("Problem"));
    errorLabel_->hide();

    savingIndicator_ = new QProgressBar(this);
    savingIndicator_->setObjectName(QStringLiteral("savingIndicator"));
    savingIndicator_->setRange(0, 0); // busy: a save has no fraction worth showing
    savingIndicator_->setMaximumWidth(160);
    savingIndicator_->setAccessibleName(tr("Saving"));
    savingLabel_ = new QLabel(tr("Saving the tags\u2026"), this);
    savingLabel_->setObjectName(QStringLiteral("savingLabel"));

    auto* form = new QFormLayout;
    form->addRow(tr("Episode &title:"), titleField_);
    form->addRow(tr("&Podcast:"), podcastField_);
    form->addRow(tr("&Artist:"), artistField_);
    form->addRow(tr("&Description:"), descriptionTextView_);
    form->addRow(tr("Previous episode:"), previousEpisodeField_);
    form->addRow(tr("File:"), fileNameField_);
    form->addRow(tr("Duration:"), durationField_);
    form->addRow(tr("Size in bytes:"), lengthField_);
    // Screen readers take each field's name from its label.
    for (QLineEdit* field : {titleField_, podcastField_, artistField_, previousEpisodeField_, fileNameField_,
                             durationField_, lengthField_}) {
        if (auto* label = qobject_cast<QLabel*>(form->labelForField(field)))
            field->setAccessibleName(label->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    }
    descriptionTextView_->setAccessibleName(tr("Description"));

    auto* top = new QHBoxLayout;
    top->addWidget(artworkImageView_, 0, Qt::AlignTop);
    top->addLayout(form, 1);
    auto* saving = new QHBoxLayout;
    saving->addWidget(savingIndicator_);
    saving->addWidget(savingLabel_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(saving);
    layout->addWidget(errorLabel_);

    // viewDidLoad: the keyboard order of the editable fields.
    setTabOrder(titleField_, podcastField_);
    setTabOrder(podcastField_, artistField_);
    setTabOrder(artistField_, descriptionTextView_);

    // A save must end, and its thread with it, before the application does.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { viewModel_->abandonSaving(); });
    rebuildViewModel();
}

EditMetadataViewController::~EditMetadataViewController() = default;

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
        viewModel_ = std::make_unique<EditMetadataViewModel>(selectedTemplateID_, fileURL_);
    else
        viewModel_ = std::make_unique<EditMetadataViewModel>(std::nullopt, std::nullopt);
    viewModel_->delegate = this;
    formNeedsFilling_ = true;
    showSavingState();
}

void EditMetadataViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setNextButtonTitle(tr("Save"));
    controller.setNextButtonEnabled(!viewModel_->isSaving());
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
    titleField_->setFocus();
}

void EditMetadataViewController::editMetadataViewModelDidFillTemplate(EditMetadataViewModel&)
{
    refresh();
}

void EditMetadataViewController::refresh()
{
    titleField_->setText(viewModel_->title());
    podcastField_->setText(viewModel_->podcast());
    artistField_->setText(viewModel_->artist());
    descriptionTextView_->setPlainText(viewModel_->episodeDescription());
    const std::optional<QImage> artwork = viewModel_->artwork();
    artworkImageView_->setImage(artwork.value_or(QImage()));
    artworkImageView_->setImageFileURL(artwork ? viewModel_->artworkURL() : std::nullopt);
    previousEpisodeField_->setText(viewModel_->previousEpisodeFormattedTitleString());
    errorLabel_->setText(viewModel_->errorText());
    errorLabel_->setVisible(!errorLabel_->text().isEmpty());
    formNeedsFilling_ = false;
    refreshFileFacts();
}

void EditMetadataViewController::refreshFileFacts()
{
    durationField_->setText(viewModel_->duration());
    lengthField_->setText(viewModel_->length());
    fileNameField_->setText(viewModel_->fileName());
    copyFormToWorkflow();
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

std::optional<EmbeddedArtwork> EditMetadataViewController::artworkToWrite() const
{
    const QImage shown = artworkImageView_->image();
    if (shown.isNull())
        return std::nullopt;
    if (const std::optional<QUrl>& source = artworkImageView_->imageFileURL()) {
        if (auto fromFile = EmbeddedArtwork::fromFileUrl(*source))
            return fromFile;
    }
    return EmbeddedArtwork::fromImage(shown);
}

NextStepAction EditMetadataViewController::nextStepAction()
{
    if (!viewModel_->isSaving() &&
        viewModel_->save(titleField_->text(), artworkToWrite(), podcastField_->text(), artistField_->text(),
                         descriptionTextView_->toPlainText()))
        showSavingState();
    // The step moves on once the tags are written (editMetadataViewModelDidFinishSaving).
    return NextStepAction::Right([] {});
}

void EditMetadataViewController::showSavingState()
{
    const bool saving = viewModel_->isSaving();
    savingIndicator_->setVisible(saving);
    savingLabel_->setVisible(saving);
    for (QWidget* field : std::initializer_list<QWidget*>{titleField_, podcastField_, artistField_,
                                                          descriptionTextView_, artworkImageView_})
        field->setEnabled(!saving);
    if (saving)
        errorLabel_->hide();
    if (ProgressNavigationController* frame = progressNavigationController();
        frame && frame->contentNavigationController() &&
        frame->contentNavigationController()->visibleViewController() == this) {
        frame->setNextButtonEnabled(!saving);
        frame->setBackButtonEnabled(!saving);
    }
}

void EditMetadataViewController::editMetadataViewModelDidFinishSaving(EditMetadataViewModel&, bool saved)
{
    showSavingState();
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
    frame->displayNextViewController(next);
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
