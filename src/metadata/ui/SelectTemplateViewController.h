#pragma once

#include "metadata/SelectTemplateViewModel.h"
#include "metadata/ui/OpenPanel.h"
#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLayout;
class QListView;
class QPushButton;
class QToolButton;

namespace airlark {

class AudioFileDropLocationView;
class EditMetadataViewController;
class TemplateListModel;

// Step 1: pick a saved template and the MP3 file (file dialog or drop). Next is enabled once both
// are chosen, and hands step 2 the template's identifier. The chosen template can be edited (in
// the template window), renamed in place (F2) and deleted (Delete, after a confirmation), from the
// list's context menu or the Manage button.
class SelectTemplateViewController : public QWidget,
                                     public ProgressNavigationControllerChild,
                                     public SelectTemplateViewModelDelegate
{
    Q_OBJECT
public:
    // `editMetadataViewController` hands out the shared step 2.
    explicit SelectTemplateViewController(
        std::function<EditMetadataViewController*()> editMetadataViewController, QWidget* parent = nullptr);
    ~SelectTemplateViewController() override;

    SelectTemplateViewModel& viewModel() const { return *viewModel_; }

    // Outlets.
    QListView* tableView() const { return tableView_; }
    QLabel* chosenFileLabel() const { return chosenFileLabel_; }
    QPushButton* chooseFileButton() const { return chooseFileButton_; }
    AudioFileDropLocationView* dropLocationView() const { return dropLocationView_; }
    QPushButton* newTemplateButton() const { return newTemplateButton_; }
    QLabel* emptyListLabel() const { return emptyListLabel_; }
    QLabel* missingArtworkLabel() const { return missingArtworkLabel_; }
    // Why the last rename or deletion did not happen.
    QLabel* templateProblemLabel() const { return templateProblemLabel_; }
    QAction* editTemplateAction() const { return editTemplateAction_; }
    QAction* renameTemplateAction() const { return renameTemplateAction_; }
    QAction* deleteTemplateAction() const { return deleteTemplateAction_; }
    QWidget* editTemplateWindow() const { return editTemplateWindow_; }

    // "New Template…", for the window's menu as well; opens (or raises) the template window.
    QAction* newTemplateAction() const { return newTemplateAction_; }
    QWidget* createTemplateWindow() const { return createTemplateWindow_; }

    NextStepAction nextStepAction() override;
    void didPresentInProgressNavigationController(ProgressNavigationController& controller) override;

    // The open panel for "mp3" files (getNewOpenPanel).
    static OpenPanelOptions getNewOpenPanel();

    void selectTemplateViewModelAvailableTemplatesDidChange(SelectTemplateViewModel& viewModel) override;
    void selectTemplateViewModelInteractionStateDidChange(SelectTemplateViewModel& viewModel) override;

public slots:
    void chooseFileButtonPressed();
    void newTemplateButtonPressed();
    void editTemplatePressed();
    void renameTemplatePressed();
    void deleteTemplatePressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeTemplateList();
    void makeTemplateActions();
    void makeFileChooser();
    QLayout* makeTemplateColumn();
    QLayout* makeFileColumn();
    // The frame's button set-up and a cleared selection, each time the step comes on screen.
    void viewDidAppear();
    void runOpenPanel();
    void reloadTable();
    void tableViewSelectionDidChange();
    void publishSelectionToWorkflow();
    void updateTemplateActions();
    void showTemplateProblem(const std::optional<QString>& problem);
    // The drop area's named image, given again only when the name changes (it is read once drawn).
    void showArtwork(const QString& name);

    std::unique_ptr<SelectTemplateViewModel> viewModel_;
    std::function<EditMetadataViewController*()> editMetadataViewController_;
    TemplateListModel* templateListModel_ = nullptr;
    QListView* tableView_ = nullptr;
    QLabel* chosenFileLabel_ = nullptr;
    QLabel* emptyListLabel_ = nullptr;
    QLabel* missingArtworkLabel_ = nullptr;
    QPushButton* chooseFileButton_ = nullptr;
    QPushButton* newTemplateButton_ = nullptr;
    QToolButton* manageButton_ = nullptr;
    AudioFileDropLocationView* dropLocationView_ = nullptr;
    QString artworkShown_;
    QAction* newTemplateAction_ = nullptr;
    QAction* editTemplateAction_ = nullptr;
    QAction* renameTemplateAction_ = nullptr;
    QAction* deleteTemplateAction_ = nullptr;
    QLabel* templateProblemLabel_ = nullptr;
    QPointer<QWidget> createTemplateWindow_;
    QPointer<QWidget> editTemplateWindow_;
    bool synchronizingSelection_ = false;
};

} // namespace airlark
