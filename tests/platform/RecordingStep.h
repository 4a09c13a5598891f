#pragma once

#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace airlark::test {

// A step that writes every hook call into a shared journal ("<name>.will", "<name>.set",
// "<name>.did", "<name>.next") and answers Next with whatever `answer` returns.
class RecordingStep : public QWidget, public ProgressNavigationControllerChild
{
public:
    RecordingStep(std::string name, std::vector<std::string>& journal)
        : name_(std::move(name)), journal_(journal)
    {
    }

    std::function<NextStepAction()> answer = [] { return NextStepAction::Right([] {}); };
    // What progressNavigationController() held when will-present ran.
    ProgressNavigationController* controllerSeenInWillPresent = nullptr;

    NextStepAction nextStepAction() override
    {
        journal_.push_back(name_ + ".next");
        return answer();
    }
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override
    {
        controllerSeenInWillPresent = progressNavigationController();
        journal_.push_back(name_ + ".will");
        controller.setNextButtonTitle(QString::fromStdString(name_));
    }
    void setProgressNavigationController(ProgressNavigationController* controller) override
    {
        journal_.push_back(name_ + ".set");
        ProgressNavigationControllerChild::setProgressNavigationController(controller);
    }
    void didPresentInProgressNavigationController(ProgressNavigationController&) override
    {
        journal_.push_back(name_ + ".did");
    }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

} // namespace airlark::test
