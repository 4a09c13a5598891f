#include "platform/ui/ProgressNavigationController.h"

#include "RecordingStep.h"
#include "platform/ui/TerminatingButtonText.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace airlark;
using airlark::test::RecordingStep;
using Journal = std::vector<std::string>;

namespace {

// Four steps, each answering Next with the following one, the way the episode workflow runs.
class Wizard : public ::testing::Test
{
protected:
    Wizard()
    {
        for (const char* name : {"one", "two", "three", "four"})
            steps.push_back(std::make_unique<RecordingStep>(name, journal));
        for (size_t i = 0; i + 1 < steps.size(); ++i) {
            RecordingStep* next = steps[i + 1].get();
            steps[i]->answer = [next] { return NextStepAction::Left(next); };
        }
        frame = std::make_unique<ProgressNavigationController>([this] { return steps[0].get(); });
        frame->loadViewIfNeeded();
        frame->show();
    }

    QWidget* visible() const { return frame->contentNavigationController()->visibleViewController(); }
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void next() { press(frame->nextButton()); }

    Journal journal;
    std::vector<std::unique_ptr<RecordingStep>> steps; // outlive the frame, like shared steps
    std::unique_ptr<ProgressNavigationController> frame;
};

TEST_F(Wizard, LoadingShowsTheRootWithItsHooksInOrder)
{
    EXPECT_EQ(frame->numberOfSteps(), 4);
    EXPECT_EQ(frame->currentStep(), 0);
    EXPECT_EQ(visible(), steps[0].get());
    EXPECT_EQ(journal, (Journal{"one.will", "one.set", "one.did"}));
    EXPECT_EQ(steps[0]->controllerSeenInWillPresent, nullptr) << "will-present runs before the frame is set";
    EXPECT_EQ(steps[0]->progressNavigationController(), frame.get());
    EXPECT_EQ(frame->nextButton()->text(), QStringLiteral("one")) << "the root step set up the buttons";
    EXPECT_EQ(frame->progressIndicator()->format(), QStringLiteral("Step 1 of 4"));
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
    EXPECT_TRUE(airlark::test::waitFor([&] { return visible() == steps[1].get(); })) << "Alt+B goes back";
    frame->cancelButton()->setFocus();
    QTest::keyClick(frame->cancelButton(), Qt::Key_Return);
    EXPECT_EQ(visible(), steps[0].get()) << "Enter on a focused button presses that button";
    frame->setNextButtonEnabled(false);
    QTest::keyClick(frame.get(), Qt::Key_Return);
    EXPECT_EQ(visible(), steps[0].get()) << "a disabled Next is not pressed by Enter either";
}

TEST_F(Wizard, LoadingTwiceDoesNotRebuildTheStack)
{
    NavigationStack* stack = frame->contentNavigationController();
    frame->loadViewIfNeeded();
    frame->show();
    EXPECT_EQ(frame->contentNavigationController(), stack);
    EXPECT_EQ(journal.size(), 3u);
}

TEST_F(Wizard, NextPushesTheAnsweredStepAndCountsIt)
{
    journal.clear();
    next();
    EXPECT_EQ(visible(), steps[1].get());
    EXPECT_EQ(frame->currentStep(), 1);
    EXPECT_EQ(journal, (Journal{"one.next", "two.will", "two.set", "two.did"}));
    EXPECT_EQ(frame->progressIndicator()->format(), QStringLiteral("Step 2 of 4"));
    EXPECT_TRUE(steps[1]->isVisibleTo(frame.get()));
    EXPECT_FALSE(steps[0]->isVisibleTo(frame.get()));
}

TEST_F(Wizard, RightRunsTheActionInPlaceAndNextAsksTheSameStepAgain)
{
    int runs = 0;
    steps[0]->answer = [&runs] { return NextStepAction::Right([&runs] { ++runs; }); };
    journal.clear();
    next();
    next();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(visible(), steps[0].get());
    EXPECT_EQ(frame->currentStep(), 0);
    EXPECT_EQ(frame->contentNavigationController()->viewControllers().size(), 1);
    EXPECT_EQ(journal, (Journal{"one.next", "one.next"})) << "no presentation hooks for an action in place";
}

TEST_F(Wizard, BackReturnsToThePreviousStepAndPresentsItAgain)
{
    next();
    journal.clear();
    press(frame->backButton());
    EXPECT_EQ(visible(), steps[0].get());
    EXPECT_EQ(frame->currentStep(), 0);
    EXPECT_EQ(journal, (Journal{"one.will", "one.set", "one.did"}));
    EXPECT_EQ(steps[0]->controllerSeenInWillPresent, frame.get()) << "set on the first presentation";
    EXPECT_EQ(frame->nextButton()->text(), QStringLiteral("one"));
}

TEST_F(Wizard, BackOnTheRootChangesNothing)
{
    journal.clear();
    press(frame->backButton());
    EXPECT_EQ(visible(), steps[0].get());
    EXPECT_EQ(frame->currentStep(), 0) << "the count never goes below the first step";
    EXPECT_TRUE(journal.empty());
}

TEST_F(Wizard, CancelFromTheFourthStepReturnsToTheRootInOneMove)
{
    next();
    next();
    next();
    ASSERT_EQ(visible(), steps[3].get());
    ASSERT_EQ(frame->currentStep(), 3);
    journal.clear();
    press(frame->cancelButton());
    EXPECT_EQ(visible(), steps[0].get());
    EXPECT_EQ(frame->contentNavigationController()->viewControllers().size(), 1);
    EXPECT_EQ(journal, (Journal{"one.will", "one.set", "one.did"})) << "only the root is presented, once";
    EXPECT_EQ(frame->currentStep(), 0);
    EXPECT_EQ(frame->progressIndicator()->format(), QStringLiteral("Step 1 of 4"));

    journal.clear();
    next();
    EXPECT_EQ(visible(), steps[1].get()) << "the same shared step comes back";
    EXPECT_EQ(frame->currentStep(), 1);
}

TEST_F(Wizard, AControllerWithoutTheProtocolGetsNoHooksAndNextDoesNothing)
{
    QPointer<QWidget> plain = new QWidget;
    steps[0]->answer = [&plain] { return NextStepAction::Left(plain.data()); };
    next();
    ASSERT_EQ(visible(), plain.data());
    EXPECT_EQ(frame->currentStep(), 1);
    journal.clear();
    next();
    next();
    EXPECT_EQ(visible(), plain.data());
    EXPECT_EQ(frame->currentStep(), 1);
    EXPECT_TRUE(journal.empty());

    press(frame->backButton());
    EXPECT_EQ(visible(), steps[0].get());
    ASSERT_FALSE(plain.isNull()) << "the stack gives back what it does not own";
    EXPECT_EQ(plain->parentWidget(), nullptr);
    delete plain.data();
}

TEST_F(Wizard, AnswersThatCannotBePushedAreIgnored)
{
    steps[0]->answer = [] { return NextStepAction::Left(nullptr); };
    next();
    EXPECT_EQ(frame->currentStep(), 0);
    steps[0]->answer = [this] { return NextStepAction::Left(steps[0].get()); };
    next();
    EXPECT_EQ(frame->currentStep(), 0) << "a step already on the stack is not pushed twice";
    EXPECT_EQ(frame->contentNavigationController()->viewControllers().size(), 1);
}

TEST_F(Wizard, ButtonOperationsTakeEffectOnTheButtons)
{
    frame->setNextButtonTitle(QStringLiteral("Start upload"));
    frame->setBackButtonTitle(QStringLiteral("Previous"));
    frame->setCancelButtonText(QStringLiteral("Stop"));
    frame->setNextButtonEnabled(false);
    frame->setBackButtonEnabled(false);
    frame->setCancelButtonEnabled(true);
    EXPECT_EQ(frame->nextButton()->text(), QStringLiteral("Start upload"));
    EXPECT_EQ(frame->backButton()->text(), QStringLiteral("Previous"));
    EXPECT_EQ(frame->cancelButton()->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(frame->nextButton()->isEnabled());
    EXPECT_FALSE(frame->backButton()->isEnabled());
    EXPECT_TRUE(frame->cancelButton()->isEnabled());

    int runs = 0;
    steps[0]->answer = [&runs] { return NextStepAction::Right([&runs] { ++runs; }); };
    next();
    EXPECT_EQ(runs, 0) << "a disabled Next does nothing";
}

TEST_F(Wizard, DestroyingTheFrameGivesTheStepsBack)
{
    next();
    frame.reset();
    for (const auto& step : steps)
        EXPECT_EQ(step->parentWidget(), nullptr);
}

TEST(WizardBeforeLoading, ButtonsDoNothingAndTheRootIsNotYetAsked)
{
    int asked = 0;
    ProgressNavigationController frame([&asked]() -> QWidget* {
        ++asked;
        return nullptr;
    });
    frame.nextButtonPressed();
    frame.backButtonPressed();
    frame.cancelButtonPressed();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(frame.numberOfSteps(), 0);
    frame.show();
    EXPECT_EQ(asked, 1) << "the view loads when it is first shown";
    EXPECT_EQ(frame.numberOfSteps(), 4);
    frame.nextButtonPressed(); // no visible controller: ignored
    EXPECT_EQ(frame.currentStep(), 0);
}

struct TerminatingCase
{
    const char* text;
    std::optional<TerminatingButtonText> expected;
};

void PrintTo(const TerminatingCase& terminatingCase, std::ostream* out)
{
    *out << '"' << terminatingCase.text << '"';
}

class TerminatingButtonTextFromString : public ::testing::TestWithParam<TerminatingCase>
{
};

TEST_P(TerminatingButtonTextFromString, MatchesOnlyTheExactTitles)
{
    EXPECT_EQ(terminatingButtonTextFromString(QString::fromUtf8(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, TerminatingButtonTextFromString,
                         ::testing::Values(TerminatingCase{"Save", TerminatingButtonText::Save},
                                           TerminatingCase{"Done", TerminatingButtonText::Done},
                                           TerminatingCase{"save", std::nullopt},
                                           TerminatingCase{"done", std::nullopt},
                                           TerminatingCase{"", std::nullopt},
                                           TerminatingCase{"Save ", std::nullopt},
                                           TerminatingCase{"Next", std::nullopt}));

TEST(TerminatingButtonText, RoundTripsThroughItsValue)
{
    for (const auto text : {TerminatingButtonText::Done, TerminatingButtonText::Save})
        EXPECT_EQ(terminatingButtonTextFromString(terminatingButtonTextValue(text)), text);
    EXPECT_EQ(terminatingButtonTextValue(TerminatingButtonText::Save), QStringLiteral("Save"));
}

TEST(Either, HoldsExactlyOneCaseEvenWhenBothTypesAgree)
{
    const auto left = Either<int, int>::Left(1);
    const auto right = Either<int, int>::Right(2);
    EXPECT_TRUE(left.isLeft());
    EXPECT_FALSE(left.isRight());
    EXPECT_TRUE(right.isRight());
    EXPECT_EQ(left.left(), 1);
    EXPECT_EQ(right.right(), 2);
    EXPECT_EQ(right.match([](int) { return 'L'; }, [](int) { return 'R'; }), 'R');
}

} // namespace
