#include "platform/ui/NavigationStack.h"

#include <QStackedWidget>
#include <QVBoxLayout>

namespace airlark {

NavigationStack::NavigationStack(const QRect& frame, QWidget* rootViewController,
                                 NavigationStackDelegate* delegate, QWidget* parent)
    : QWidget(parent), stackedWidget_(new QStackedWidget(this)), delegate_(delegate)
{
    setGeometry(frame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stackedWidget_);
    if (rootViewController) {
        viewControllers_.append(rootViewController);
        show(rootViewController, false, {});
    }
}

NavigationStack::~NavigationStack()
{
    // Hand every controller back before QWidget's destructor would delete them as children.
    const auto controllers = viewControllers_;
    viewControllers_.clear();
    for (const auto& controller : controllers)
        release(controller);
}

QWidget* NavigationStack::visibleViewController() const
{
    return viewControllers_.isEmpty() ? nullptr : viewControllers_.last().data();
}

QWidget* NavigationStack::rootViewController() const
{
    return viewControllers_.isEmpty() ? nullptr : viewControllers_.first().data();
}

QList<QWidget*> NavigationStack::viewControllers() const
{
    QList<QWidget*> controllers;
    for (const auto& controller : viewControllers_)
        controllers.append(controller.data());
    return controllers;
}

bool NavigationStack::pushViewControllerAnimated(QWidget* viewController, bool animated)
{
    if (!viewController || viewControllers().contains(viewController))
        return false;
    viewControllers_.append(viewController);
    show(viewController, animated, {});
    return true;
}

QWidget* NavigationStack::popViewControllerAnimated(bool animated)
{
    if (viewControllers_.size() < 2)
        return nullptr;
    QWidget* top = viewControllers_.takeLast();
    show(visibleViewController(), animated, {top});
    return top;
}

QList<QWidget*> NavigationStack::popToRootViewControllerAnimated(bool animated)
{
    QList<QWidget*> removed;
    while (viewControllers_.size() > 1)
        removed.append(viewControllers_.takeLast());
    if (!removed.isEmpty())
        show(visibleViewController(), animated, removed);
    return removed;
}

void NavigationStack::show(QWidget* viewController, bool animated, const QList<QWidget*>& leaving)
{
    // A controller deleted while it sat below the top leaves a hole; nothing is shown for it.
    if (delegate_ && viewController)
        delegate_->navigationControllerWillShowViewControllerAnimated(*this, viewController, animated);
    if (viewController) {
        if (stackedWidget_->indexOf(viewController) < 0)
            stackedWidget_->addWidget(viewController);
        stackedWidget_->setCurrentWidget(viewController);
    }
    for (QWidget* controller : leaving)
        release(controller);
    if (delegate_ && viewController)
        delegate_->navigationControllerDidShowViewControllerAnimated(*this, viewController, animated);
}

void NavigationStack::release(QWidget* viewController)
{
    if (!viewController)
        return;
    stackedWidget_->removeWidget(viewController);
    viewController->hide();
    viewController->setParent(nullptr);
    if (viewController->testAttribute(Qt::WA_DeleteOnClose))
        viewController->deleteLater();
}

} // namespace airlark
