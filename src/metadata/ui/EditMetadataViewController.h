#pragma once

#include "metadata/EditMetadataViewModel.h"
#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;

namespace airlark {

class ImageFileDropLocationView;

// Step 2: the episode's metadata, pre-filled from the file's own tags and the chosen template;
// "Save" records the episode title with the template, writes the tags into the file on a worker
// thread and, once they are written, moves on to step 3.
//
// While it saves, the step shows a busy indicator and takes no edits; Cancel still answers (and
// stops the save). A save that fails keeps the user on this step with the reason on screen: moving
// on would publish an episode without its tags while the user believes it carries them.
class EditMetadataViewController : public QWidget,
                                   public ProgressNavigationControllerChild,
                                   public EditMetadataViewModelDelegate
{
    Q_OBJECT
public:
    // `selectPodcastHostViewController` makes a new step 3 each time this step moves on.
    explicit EditMetadataViewController(std::function<QWidget*()> selectPodcastHostViewController,
                                        QWidget* parent = nullptr);
    ~EditMetadataViewController() override;

    const std::optional<qint64>& selectedTemplateID() const { return selectedTemplateID_; }
    void setSelectedTemplateID(std::optional<qint64> id);
    const std::optional<QUrl>& fileURL() const { return fileURL_; }
    void setFileURL(std::optional<QUrl> url);

    EditMetadataViewModel& viewModel() const { return *viewModel_; }

    // Outlets.
    ImageFileDropLocationView* artworkImageView() const { return artworkImageView_; }
    QLineEdit* previousEpisodeField() const { return previousEpisodeField_; }
    QLineEdit* titleField() const { return titleField_; }
    QLineEdit* podcastField() const { return podcastField_; }
    QLineEdit* artistField() const { return artistField_; }
    QPlainTextEdit* descriptionTextView() const { return descriptionTextView_; }
    QLineEdit* durationField() const { return durationField_; }
    QLineEdit* lengthField() const { return lengthField_; }
    QLineEdit* fileNameField() const { return fileNameField_; }
    QLabel* errorLabel() const { return errorLabel_; }
    QProgressBar* savingIndicator() const { return savingIndicator_; }

    NextStepAction nextStepAction() override;
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override;
    void didPresentInProgressNavigationController(ProgressNavigationController& controller) override;
    // Cancel stops a running save without asking (the file keeps its tags); closing the window
    // asks first, then stops the save and waits for it.
    void stepShouldLeave(StepLeaveReason reason, std::function<void()> proceed) override;

    void editMetadataViewModelDidFillTemplate(EditMetadataViewModel& viewModel) override;
    void editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel& viewModel) override;
    void editMetadataViewModelDidSetErrorMessageFromSaving(EditMetadataViewModel& viewModel,
                                                           const QString& errorMessage) override;
    void editMetadataViewModelDidFinishSaving(EditMetadataViewModel& viewModel, bool saved) override;

protected:
    // Leaving the step (Cancel, a closed window) stops a save that is still running.
    void hideEvent(QHideEvent* event) override;

private:
    void rebuildViewModel();
    void refresh();
    void refreshFileFacts();
    void copyFormToWorkflow();
    void showSavingState();
    void moveOn();
    // The artwork as it goes into the tag: the template's image file itself when it still is one.
    std::optional<EmbeddedArtwork> artworkToWrite() const;

    std::function<QWidget*()> selectPodcastHostViewController_;
    std::optional<qint64> selectedTemplateID_;
    std::unique_ptr<EditMetadataViewModel> viewModel_;
    std::optional<QUrl> fileURL_;
    bool formNeedsFilling_ = true; // a new view model whose values the form does not show yet

    ImageFileDropLocationView* artworkImageView_ = nullptr;
    QLineEdit* previousEpisodeField_ = nullptr;
    QLineEdit* titleField_ = nullptr;
    QLineEdit* podcastField_ = nullptr;
    QLineEdit* artistField_ = nullptr;
    QPlainTextEdit* descriptionTextView_ = nullptr;
    QLineEdit* durationField_ = nullptr;
    QLineEdit* lengthField_ = nullptr;
    QLineEdit* fileNameField_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    QProgressBar* savingIndicator_ = nullptr;
    QLabel* savingLabel_ = nullptr;
};

} // namespace airlark
