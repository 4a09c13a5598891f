#include "platform/ui/ProgressNavigationController.h"

#include "platform/ui/ProgressNavigationControllerChild.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace airlark {

ProgressNavigationControllerChild* progressNavigationControllerChild(QWidget* viewController)
{
    return dynamic_cast<ProgressNavigationControllerChild*>(viewController);
}

namespace {

// The wizard's buttons keep a mnemonic whatever a step calls them: on `key` when the title has
// that letter, else on its first letter that is not Back's or Cancel's. A title may bring its own.
QString withMnemonic(const QString& title, QChar key = {})
{
    if (title.contains(QLatin1Char('&')))
        return title;
    qsizetype at = key.isNull() ? -1 : title.indexOf(key, 0, Qt::CaseInsensitive);
    for (qsizetype i = 0; at < 0 && i < title.size(); ++i) {
        const QChar letter = title.at(i).toLower();
        if (letter.isLetter() && letter != QLatin1Char('b') && letter != QLatin1Char('l'))
            at = i;
    }
    return at < 0 ? title : title.left(at) + QLatin1Char('&') + title.mid(at);
}

} // namespace

ProgressNavigationController::ProgressNavigationController(
    std::function<QWidget*()> rootViewControllerProvider, QWidget* parent)
    : QWidget(parent), rootViewControllerProvider_(std::move(rootViewControllerProvider))
{
    contentView_ = new QWidget(this);
    contentView_->setObjectName(QStringLiteral("contentView"));

    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator_->setAccessibleName(tr("Progress"));
    progressIndicator_->setTextVisible(true);
    progressIndicator_->setFormat(QString());
    progressIndicator_->setRange(0, 1);
    progressIndicator_->setValue(0);
    progressIndicator_->setMinimumWidth(160);
    progressIndicator_->setMaximumWidth(220);

    // Back's and Cancel's mnemonics are letters no step's own controls use (they have P, A, D, T,
    // N, C, S, ...); Next's follows its title (Next, Save, Start upload, Done, Retry).
    backButton_ = new QPushButton(this);
    backButton_->setObjectName(QStringLiteral("backButton"));
    ProgressNavigationController::setBackButtonTitle(tr("Back"));
    cancelButton_ = new QPushButton(this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    ProgressNavigationController::setCancelButtonText(tr("Cancel"));
    nextButton_ = new QPushButton(this);
    nextButton_->setObjectName(QStringLiteral("nextButton"));
    ProgressNavigationController::setNextButtonTitle(tr("Next"));
    // Enter moves on from anywhere in the step that does not use it itself; on a focused button it
    // presses that button. Next is drawn as the default so that a glance tells which one Enter is.
    for (QPushButton* button : {backButton_, cancelButton_, nextButton_})
        button->setAutoDefault(true);
    nextButton_->setDefault(true);
    connect(nextButton_, &QPushButton::clicked, this, &ProgressNavigationController::nextButtonPressed);
    connect(backButton_, &QPushButton::clicked, this, &ProgressNavigationController::backButtonPressed);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgressNavigationController::cancelButtonPressed);

    auto* bar = new QHBoxLayout;
    bar->addWidget(progressIndicator_);
    bar->addStretch(1);
    bar->addWidget(backButton_);
    bar->addWidget(cancelButton_);
    bar->addWidget(nextButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(contentView_, 1);
    layout->addLayout(bar);

    // Keyboard order follows the reading order: the step's own controls, then Back, Cancel, Next.
    setTabOrder(backButton_, cancelButton_);
    setTabOrder(cancelButton_, nextButton_);
}

ProgressNavigationController::~ProgressNavigationController()
{
    // The stack hands its steps back while this frame, their delegate, still exists.
    delete contentNavigationController_.data();
}

void ProgressNavigationController::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && nextButton_->isVisible() && nextButton_->isEnabled()) {
        nextButton_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProgressNavigationController::loadViewIfNeeded()
{
    if (!isViewLoaded())
        viewDidLoad();
}

void ProgressNavigationController::viewDidLoad()
{
    setNumberOfSteps(4);
    const QRect frame = contentView_->rect();
    QWidget* root = rootViewControllerProvider_ ? rootViewControllerProvider_() : nullptr;
    // The stack reports the root to this frame as it is created, so the first step sets up the buttons.
    auto* stack = new NavigationStack(frame, root, this, contentView_);
    contentNavigationController_ = stack;
    stack->setGeometry(contentView_->rect());
    auto* contentLayout = new QVBoxLayout(contentView_);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(stack->view());
    updateProgressIndicator();
}

void ProgressNavigationController::showEvent(QShowEvent* event)
{
    loadViewIfNeeded();
    QWidget::showEvent(event);
}

void ProgressNavigationController::setNumberOfSteps(qint64 numberOfSteps)
{
    numberOfSteps_ = numberOfSteps;
    updateProgressIndicator();
}

void ProgressNavigationController::setCurrentStep(qint64 currentStep)
{
    currentStep_ = currentStep;
    updateProgressIndicator();
}

void ProgressNavigationController::updateProgressIndicator()
{
    if (!progressIndicator_)
        return;
    if (numberOfSteps_ <= 0) {
        progressIndicator_->setRange(0, 1);
        progressIndicator_->setValue(0);
        progressIndicator_->setFormat(QString());
        return;
    }
    const qint64 shown = std::clamp<qint64>(currentStep_ + 1, 1, numberOfSteps_);
    progressIndicator_->setRange(0, static_cast<int>(numberOfSteps_));
    progressIndicator_->setValue(static_cast<int>(shown));
    progressIndicator_->setFormat(tr("Step %1 of %2").arg(shown).arg(numberOfSteps_));
    progressIndicator_->setAccessibleDescription(progressIndicator_->format());
}

void ProgressNavigationController::displayNextViewController(QWidget* viewController)
{
    if (!contentNavigationController_)
        return;
    if (contentNavigationController_->pushViewControllerAnimated(viewController, false))
        setCurrentStep(currentStep_ + 1);
}

void ProgressNavigationController::nextButtonPressed()
{
    if (!contentNavigationController_)
        return;
    ProgressNavigationControllerChild* step =
        progressNavigationControllerChild(contentNavigationController_->visibleViewController());
    if (!step)
        return;
    const NextStepAction action = step->nextStepAction();
    if (action.isLeft()) {
        displayNextViewController(action.left());
    } else if (action.right()) {
        action.right()();
    }
}

void ProgressNavigationController::backButtonPressed()
{
    if (!contentNavigationController_)
        return;
    // Back on the root pops nothing, so the count stays where it is.
    if (contentNavigationController_->popViewControllerAnimated(false))
        setCurrentStep(currentStep_ - 1);
}

void ProgressNavigationController::cancelButtonPressed()
{
    if (!contentNavigationController_)
        return;
    // A step with work running (an upload) asks first and stops it before it is left.
    auto leave = [self = QPointer<ProgressNavigationController>(this)] {
        if (self)
            self->returnToFirstStep();
    };
    if (ProgressNavigationControllerChild* step =
            progressNavigationControllerChild(contentNavigationController_->visibleViewController()))
        step->stepShouldLeave(StepLeaveReason::Cancel, std::move(leave));
    else
        leave();
}

void ProgressNavigationController::returnToFirstStep()
{
    if (!contentNavigationController_)
        return;
    contentNavigationController_->popToRootViewControllerAnimated(false);
    // Back at the root is back at the first step, however deep the stack was.
    setCurrentStep(0);
}

void ProgressNavigationController::windowShouldClose(std::function<void()> proceed)
{
    ProgressNavigationControllerChild* step =
        contentNavigationController_
            ? progressNavigationControllerChild(contentNavigationController_->visibleViewController())
            : nullptr;
    if (step)
        step->stepShouldLeave(StepLeaveReason::CloseWindow, std::move(proceed));
    else
        proceed();
}

void ProgressNavigationController::navigationControllerWillShowViewControllerAnimated(NavigationStack&,
                                                                                      QWidget* viewController,
                                                                                      bool)
{
    if (ProgressNavigationControllerChild* step = progressNavigationControllerChild(viewController)) {
        step->willPresentInProgressNavigationController(*this);
        step->setProgressNavigationController(this);
    }
}

namespace {

// Typing starts where reading does: in the step's first control that takes the keyboard.
void focusFirstControl(QWidget* step)
{
    for (QWidget* widget = step->nextInFocusChain(); widget && widget != step;
         widget = widget->nextInFocusChain()) {
        if (step->isAncestorOf(widget) && widget->isVisibleTo(step) && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

} // namespace

void ProgressNavigationController::navigationControllerDidShowViewControllerAnimated(NavigationStack&,
                                                                                     QWidget* viewController,
                                                                                     bool)
{
    if (viewController)
        focusFirstControl(viewController);
    if (ProgressNavigationControllerChild* step = progressNavigationControllerChild(viewController))
        step->didPresentInProgressNavigationController(*this);
}

void ProgressNavigationController::setNextButtonTitle(const QString& title)
{
    nextButton_->setText(withMnemonic(title));
}

void ProgressNavigationController::setBackButtonTitle(const QString& title)
{
    backButton_->setText(withMnemonic(title, QLatin1Char('b')));
}

void ProgressNavigationController::setCancelButtonText(const QString& title)
{
    cancelButton_->setText(withMnemonic(title, QLatin1Char('l')));
}

bool ProgressNavigationController::isShowing(const QWidget* step) const
{
    return contentNavigationController_ && contentNavigationController_->visibleViewController() == step;
}

void ProgressNavigationController::setNextButtonEnabled(bool enabled)
{
    nextButton_->setEnabled(enabled);
}

void ProgressNavigationController::setBackButtonEnabled(bool enabled)
{
    backButton_->setEnabled(enabled);
}

void ProgressNavigationController::setCancelButtonEnabled(bool enabled)
{
    cancelButton_->setEnabled(enabled);
}

} // namespace airlark
