#include "metadata/ui/CreateID3TemplateViewController.h"

#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/OpenPanel.h"
#include "platform/StandardOutput.h"
#include "platform/ui/WindowLayout.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace airlark {
namespace {

QLineEdit* makeField(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setAccessibleName(accessibleName);
    return field;
}

} // namespace

CreateID3TemplateViewController::CreateID3TemplateViewController(QWidget* parent,
                                                                 std::optional<qint64> editedTemplateID)
    : QWidget(parent), viewModel_(std::make_unique<CreateID3TemplateViewModel>(editedTemplateID))
{
    setObjectName(QStringLiteral("CreateID3TemplateViewController"));
    makeFields();
    makeArtworkViews();
    errorLabel_ = noticeLabel(Notice::Problem, QStringLiteral("errorLabel"), this);
    errorLabel_->setAccessibleName(tr("Problem"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(makeForm());
    layout->addWidget(errorLabel_);
    layout->addStretch(1);
    layout->addWidget(makeButtons());
    connectFields();

    // viewDidLoad.
    viewModel().delegate = this;
    genreField_->setText(viewModel().podcastFields().genre);
    saveButton_->setEnabled(false);
    artworkFileLabel_->setText(viewModel().artworkURLDisplay());
}

void CreateID3TemplateViewController::makeFields()
{
    albumField_ = makeField(QStringLiteral("albumField"), tr("Podcast name"), this);
    artistField_ = makeField(QStringLiteral("artistField"), tr("Artist"), this);
    genreField_ = makeField(QStringLiteral("genreField"), tr("Genre"), this);
    seasonField_ = makeField(QStringLiteral("seasonField"), tr("Season"), this);
    seasonField_->setPlaceholderText(tr("none"));
    feedURLField_ = makeField(QStringLiteral("feedURLField"), tr("Feed URL"), this);
    feedURLField_->setPlaceholderText(QStringLiteral("https://"));
    explicitCheckBox_ = new QCheckBox(tr("E&xplicit content"), this);
    explicitCheckBox_->setObjectName(QStringLiteral("explicitCheckBox"));
}

void CreateID3TemplateViewController::makeArtworkViews()
{
    artworkImageView_ = new ImageFileDropLocationView(this);
    artworkImageView_->setObjectName(QStringLiteral("artworkImageView"));
    artworkImageView_->setDelegate(this);
    artworkImageView_->setAccessibleName(tr("Artwork preview"));
    artworkImageView_->setMinimumSize(128, 128);
    artworkFileLabel_ = new QLabel(this);
    artworkFileLabel_->setTextFormat(Qt::PlainText);
    artworkFileLabel_->setObjectName(QStringLiteral("artworkFileLabel"));
    artworkFileLabel_->setAccessibleName(tr("Artwork file"));
    artworkFactsLabel_ = new QLabel(this);
    artworkFactsLabel_->setTextFormat(Qt::PlainText);
    artworkFactsLabel_->setObjectName(QStringLiteral("artworkFactsLabel"));
    artworkFactsLabel_->setAccessibleName(tr("Artwork size and type"));
    artworkNoticeLabel_ = noticeLabel(Notice::Warning, QStringLiteral("artworkNoticeLabel"), this);
    artworkNoticeLabel_->setAccessibleName(tr("Artwork warning"));
    chooseArtworkButton_ = new QPushButton(tr("C&hoose Artwork\u2026"), this);
    chooseArtworkButton_->setObjectName(QStringLiteral("chooseArtworkButton"));
}

QLayout* CreateID3TemplateViewController::makeForm()
{
    auto* artworkRow = new QHBoxLayout;
    artworkRow->addWidget(chooseArtworkButton_);
    artworkRow->addWidget(artworkFileLabel_, 1);
    auto* artworkFacts = new QVBoxLayout;
    artworkFacts->addWidget(artworkFactsLabel_);
    artworkFacts->addWidget(artworkNoticeLabel_);
    artworkFacts->addStretch(1);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(artworkImageView_, 0, Qt::AlignTop);
    previewRow->addLayout(artworkFacts, 1);

    auto* form = new QFormLayout;
    form->addRow(tr("&Podcast name:"), albumField_);
    form->addRow(tr("&Artist:"), artistField_);
    form->addRow(tr("&Genre:"), genreField_);
    form->addRow(tr("Sea&son:"), seasonField_);
    form->addRow(tr("&Feed URL:"), feedURLField_);
    form->addRow(QString(), explicitCheckBox_);
    form->addRow(tr("Artwork:"), artworkRow);
    form->addRow(QString(), previewRow);
    return form;
}

QDialogButtonBox* CreateID3TemplateViewController::makeButtons()
{
    QDialogButtonBox* buttons = buttonBar(this);
    saveButton_ = buttons->addButton(tr("&Save"), QDialogButtonBox::AcceptRole);
    saveButton_->setObjectName(QStringLiteral("saveButton"));
    saveButton_->setDefault(true);
    cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    return buttons;
}

void CreateID3TemplateViewController::connectFields()
{
    connect(artistField_, &QLineEdit::textChanged, this,
            &CreateID3TemplateViewController::artistFieldDidChange);
    connect(albumField_, &QLineEdit::textChanged, this,
            &CreateID3TemplateViewController::podcastFieldDidChange);
    for (QLineEdit* field : {genreField_, seasonField_, feedURLField_})
        connect(field, &QLineEdit::textChanged, this,
                &CreateID3TemplateViewController::podcastFieldsDidChange);
    connect(explicitCheckBox_, &QCheckBox::toggled, this,
            &CreateID3TemplateViewController::podcastFieldsDidChange);
    connect(chooseArtworkButton_, &QPushButton::clicked, this,
            &CreateID3TemplateViewController::chooseArtworkButtonPressed);
    connect(saveButton_, &QPushButton::clicked, this, &CreateID3TemplateViewController::savePressed);
    connect(cancelButton_, &QPushButton::clicked, this, &CreateID3TemplateViewController::cancelPressed);
}

CreateID3TemplateViewController::~CreateID3TemplateViewController()
{
    if (viewModel_)
        viewModel_->delegate = nullptr;
}

QWidget* CreateID3TemplateViewController::makeWindow(QWidget* owner, std::optional<qint64> editedTemplateID)
{
    auto* window = new CreateID3TemplateViewController(owner, editedTemplateID);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(editedTemplateID ? tr("Edit Template") : tr("New Template"));
    window->resize(480, 520);
    keepContentsWhole(*window);
    return window;
}

CreateID3TemplateViewModel& CreateID3TemplateViewController::viewModel()
{
    if (!viewModel_)
        viewModel_ = std::make_unique<CreateID3TemplateViewModel>();
    return *viewModel_;
}

void CreateID3TemplateViewController::artistFieldDidChange()
{
    viewModel().setArtist(artistField_->text());
}

void CreateID3TemplateViewController::podcastFieldDidChange()
{
    viewModel().setPodcast(albumField_->text());
}

void CreateID3TemplateViewController::podcastFieldsDidChange()
{
    PodcastFieldTexts fields;
    fields.genre = genreField_->text();
    fields.seasonNumber = seasonField_->text();
    fields.feedURL = feedURLField_->text();
    fields.explicitContent = explicitCheckBox_->isChecked();
    viewModel().setPodcastFields(fields);
}

void CreateID3TemplateViewController::createID3TemplateViewModelFieldValuesDidChange(
    CreateID3TemplateViewModel& model)
{
    saveButton_->setEnabled(model.canSave());
    chooseArtworkButton_->setEnabled(!model.isSaving());
    artworkFileLabel_->setText(model.isCheckingArtwork() ? tr("Reading the image\u2026")
                                                         : model.artworkURLDisplay());
    const std::optional<ArtworkCheck>& check = model.artworkCheck();
    artworkImageView_->setImage(check ? check->preview : QImage());
    artworkFactsLabel_->setText(check ? check->description : QString());
    artworkNoticeLabel_->setText(model.artworkNotice());
    artworkNoticeLabel_->setVisible(!model.artworkNotice().isEmpty());
    const QStringList problems = model.podcastFields().problems();
    errorLabel_->setText(problems.join(QLatin1Char('\n')));
    errorLabel_->setVisible(!problems.isEmpty());
}

void CreateID3TemplateViewController::createID3TemplateViewModelDidLoadTemplate(
    CreateID3TemplateViewModel& model)
{
    if (!model.loadProblem().isEmpty()) {
        errorLabel_->setText(model.loadProblem());
        errorLabel_->show();
        return;
    }
    // Copied before the first field is set: each set reports the form back to the view model.
    const QString podcast = model.podcast();
    const QString artist = model.artist();
    const PodcastFieldTexts fields = model.podcastFields();
    albumField_->setText(podcast);
    artistField_->setText(artist);
    genreField_->setText(fields.genre);
    seasonField_->setText(fields.seasonNumber);
    feedURLField_->setText(fields.feedURL);
    explicitCheckBox_->setChecked(fields.explicitContent);
}

void CreateID3TemplateViewController::chooseArtworkButtonPressed()
{
    OpenPanelOptions options;
    options.title = tr("Choose the Podcast Artwork");
    options.allowedFileTypes = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};
    QPointer<CreateID3TemplateViewController> self(this);
    OpenPanel::begin(this, options, [self](std::optional<QList<QUrl>> chosen) {
        if (self && chosen && !chosen->isEmpty())
            self->viewModel().chooseArtwork(chosen->front());
    });
}

QString CreateID3TemplateViewController::messageFor(ID3TemplateFieldValidationError error,
                                                    const QString& podcast, const QStringList& fieldProblems)
{
    switch (error) {
    case ID3TemplateFieldValidationError::Name:
        return tr("Enter the podcast\u2019s name.");
    case ID3TemplateFieldValidationError::Database:
        return tr("The template could not be saved: Airlark\u2019s data folder cannot be opened.");
    case ID3TemplateFieldValidationError::Fields:
        return fieldProblems.join(QLatin1Char('\n'));
    case ID3TemplateFieldValidationError::Artwork:
        return tr("The template could not be saved: Airlark could not keep a copy of the artwork in its data "
                  "folder. Check that the disk has room, then save again.");
    case ID3TemplateFieldValidationError::Save:
        break;
    }
    return tr("The template could not be saved. A template named \u201c%1\u201d may already exist; choose "
              "another "
              "name.")
        .arg(podcast);
}

void CreateID3TemplateViewController::savePressed()
{
    viewModel().setArtist(artistField_->text());
    viewModel().setPodcast(albumField_->text());
    if (const std::optional<ID3TemplateFieldValidationError> error = viewModel().save())
        showError(*error);
}

void CreateID3TemplateViewController::createID3TemplateViewModelDidFinishSaving(
    CreateID3TemplateViewModel&, std::optional<ID3TemplateFieldValidationError> error)
{
    if (error) {
        showError(*error);
        return;
    }
    errorLabel_->hide();
    window()->close();
}

void CreateID3TemplateViewController::showError(ID3TemplateFieldValidationError error)
{
    standardOutputLine(QStringLiteral("Handle error ") + printable(error));
    errorLabel_->setText(messageFor(error, viewModel().podcast(), viewModel().podcastFields().problems()));
    errorLabel_->show();
}

void CreateID3TemplateViewController::cancelPressed()
{
    window()->close();
}

} // namespace airlark
