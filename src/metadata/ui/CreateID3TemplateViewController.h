#pragma once

#include "metadata/CreateID3TemplateViewModel.h"
#include "metadata/FileDropLocationViewDelegate.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;

namespace airlark {

class ImageFileDropLocationView;

// The content of the template window: podcast name, artist, artwork file and the podcast fields;
// Save keeps a copy of the artwork, stores the template (a new one, or over the edited one) and
// closes the window.
class CreateID3TemplateViewController : public QWidget,
                                        public CreateID3TemplateViewModelDelegate,
                                        public FileDropLocationViewDelegate
{
    Q_OBJECT
public:
    // Edits the stored template `editedTemplateID`, or makes a new one without it.
    explicit CreateID3TemplateViewController(QWidget* parent = nullptr,
                                             std::optional<qint64> editedTemplateID = std::nullopt);
    ~CreateID3TemplateViewController() override;

    // A window showing a new controller, deleted when it closes. `owner` keeps it above that window.
    static QWidget* makeWindow(QWidget* owner, std::optional<qint64> editedTemplateID = std::nullopt);

    CreateID3TemplateViewModel& viewModel();

    // Outlets.
    QLineEdit* artistField() const { return artistField_; }
    QLineEdit* albumField() const { return albumField_; }
    QLineEdit* genreField() const { return genreField_; }
    QLineEdit* seasonField() const { return seasonField_; }
    QLineEdit* feedURLField() const { return feedURLField_; }
    QCheckBox* explicitCheckBox() const { return explicitCheckBox_; }
    QLabel* artworkFileLabel() const { return artworkFileLabel_; }
    // The artwork's size and type, and what is wrong with it (or with the file last chosen).
    QLabel* artworkFactsLabel() const { return artworkFactsLabel_; }
    QLabel* artworkNoticeLabel() const { return artworkNoticeLabel_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* chooseArtworkButton() const { return chooseArtworkButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLabel* errorLabel() const { return errorLabel_; }
    ImageFileDropLocationView* artworkImageView() const { return artworkImageView_; }

    void createID3TemplateViewModelFieldValuesDidChange(CreateID3TemplateViewModel& viewModel) override;
    void
    createID3TemplateViewModelDidFinishSaving(CreateID3TemplateViewModel& viewModel,
                                              std::optional<ID3TemplateFieldValidationError> error) override;
    void createID3TemplateViewModelDidLoadTemplate(CreateID3TemplateViewModel& viewModel) override;
    // A dropped image does not become the artwork: the image target refuses every drag anyway.
    void didSetFileWithURL(const QUrl&) override {}

    // The message shown under the form when saving fails.
    static QString messageFor(ID3TemplateFieldValidationError error, const QString& podcast,
                              const QStringList& fieldProblems = {});

public slots:
    void artistFieldDidChange();
    void podcastFieldDidChange();
    void podcastFieldsDidChange();
    void chooseArtworkButtonPressed();
    void savePressed();
    void cancelPressed();

private:
    void makeFields();
    void makeArtworkViews();
    QLayout* makeForm();
    QDialogButtonBox* makeButtons();
    void connectFields();
    void showError(ID3TemplateFieldValidationError error);

    std::unique_ptr<CreateID3TemplateViewModel> viewModel_;
    QLineEdit* artistField_ = nullptr;
    QLineEdit* albumField_ = nullptr;
    QLineEdit* genreField_ = nullptr;
    QLineEdit* seasonField_ = nullptr;
    QLineEdit* feedURLField_ = nullptr;
    QCheckBox* explicitCheckBox_ = nullptr;
    QLabel* artworkFileLabel_ = nullptr;
    QLabel* artworkFactsLabel_ = nullptr;
    QLabel* artworkNoticeLabel_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* chooseArtworkButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    ImageFileDropLocationView* artworkImageView_ = nullptr;
};

} // namespace airlark
