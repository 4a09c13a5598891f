#pragma once

#include "metadata/EditMetadataViewModel.h"
#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace airlark {

class ImageFileDropLocationView;

// Step 2: the episode's metadata, pre-filled from the file's own tags and the chosen template, with
// the podcast fields, the template's artwork and the chapters; "Save" records the episode title with
// the template, writes the tags into the file on a worker thread and, once they are written, moves
// on to step 3.
//
// While it saves, the step shows a busy indicator and takes no edits; Cancel still answers (and
// stops the save). A save that fails keeps the user on this step with the reason on screen: moving
// on would publish an episode without its tags while the user believes it carries them. A template
// whose artwork file is gone says so, and Save asks before it goes on without artwork.
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
    QLabel* artworkFactsLabel() const { return artworkFactsLabel_; }
    QLabel* artworkNoticeLabel() const { return artworkNoticeLabel_; }
    QLineEdit* previousEpisodeField() const { return previousEpisodeField_; }
    QLineEdit* titleField() const { return titleField_; }
    QLineEdit* podcastField() const { return podcastField_; }
    QLineEdit* artistField() const { return artistField_; }
    QPlainTextEdit* descriptionTextView() const { return descriptionTextView_; }
    QLineEdit* episodeNumberField() const { return episodeNumberField_; }
    QLineEdit* seasonNumberField() const { return seasonNumberField_; }
    QLineEdit* genreField() const { return genreField_; }
    QCheckBox* explicitCheckBox() const { return explicitCheckBox_; }
    QLineEdit* feedURLField() const { return feedURLField_; }
    QPlainTextEdit* longDescriptionTextView() const { return longDescriptionTextView_; }
    QPushButton* loadChaptersButton() const { return loadChaptersButton_; }
    QLabel* chapterSummaryLabel() const { return chapterSummaryLabel_; }
    QListWidget* chapterListView() const { return chapterListView_; }
    QLabel* chapterProblemsLabel() const { return chapterProblemsLabel_; }
    QLineEdit* durationField() const { return durationField_; }
    QLineEdit* lengthField() const { return lengthField_; }
    QLineEdit* fileNameField() const { return fileNameField_; }
    QLabel* errorLabel() const { return errorLabel_; }
    QProgressBar* savingIndicator() const { return savingIndicator_; }
    // The preflight check: its progress while the episode is measured, a summary, one line per
    // item with its advice, and a button that stops it or runs it again.
    QProgressBar* checkProgressBar() const { return checkProgressBar_; }
    QLabel* checkSummaryLabel() const { return checkSummaryLabel_; }
    QListWidget* checkListView() const { return checkListView_; }
    QPushButton* checkButton() const { return checkButton_; }

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
    void editMetadataViewModelDidLoadArtwork(EditMetadataViewModel& viewModel) override;
    void editMetadataViewModelDidLoadChapters(EditMetadataViewModel& viewModel) override;
    void editMetadataViewModelDidReadEpisodeFile(EditMetadataViewModel& viewModel) override;
    void editMetadataViewModelDidUpdateCheck(EditMetadataViewModel& viewModel) override;

public slots:
    void loadChaptersButtonPressed();

protected:
    // Leaving the step (Cancel, a closed window) stops a save that is still running.
    void hideEvent(QHideEvent* event) override;

private:
    void buildLayout();
    void makeArtworkViews();
    void makeFormFields();
    void makeStatusViews();
    QLayout* makeForm();
    QLayout* makeArtworkColumn();
    void rebuildViewModel();
    void refresh();
    void refreshFileFacts();
    void refreshArtwork();
    void refreshChapters();
    void refreshCheck();
    void copyFormToWorkflow();
    bool canSave() const;
    void showBusyState();
    void startSaving();
    void moveOn();
    // The episode form's values as the save takes them.
    ID3TagValues tagsInForm() const;
    PodcastFieldTexts podcastFieldsInForm() const;

    std::function<QWidget*()> selectPodcastHostViewController_;
    std::optional<qint64> selectedTemplateID_;
    std::unique_ptr<EditMetadataViewModel> viewModel_;
    std::optional<QUrl> fileURL_;
    bool formNeedsFilling_ = true;     // a new view model whose values the form does not show yet
    bool savesWithoutArtwork_ = false; // the user agreed to go on without the template's missing artwork

    ImageFileDropLocationView* artworkImageView_ = nullptr;
    QLabel* artworkFactsLabel_ = nullptr;
    QLabel* artworkNoticeLabel_ = nullptr;
    QLineEdit* previousEpisodeField_ = nullptr;
    QLineEdit* titleField_ = nullptr;
    QLineEdit* podcastField_ = nullptr;
    QLineEdit* artistField_ = nullptr;
    QPlainTextEdit* descriptionTextView_ = nullptr;
    QLineEdit* episodeNumberField_ = nullptr;
    QLineEdit* seasonNumberField_ = nullptr;
    QLineEdit* genreField_ = nullptr;
    QCheckBox* explicitCheckBox_ = nullptr;
    QLineEdit* feedURLField_ = nullptr;
    QPlainTextEdit* longDescriptionTextView_ = nullptr;
    QPushButton* loadChaptersButton_ = nullptr;
    QLabel* chapterSummaryLabel_ = nullptr;
    QListWidget* chapterListView_ = nullptr;
    QLabel* chapterProblemsLabel_ = nullptr;
    QLineEdit* durationField_ = nullptr;
    QLineEdit* lengthField_ = nullptr;
    QLineEdit* fileNameField_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    QProgressBar* checkProgressBar_ = nullptr;
    QLabel* checkSummaryLabel_ = nullptr;
    QListWidget* checkListView_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QProgressBar* savingIndicator_ = nullptr;
    QLabel* savingLabel_ = nullptr;
};

} // namespace airlark
