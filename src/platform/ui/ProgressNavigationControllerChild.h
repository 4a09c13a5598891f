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

private:
    QPointer<ProgressNavigationController> progressNavigationController_;
};

// The step protocol of a controller, or null if it does not conform.
ProgressNavigationControllerChild* progressNavigationControllerChild(QWidget* viewController);

} // namespace airlark
