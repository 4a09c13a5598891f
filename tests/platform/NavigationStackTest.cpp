#include "platform/ui/NavigationStack.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>

using namespace airlark;

namespace {

std::unique_ptr<QWidget> named(const char* name)
{
    auto widget = std::make_unique<QWidget>();
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The wizard proves the order of the hooks and that it gives its steps back when it goes; here,
// what becomes of a controller that leaves the stack.
TEST(NavigationStack, DisposesOfDeleteOnCloseControllersAndForgetsDeletedOnes)
{
    auto root = named("root");
    auto shared = named("shared");
    QPointer<QWidget> disposable = named("disposable").release();
    disposable->setAttribute(Qt::WA_DeleteOnClose);
    NavigationStack stack(QRect(), root.get(), nullptr);
    stack.pushViewControllerAnimated(shared.get(), false);
    stack.pushViewControllerAnimated(disposable.data(), false);
    stack.popViewControllerAnimated(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(disposable.isNull());

    auto* doomed = named("doomed").release();
    stack.pushViewControllerAnimated(doomed, false);
    delete doomed;
    EXPECT_EQ(stack.visibleViewController(), nullptr);
    EXPECT_EQ(stack.popViewControllerAnimated(false), nullptr) << "the hole is removed";
    EXPECT_EQ(stack.visibleViewController(), shared.get());
}

} // namespace
