#pragma once

#include "platform/ui/NavigationStack.h"

#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>

namespace airlark {

// The wizard frame: a content area showing one step at a time on a NavigationStack, under a bar
// with a progress indicator and the Back, Cancel and Next buttons. It knows nothing of what the
// steps do: on Next it asks the visible step (a ProgressNavigationControllerChild) for its
// nextStepAction, and the steps set the buttons' titles and enabled states themselves.
//
// The view loads (viewDidLoad) once, on loadViewIfNeeded() or on first show, whichever comes
// first; only then does the root step exist and do the buttons act. Loading is kept out of the
// constructor so that the root step's hooks see the fully constructed frame (a subclass too).
class ProgressNavigationController : public QWidget, public NavigationStackDelegate
{
    Q_OBJECT
public:
    // `rootViewControllerProvider` hands out the first step when the view loads.
    explicit ProgressNavigationController(std::function<QWidget*()> rootViewControllerProvider,
                                          QWidget* parent = nullptr);
    ~ProgressNavigationController() override;

    void loadViewIfNeeded();
    bool isViewLoaded() const { return contentNavigationController_ != nullptr; }

    qint64 numberOfSteps() const { return numberOfSteps_; }
    void setNumberOfSteps(qint64 numberOfSteps);
    qint64 currentStep() const { return currentStep_; }
    void setCurrentStep(qint64 currentStep);

    NavigationStack* contentNavigationController() const { return contentNavigationController_; }
    // Whether `step` is the one shown. The buttons belong to that step: a step lower in the stack
    // whose list reloads, or one whose worker reports late, must leave them alone.
    bool isShowing(const QWidget* step) const;
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QWidget* contentView() const { return contentView_; }
    QPushButton* nextButton() const { return nextButton_; }
    QPushButton* backButton() const { return backButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // Pushes `viewController` as the next step and counts it. Ignored for a null controller or
    // one already on the stack.
    virtual void displayNextViewController(QWidget* viewController);

    // Back to the first step, however deep the stack is.
    void returnToFirstStep();

    // The window is about to close: the visible step may ask the user and stop its work first
    // (ProgressNavigationControllerChild::stepShouldLeave). `proceed` runs once the window may
    // close, possibly later; never, when the user chose to stay.
    void windowShouldClose(std::function<void()> proceed);

    virtual void setNextButtonTitle(const QString& title);
    virtual void setBackButtonTitle(const QString& title);
    virtual void setCancelButtonText(const QString& title);
    virtual void setNextButtonEnabled(bool enabled);
    virtual void setBackButtonEnabled(bool enabled);
    virtual void setCancelButtonEnabled(bool enabled);

    void navigationControllerWillShowViewControllerAnimated(NavigationStack& navigationController,
                                                            QWidget* viewController, bool animated) override;
    void navigationControllerDidShowViewControllerAnimated(NavigationStack& navigationController,
                                                           QWidget* viewController, bool animated) override;

public slots:
    virtual void nextButtonPressed();
    virtual void backButtonPressed();
    virtual void cancelButtonPressed();

protected:
    virtual void viewDidLoad();
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateProgressIndicator();

    qint64 numberOfSteps_ = 0;
    qint64 currentStep_ = 0;
    QPointer<NavigationStack> contentNavigationController_;
    QPointer<QProgressBar> progressIndicator_;
    QPointer<QWidget> contentView_;
    QPointer<QPushButton> nextButton_;
    QPointer<QPushButton> backButton_;
    QPointer<QPushButton> cancelButton_;
    std::function<QWidget*()> rootViewControllerProvider_;
};

} // namespace airlark
