#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QStackedWidget;

namespace airlark {

class NavigationStack;

// Told before and after the stack shows a controller: on creation (the root), on push, and when
// a pop or a pop-to-root uncovers a controller again.
class NavigationStackDelegate
{
public:
    virtual ~NavigationStackDelegate() = default;
    virtual void navigationControllerWillShowViewControllerAnimated(NavigationStack& navigationController,
                                                                    QWidget* viewController,
                                                                    bool animated) = 0;
    virtual void navigationControllerDidShowViewControllerAnimated(NavigationStack& navigationController,
                                                                   QWidget* viewController,
                                                                   bool animated) = 0;
};

// A stack of view controllers (widgets) of which only the top one is visible, over a
// QStackedWidget. The root can never be popped.
//
// Ownership: the stack holds its controllers while they are on it and gives them back (hidden and
// without a parent) when they leave it, also when the stack itself is destroyed, so that shared
// controllers outlive any one stack. A controller that carries Qt::WA_DeleteOnClose is one the
// stack should dispose of: it is deleted (later, from the event loop) once it leaves the stack.
class NavigationStack : public QWidget
{
    Q_OBJECT
public:
    // Shows `rootViewController` at once, reporting will-show and did-show for it to `delegate`
    // before the constructor returns. `delegate` may be null and must outlive the stack.
    NavigationStack(const QRect& frame, QWidget* rootViewController, NavigationStackDelegate* delegate,
                    QWidget* parent = nullptr);
    ~NavigationStack() override;

    // The stack's own view, to be placed in a container.
    QWidget* view() { return this; }

    NavigationStackDelegate* delegate() const { return delegate_; }
    void setDelegate(NavigationStackDelegate* delegate) { delegate_ = delegate; }

    // The controller on top, or null if there is none.
    QWidget* visibleViewController() const;
    QWidget* rootViewController() const;
    QList<QWidget*> viewControllers() const;

    // Shows `viewController` on top. Returns false, and changes nothing, for a null controller or
    // one that is already on the stack.
    bool pushViewControllerAnimated(QWidget* viewController, bool animated);

    // Removes the top controller and returns it; null (and nothing changes) when only the root is left.
    QWidget* popViewControllerAnimated(bool animated);

    // Removes everything above the root and returns what was removed, top first.
    QList<QWidget*> popToRootViewControllerAnimated(bool animated);

private:
    void show(QWidget* viewController, bool animated, const QList<QWidget*>& leaving);
    void release(QWidget* viewController);

    QStackedWidget* stackedWidget_;
    QList<QPointer<QWidget>> viewControllers_;
    NavigationStackDelegate* delegate_;
};

} // namespace airlark
