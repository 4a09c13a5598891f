#include "platform/ui/ProgressNavigationController.h"

#include "platform/ui/ProgressNavigationControllerChild.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace airlark;
using Journal = std::vector<std::string>;

namespace {

// A step that journals every hook ("<name>.will", ".set", ".did", ".next") and answers Next with
// whatever `answer` returns.
class RecordingStep : public QWidget, public ProgressNavigationControllerChild
{
public:
    RecordingStep(std::string name, Journal& journal) : name_(std::move(name)), journal_(journal) {}

    std::function<NextStepAction()> answer = [] { return NextStepAction::Right([] {}); };

    NextStepAction nextStepAction() override
    {
        journal_.push_back(name_ + ".next");
        return answer();
    }
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override
    {
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
    Journal& journal_;
};

// Four steps, each answering Next with the following one, the way the episode workflow runs.
class Wizard : public ::testing::Test
{
protected:
    Wizard()
    {
        for (const char* name : {"one", "two", "three", "four"})
            steps.push_back(std::make_unique<RecordingStep>(name, journal));
        for (size_t i = 0; i + 1 < steps.size(); ++i) {
            RecordingStep* following = steps[i + 1].get();
            steps[i]->answer = [following] { return NextStepAction::Left(following); };
        }
        frame = std::make_unique<ProgressNavigationController>([this] { return steps[0].get(); });
        frame->show();
    }

    QWidget* visible() const { return frame->contentNavigationController()->visibleViewController(); }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void next() { press(frame->nextButton()); }

    Journal journal;
    std::vector<std::unique_ptr<RecordingStep>> steps; // outlive the frame, like shared steps
    std::unique_ptr<ProgressNavigationController> frame;
};

// Walking the steps is driven end to end; here, which hooks each move runs, and in what order.
TEST_F(Wizard, NextBackAndCancelPresentEachStepWithItsHooksInOrder)
{
    EXPECT_EQ(journal, (Journal{"one.will", "one.set", "one.did"}));
    journal.clear();
    next();
    EXPECT_EQ(journal, (Journal{"one.next", "two.will", "two.set", "two.did"}));
    EXPECT_EQ(frame->progressIndicator()->format(), QStringLiteral("Step 2 of 4"));
    journal.clear();
    press(frame->backButton());
    press(frame->backButton()); // on the root: nothing
    EXPECT_EQ(journal, (Journal{"one.will", "one.set", "one.did"}));

    next();
    next();
    next();
    ASSERT_EQ(visible(), steps[3].get());
    journal.clear();
    press(frame->cancelButton());
    EXPECT_EQ(journal, (Journal{"one.will", "one.set", "one.did"})) << "only the root is presented, once";
    EXPECT_EQ(frame->currentStep(), 0);
}

TEST_F(Wizard, AnswersThatCannotBePushedAreIgnoredAndADestroyedFrameGivesTheStepsBack)
{
    steps[0]->answer = [] { return NextStepAction::Left(nullptr); };
    next();
    steps[0]->answer = [this] { return NextStepAction::Left(steps[0].get()); };
    next();
    EXPECT_EQ(frame->currentStep(), 0) << "nothing, or a step already on the stack, is not pushed";

    steps[0]->answer = [this] { return NextStepAction::Left(steps[1].get()); };
    next();
    frame.reset();
    for (const auto& step : steps)
        EXPECT_EQ(step->parentWidget(), nullptr) << "a destroyed frame gives its steps back";
}

TEST_F(Wizard, TheKeyboardAloneMovesThroughTheSteps)
{
    auto* field = new QLineEdit(steps[1].get());
    QApplication::setActiveWindow(frame.get());
    QTest::keyClick(frame.get(), Qt::Key_Return);
    ASSERT_EQ(visible(), steps[1].get());
    EXPECT_EQ(QApplication::focusWidget(), field) << "focus starts in the step's first field";
    QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(visible(), steps[2].get()) << "Enter in a field moves on";
    QTest::keyClick(frame->windowHandle(), Qt::Key_B, Qt::AltModifier);
    // Next's key follows each step's own title (Alt+S on Save, Alt+R on Retry): the accessibility
    // test reads them off the bus.
    EXPECT_TRUE(airlark::test::waitFor([&] { return visible() == steps[1].get(); })) << "Alt+B goes back";
    frame->cancelButton()->setFocus();
    QTest::keyClick(frame->cancelButton(), Qt::Key_Return);
    EXPECT_EQ(visible(), steps[0].get()) << "Enter on a focused button presses that button";
    frame->setNextButtonEnabled(false);
    QTest::keyClick(frame.get(), Qt::Key_Return);
    EXPECT_EQ(visible(), steps[0].get()) << "a disabled Next is not pressed by Enter either";
}

} // namespace
