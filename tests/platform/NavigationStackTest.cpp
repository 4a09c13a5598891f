#include "platform/ui/NavigationStack.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace airlark;

namespace {

class Recorder : public NavigationStackDelegate
{
public:
    void navigationControllerWillShowViewControllerAnimated(NavigationStack& stack, QWidget* controller,
                                                            bool) override
    {
        events.push_back("will " + controller->objectName().toStdString());
        visibleDuringWillShow.push_back(stack.visibleViewController());
    }
    void navigationControllerDidShowViewControllerAnimated(NavigationStack&, QWidget* controller,
                                                           bool) override
    {
        events.push_back("did " + controller->objectName().toStdString());
    }
    std::vector<std::string> events;
    std::vector<QWidget*> visibleDuringWillShow;
};

std::unique_ptr<QWidget> named(const char* name)
{
    auto widget = std::make_unique<QWidget>();
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

TEST(NavigationStack, ReportsEveryControllerItShowsTheRootIncluded)
{
    auto root = named("root");
    auto second = named("second");
    auto third = named("third");
    Recorder recorder;
    NavigationStack stack(QRect(0, 0, 300, 200), root.get(), &recorder);
    EXPECT_TRUE(stack.pushViewControllerAnimated(second.get(), false));
    EXPECT_TRUE(stack.pushViewControllerAnimated(third.get(), false));
    EXPECT_EQ(stack.popViewControllerAnimated(false), third.get());
    EXPECT_TRUE(stack.pushViewControllerAnimated(third.get(), false));
    EXPECT_EQ(stack.popToRootViewControllerAnimated(false), (QList<QWidget*>{third.get(), second.get()}));
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"will root", "did root", "will second", "did second", "will third",
                                        "did third", "will second", "did second", "will third", "did third",
                                        "will root", "did root"}));
    EXPECT_EQ(stack.viewControllers(), (QList<QWidget*>{root.get()}));
    EXPECT_EQ(stack.rootViewController(), root.get());
}

TEST(NavigationStack, NeverPopsTheRootNorPushesTwice)
{
    auto root = named("root");
    Recorder recorder;
    NavigationStack stack(QRect(), root.get(), &recorder);
    recorder.events.clear();
    EXPECT_EQ(stack.popViewControllerAnimated(false), nullptr);
    EXPECT_TRUE(stack.popToRootViewControllerAnimated(false).isEmpty());
    EXPECT_FALSE(stack.pushViewControllerAnimated(root.get(), false));
    EXPECT_FALSE(stack.pushViewControllerAnimated(nullptr, false));
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(stack.visibleViewController(), root.get());
}

TEST(NavigationStack, DisposesOfControllersMarkedDeleteOnCloseAndGivesBackTheOthers)
{
    auto root = named("root");
    auto shared = named("shared");
    QPointer<QWidget> disposable = named("disposable").release();
    disposable->setAttribute(Qt::WA_DeleteOnClose);
    {
        NavigationStack stack(QRect(), root.get(), nullptr);
        stack.pushViewControllerAnimated(shared.get(), false);
        stack.pushViewControllerAnimated(disposable.data(), false);
        EXPECT_EQ(disposable->parentWidget() != nullptr, true);
        stack.popViewControllerAnimated(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(disposable.isNull());
    }
    // The stack is gone; the controllers it held are not.
    EXPECT_EQ(root->parentWidget(), nullptr);
    EXPECT_EQ(shared->parentWidget(), nullptr);
    EXPECT_FALSE(shared->isVisible());
}

TEST(NavigationStack, ForgetsAControllerDeletedWhileOnIt)
{
    auto root = named("root");
    NavigationStack stack(QRect(), root.get(), nullptr);
    auto* doomed = named("doomed").release();
    stack.pushViewControllerAnimated(doomed, false);
    delete doomed;
    EXPECT_EQ(stack.visibleViewController(), nullptr);
    EXPECT_EQ(stack.popViewControllerAnimated(false), nullptr) << "the hole is removed";
    EXPECT_EQ(stack.visibleViewController(), root.get());
}

} // namespace
