#pragma once

#include "metadata/CreateID3TemplateViewModel.h"
#include "metadata/FileDropLocationViewDelegate.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace airlark {

class ImageFileDropLocationView;

// The content of the template-creation window: podcast name, artist and artwork file; Save
// inserts the template and closes the window.
class CreateID3TemplateViewController : public QWidget,
                                        public CreateID3TemplateViewModelDelegate,
                                        public FileDropLocationViewDelegate
{
    Q_OBJECT
public:
    explicit CreateID3TemplateViewController(QWidget* parent = nullptr);
    ~CreateID3TemplateViewController() override;

    // A window showing a new controller, deleted when it closes. `owner` keeps it above that window.
    static QWidget* makeWindow(QWidget* owner);

    CreateID3TemplateViewModel& viewModel();

    // Outlets.
    QLineEdit* artistField() const { return artistField_; }
    QLineEdit* albumField() const { return albumField_; }
    QLabel* artworkFileLabel() const { return artworkFileLabel_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* chooseArtworkButton() const { return chooseArtworkButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLabel* errorLabel() const { return errorLabel_; }
    ImageFileDropLocationView* artworkImageView() const { return artworkImageView_; }

    void createID3TemplateViewModelFieldValuesDidChange(CreateID3TemplateViewModel& viewModel) override;
    // A dropped image does not become the artwork: the image target refuses every drag anyway.
    void didSetFileWithURL(const QUrl&) override {}

    // The message shown under the form when saving fails.
    static QString messageFor(ID3TemplateFieldValidationError error, const QString& podcast);

public slots:
    void artistFieldDidChange();
    void podcastFieldDidChange();
    void chooseArtworkButtonPressed();
    void savePressed();
    void cancelPressed();

private:
    std::unique_ptr<CreateID3TemplateViewModel> viewModel_;
    QLineEdit* artistField_ = nullptr;
    QLineEdit* albumField_ = nullptr;
    QLabel* artworkFileLabel_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* chooseArtworkButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    ImageFileDropLocationView* artworkImageView_ = nullptr;
};

} // namespace airlark
