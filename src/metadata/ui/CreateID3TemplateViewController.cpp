#include "metadata/ui/CreateID3TemplateViewController.h"

#include "metadata/SelectTemplateViewModel.h"
#include "metadata/ui/FileDropLocationView.h"
#include "metadata/ui/OpenPanel.h"
#include "platform/StandardOutput.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace airlark {

CreateID3TemplateViewController::CreateID3TemplateViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CreateID3TemplateViewController"));

    albumField_ = new QLineEdit(this);
    albumField_->setObjectName(QStringLiteral("albumField"));
    albumField_->setAccessibleName(tr("Podcast name"));
    artistField_ = new QLineEdit(this);
    artistField_->setObjectName(QStringLiteral("artistField"));
    artistField_->setAccessibleName(tr("Artist"));

    artworkImageView_ = new ImageFileDropLocationView(this);
    artworkImageView_->setObjectName(QStringLiteral("artworkImageView"));
    artworkImageView_->setDelegate(this);
    artworkImageView_->setAccessibleName(tr("Artwork preview"));
    artworkImageView_->setMinimumSize(128, 128);
    artworkFileLabel_ = new QLabel(this);
    artworkFileLabel_->setObjectName(QStringLiteral("artworkFileLabel"));
    artworkFileLabel_->setAccessibleName(tr("Artwork file"));
    chooseArtworkButton_ = new QPushButton(tr("C&hoose Artwork\u2026"), this);
    chooseArtworkButton_->setObjectName(QStringLiteral("chooseArtworkButton"));

    errorLabel_ = new QLabel(this);
    errorLabel_->setObjectName(QStringLiteral("errorLabel"));
    errorLabel_->setWordWrap(true);
    errorLabel_->setStyleSheet(QStringLiteral("color: #b3261e;"));
    errorLabel_->setAccessibleName(tr("Problem"));
    errorLabel_->hide();

    auto* buttons = new QDialogButtonBox(this);
    saveButton_ = buttons->addButton(tr("&Save"), QDialogButtonBox::AcceptRole);
    saveButton_->setObjectName(QStringLiteral("saveButton"));
    saveButton_->setDefault(true);
    cancelButton_ = buttons->addButton(QDialogButtonBox::Cancel);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));

    auto* artworkRow = new QHBoxLayout;
    artworkRow->addWidget(chooseArtworkButton_);
    artworkRow->addWidget(artworkFileLabel_, 1);
    auto* form = new QFormLayout;
    form->addRow(tr("&Podcast name:"), albumField_);
    form->addRow(tr("&Artist:"), artistField_);
    form->addRow(tr("Artwork:"), artworkRow);
    form->addRow(QString(), artworkImageView_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(errorLabel_);
    layout->addWidget(buttons);

    connect(artistField_, &QLineEdit::textChanged, this,
            &CreateID3TemplateViewController::artistFieldDidChange);
    connect(albumField_, &QLineEdit::textChanged, this,
            &CreateID3TemplateViewController::podcastFieldDidChange);
    connect(chooseArtworkButton_, &QPushButton::clicked, this,
            &CreateID3TemplateViewController::chooseArtworkButtonPressed);
    connect(saveButton_, &QPushButton::clicked, this, &CreateID3TemplateViewController::savePressed);
    connect(cancelButton_, &QPushButton::clicked, this, &CreateID3TemplateViewController::cancelPressed);

    // viewDidLoad.
    viewModel().delegate = this;
    saveButton_->setEnabled(false);
    artworkFileLabel_->setText(viewModel().artworkURLDisplay());
}

CreateID3TemplateViewController::~CreateID3TemplateViewController()
{
    if (viewModel_)
        viewModel_->delegate = nullptr;
}

QWidget* CreateID3TemplateViewController::makeWindow(QWidget* owner)
{
    auto* window = new CreateID3TemplateViewController(owner);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(tr("New Template"));
    window->resize(440, 360);
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

void CreateID3TemplateViewController::createID3TemplateViewModelFieldValuesDidChange(
    CreateID3TemplateViewModel& model)
{
    saveButton_->setEnabled(model.canSave());
    artworkFileLabel_->setText(model.artworkURLDisplay());
    const std::optional<QImage> preview =
        model.artworkURL() ? loadThumbnail(*model.artworkURL(), 256) : std::optional<QImage>();
    artworkImageView_->setImage(preview.value_or(QImage()));
}

void CreateID3TemplateViewController::chooseArtworkButtonPressed()
{
    OpenPanelOptions options;
    options.title = tr("Choose the Podcast Artwork");
    options.allowedFileTypes = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};
    QPointer<CreateID3TemplateViewController> self(this);
    OpenPanel::begin(this, options, [self](std::optional<QList<QUrl>> chosen) {
        if (self && chosen && !chosen->isEmpty())
            self->viewModel().setArtworkURL(chosen->front());
    });
}

QString CreateID3TemplateViewController::messageFor(ID3TemplateFieldValidationError error,
                                                    const QString& podcast)
{
    switch (error) {
    case ID3TemplateFieldValidationError::Name:
        return tr("Enter the podcast\u2019s name.");
    case ID3TemplateFieldValidationError::Database:
        return tr("The template could not be saved: Airlark\u2019s data folder cannot be opened.");
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
    ID3TemplateFieldValidationError error{};
    if (viewModel().saveAndReturnError(&error)) {
        errorLabel_->hide();
        window()->close();
        return;
    }
    standardOutputLine(QStringLiteral("Handle error ") + printable(error));
    errorLabel_->setText(messageFor(error, viewModel().podcast()));
    errorLabel_->show();
}

void CreateID3TemplateViewController::cancelPressed()
{
    window()->close();
}

} // namespace airlark
