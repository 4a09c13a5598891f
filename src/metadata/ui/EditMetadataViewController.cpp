#include "metadata/ui/EditMetadataViewController.h"

#include "metadata/ui/FileDropLocationView.h"
#include "platform/StandardOutput.h"
#include "platform/ui/TerminatingButtonText.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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
    errorLabel_->setAccessibleName(tr("Problem"));
    errorLabel_->hide();

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
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(errorLabel_);

    // viewDidLoad: the keyboard order of the editable fields.
    setTabOrder(titleField_, podcastField_);
    setTabOrder(podcastField_, artistField_);
    setTabOrder(artistField_, descriptionTextView_);

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
}

void EditMetadataViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setNextButtonTitle(terminatingButtonTextValue(TerminatingButtonText::Save));
    controller.setNextButtonEnabled(true);
    controller.setBackButtonEnabled(true);
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
    errorLabel_->setVisible(viewModel_->errorMessageFromSaving().has_value());
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
    const bool saved = viewModel_->save(titleField_->text(), artworkToWrite(), podcastField_->text(),
                                        artistField_->text(), descriptionTextView_->toPlainText());
    if (!saved) {
        // Stay here with the reason on screen; Save can be pressed again once it is fixed.
        return NextStepAction::Right([] {});
    }
    errorLabel_->hide();
    QWidget* next = selectPodcastHostViewController_ ? selectPodcastHostViewController_() : nullptr;
    if (ProgressNavigationControllerChild* nextStep = progressNavigationControllerChild(next))
        nextStep->setProgressNavigationController(progressNavigationController());
    copyFormToWorkflow();
    return NextStepAction::Left(next);
}

void EditMetadataViewController::editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel&)
{
    errorLabel_->hide();
}

void EditMetadataViewController::editMetadataViewModelDidSetErrorMessageFromSaving(
    EditMetadataViewModel& viewModel, const QString& errorMessage)
{
    standardOutputLine(QStringLiteral("Error saving ") + errorMessage);
    QString shown = errorMessage;
    if (!viewModel.saveFailureReason().isEmpty() && viewModel.saveFailureReason() != errorMessage)
        shown += QLatin1Char('\n') + viewModel.saveFailureReason();
    errorLabel_->setText(shown + QLatin1Char('\n') + tr("The file was not changed."));
    errorLabel_->show();
}

} // namespace airlark
