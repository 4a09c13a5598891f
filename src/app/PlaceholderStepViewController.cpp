#include "app/PlaceholderStepViewController.h"

#include <QLabel>
#include <QVBoxLayout>

namespace airlark {

namespace {

QLabel* makeNotice(const QString& heading, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(
        QStringLiteral("<h2>%1</h2><p>%2</p>").arg(heading.toHtmlEscaped(), text.toHtmlEscaped()), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setAccessibleName(heading);
    return label;
}

} // namespace

PlaceholderStepViewController::PlaceholderStepViewController(Configuration configuration, QWidget* parent)
    : QWidget(parent), configuration_(std::move(configuration))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeNotice(configuration_.title, tr("This step is not available yet."), this));
}

NextStepAction PlaceholderStepViewController::nextStepAction()
{
    if (!configuration_.nextStep) {
        return NextStepAction::Right([this] {
            if (QWidget* shownIn = window(); shownIn && shownIn != this)
                shownIn->close();
        });
    }
    QWidget* next = configuration_.nextStep();
    if (ProgressNavigationControllerChild* nextStep = progressNavigationControllerChild(next))
        nextStep->setProgressNavigationController(progressNavigationController());
    return NextStepAction::Left(next);
}

void PlaceholderStepViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setNextButtonTitle(configuration_.nextButtonTitle);
    controller.setNextButtonEnabled(true);
    controller.setBackButtonTitle(tr("Back"));
    controller.setBackButtonEnabled(configuration_.backButtonEnabled);
    controller.setCancelButtonText(tr("Cancel"));
    controller.setCancelButtonEnabled(configuration_.cancelButtonEnabled);
}

PlaceholderSignInViewController::PlaceholderSignInViewController(const QString& hostName, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeNotice(tr("%1 sign-in").arg(hostName),
                                 tr("Signing in to %1 is not available yet.").arg(hostName), this));
}

} // namespace airlark
