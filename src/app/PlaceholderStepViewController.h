#pragma once

#include "platform/RedirectURLHandler.h"
#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;

namespace airlark {

// Stands in for a workflow step until its screen exists: it names the step, sets up the frame's
// buttons as that step will, and answers Next with the next step, or, on the last step, closes
// the window.
class PlaceholderStepViewController : public QWidget, public ProgressNavigationControllerChild
{
    Q_OBJECT
public:
    struct Configuration
    {
        QString title;
        QString nextButtonTitle;
        bool backButtonEnabled = true;
        bool cancelButtonEnabled = true;
        // The next step's controller; without one, Next closes the window.
        std::function<QWidget*()> nextStep;
    };

    explicit PlaceholderStepViewController(Configuration configuration, QWidget* parent = nullptr);

    const Configuration& configuration() const { return configuration_; }

    NextStepAction nextStepAction() override;
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override;

private:
    Configuration configuration_;
};

// Stands in for a host's sign-in pane until it exists.
class PlaceholderSignInViewController : public QWidget
{
    Q_OBJECT
public:
    using PendingClientSetter = std::function<void(std::shared_ptr<RedirectURLHandler>)>;

    explicit PlaceholderSignInViewController(const QString& hostName, QWidget* parent = nullptr);

    // How a pane that signs in through the browser makes itself the receiver of the redirect.
    const PendingClientSetter& pendingClientSetter() const { return pendingClientSetter_; }
    void setPendingClientSetter(PendingClientSetter setter) { pendingClientSetter_ = std::move(setter); }

private:
    PendingClientSetter pendingClientSetter_;
};

} // namespace airlark
