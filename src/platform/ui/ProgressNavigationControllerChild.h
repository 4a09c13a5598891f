#pragma once

#include "platform/ui/Either.h"
#include "platform/ui/ProgressNavigationController.h"

#include <QPointer>
#include <functional>

class QWidget;

namespace airlark {

// A step's answer to Next: Left pushes the controller as the next step, Right runs the action
// and stays on this step.
using NextStepAction = Either<QWidget*, std::function<void()>>;

// Why the visible step is about to be left without moving on.
enum class StepLeaveReason
{
    Cancel,      // the wizard's Cancel, back to the first step
    CloseWindow, // the window closes (its close button, or Quit)
};

// The protocol of every step controller shown in a ProgressNavigationController. Steps are
// QWidgets; they inherit this as a mix-in, and the frame finds it with dynamic_cast:
//
//   class SelectTemplateViewController : public QWidget, public ProgressNavigationControllerChild
class ProgressNavigationControllerChild
{
public:
    virtual ~ProgressNavigationControllerChild() = default;

    // The frame showing this step; set by the frame each time the step is about to be shown,
    // after willPresentInProgressNavigationController. Held weakly.
    virtual ProgressNavigationController* progressNavigationController() const
    {
        return progressNavigationController_;
    }
    virtual void setProgressNavigationController(ProgressNavigationController* controller)
    {
        progressNavigationController_ = controller;
    }

    // Asked when the user presses Next while this step is visible.
    virtual NextStepAction nextStepAction() = 0;

    // Called before the step is shown (also when Back or Cancel uncovers it again). Use the frame
    // passed in: progressNavigationController() may still be unset on the first presentation.
    virtual void willPresentInProgressNavigationController(ProgressNavigationController& controller)
    {
        Q_UNUSED(controller);
    }

    // Called once the step is shown.
    virtual void didPresentInProgressNavigationController(ProgressNavigationController& controller)
    {
        Q_UNUSED(controller);
    }

    // Asked before the step is left by Cancel or by the window closing. A step whose work would
    // be cut short may ask the user first, stop the work and call `proceed` once it has ended;
    // never calling it keeps the step, and the window, as they are. By default it proceeds at once.
    virtual void stepShouldLeave(StepLeaveReason reason, std::function<void()> proceed)
    {
        Q_UNUSED(reason);
        proceed();
    }

private:
    QPointer<ProgressNavigationController> progressNavigationController_;
};

// The step protocol of a controller, or null if it does not conform.
ProgressNavigationControllerChild* progressNavigationControllerChild(QWidget* viewController);

} // namespace airlark
