#include "publish/ui/UploadPodcastViewController.h"

#include "platform/DesktopNotifier.h"
#include "platform/ui/ExternalLink.h"
#include "platform/ui/StopConfirmation.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "publish/UploadEndNotice.h"

#include <QClipboard>
#include <QFont>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QtDebug>

namespace airlark {

namespace {

// A screen reader reads a label's text as its name, and hears a change of it at once; a fixed
// accessible name would be read instead of the value, so the label's purpose goes into its
// description.
QLabel* makeValueLabel(const QString& purpose, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setAccessibleDescription(purpose);
    label->setWordWrap(true);
    return label;
}

} // namespace

UploadPodcastViewController::UploadPodcastViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("UploadPodcastViewController"));
    makeProgressViews();
    makeAfterUploadViews();
    buildLayout();

    notifier_ = new DesktopNotifier(this);
    connect(notifier_, &DesktopNotifier::activated, this, [this] {
        QWidget* mainWindow = window();
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    });
}

void UploadPodcastViewController::makeProgressViews()
{
    fileLabel_ = makeValueLabel(tr("File"), this);
    fileLabel_->setObjectName(QStringLiteral("fileLabel"));
    accountLabel_ = makeValueLabel(tr("Account"), this);
    accountLabel_->setObjectName(QStringLiteral("accountLabel"));

    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator_->setRange(0, 100);
    progressIndicator_->setValue(0);
    progressIndicator_->setAccessibleName(tr("Upload progress"));

    transferredLabel_ = makeValueLabel(tr("Bytes sent"), this);
    transferredLabel_->setObjectName(QStringLiteral("transferredLabel"));
    transferredLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    statusTextField_ = makeValueLabel(tr("Upload status"), this);
    statusTextField_->setObjectName(QStringLiteral("statusTextField"));
    statusTextField_->setAlignment(Qt::AlignCenter);
    QFont statusFont = statusTextField_->font();
    statusFont.setPointSizeF(statusFont.pointSizeF() * 1.2);
    statusTextField_->setFont(statusFont);
}

// What the end of an upload offers: signing in again, or the published page and its link.
void UploadPodcastViewController::makeAfterUploadViews()
{
    signInAgainButton_ = new QPushButton(tr("Sign in to SoundCloud again\u2026"), this);
    signInAgainButton_->setObjectName(QStringLiteral("signInAgainButton"));
    signInAgainButton_->setAutoDefault(false);
    signInAgainButton_->hide();
    connect(signInAgainButton_, &QPushButton::clicked, this, [this] {
        if (signInAgain_ && userIdentifier_)
            signInAgain_(*userIdentifier_);
    });

    publishedLabel_ = makeValueLabel(tr("Published at"), this);
    publishedLabel_->setObjectName(QStringLiteral("publishedLabel"));
    publishedLabel_->setAlignment(Qt::AlignCenter);
    publishedLabel_->setTextFormat(Qt::RichText);
    publishedLabel_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    publishedLabel_->hide();
    // The link goes through openExternalLink, so that a browser that cannot start is said.
    connect(publishedLabel_, &QLabel::linkActivated, this,
            [this](const QString& link) { openExternalLink(this, QUrl(link)); });

    copyLinkButton_ = new QPushButton(tr("&Copy Link"), this);
    copyLinkButton_->setObjectName(QStringLiteral("copyLinkButton"));
    copyLinkButton_->setAutoDefault(false);
    copyLinkButton_->hide();
    connect(copyLinkButton_, &QPushButton::clicked, this, [this] {
        if (const auto page = viewModel_ ? viewModel_->publishedPageURL() : std::nullopt)
            QGuiApplication::clipboard()->setText(page->toString());
    });
}

void UploadPodcastViewController::buildLayout()
{
    auto* heading = new QLabel(tr("Publish the episode"), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    heading->setFont(headingFont);

    auto* details = new QFormLayout;
    details->addRow(tr("File:"), fileLabel_);
    details->addRow(tr("Account:"), accountLabel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addWidget(heading);
    layout->addLayout(details);
    layout->addSpacing(12);
    layout->addWidget(progressIndicator_);
    layout->addWidget(transferredLabel_);
    layout->addWidget(statusTextField_);
    layout->addWidget(signInAgainButton_, 0, Qt::AlignHCenter);
    layout->addWidget(publishedLabel_);
    layout->addWidget(copyLinkButton_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

UploadPodcastViewController::~UploadPodcastViewController()
{
    // The upload may outlive this screen (its transport holds the view model).
    if (viewModel_)
        viewModel_->setDelegate(nullptr);
}

std::shared_ptr<UploadPodcastViewModel> UploadPodcastViewController::makeViewModel()
{
    if (fileURL_ && userIdentifier_ && host_) {
        return UploadPodcastViewModel::create(*fileURL_, *userIdentifier_, *host_, episodeTitle_, artworkURL_,
                                              tags_, episodeDescription_);
    }
    return nullptr;
}

void UploadPodcastViewController::replaceViewModel(std::shared_ptr<UploadPodcastViewModel> viewModel)
{
    // An earlier upload still running reports to nobody from now on, so that it never overwrites
    // what the screen shows of this one.
    if (viewModel_)
        viewModel_->setDelegate(nullptr);
    viewModel_ = std::move(viewModel);
    endNotified_ = false;
    replaceAsked_ = false;
}

void UploadPodcastViewController::viewDidAppear()
{
    if (auto* workflow =
            qobject_cast<TopMetadataProgressNavigationController*>(progressNavigationController())) {
        episodeTitle_ = workflow->episodeTitle();
        artworkURL_ = workflow->artworkURL();
        fileURL_ = workflow->fileURL();
        episodeDescription_ = workflow->episodeDescription();
    }
    startUpload();
}

void UploadPodcastViewController::startUpload(bool replaceExisting)
{
    auto viewModel = makeViewModel();
    const bool canUpload = viewModel != nullptr;
    if (!canUpload) {
        // Without a file, an account or a host the upload cannot be made; the step says it failed
        // rather than waiting for ever.
        qWarning("Upload not started: %s", !fileURL_ ? "no episode file"
                                           : !host_  ? "the account's host is unknown"
                                                     : "no account chosen");
        viewModel = UploadPodcastViewModel::create(fileURL_.value_or(QUrl()), userIdentifier_.value_or(0),
                                                   host_.value_or(PodcastHost::Libsyn), episodeTitle_,
                                                   artworkURL_, tags_, episodeDescription_);
    }
    viewModel->setAccountName(accountName_);
    viewModel->setReplaceExisting(replaceExisting);
    replaceViewModel(std::move(viewModel));

    fileLabel_->setText(fileURL_ && !fileURL_->fileName().isEmpty() ? viewModel_->fileName()
                                                                    : tr("No file chosen"));
    accountLabel_->setText(userIdentifier_ && host_ ? viewModel_->accountText() : tr("No account chosen"));
    progressIndicator_->setValue(0);
    transferredLabel_->clear();
    signInAgainButton_->hide();
    publishedLabel_->hide();
    copyLinkButton_->hide();
    statusTextField_->setText(viewModel_->statusText());
    viewModel_->setDelegate(this);
    if (canUpload)
        viewModel_->beginUpload();
    else
        viewModel_->setUploadState(UploadPodcastState::Failed);
    // At once, not with the first report: a second press of Retry must find Next disabled.
    showViewModel();
}

NextStepAction UploadPodcastViewController::nextStepAction()
{
    return NextStepAction::Right([self = QPointer<UploadPodcastViewController>(this)] {
        if (!self || !self->viewModel_)
            return;
        if (self->viewModel_->canRetry()) {
            self->startUpload();
            return;
        }
        if (self->viewModel_->uploadState() != UploadPodcastState::Successful)
            return;
        // Done: ready for the next episode, in the same window.
        ProgressNavigationController* frame = self->progressNavigationController();
        if (auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(frame))
            workflow->finishEpisode();
        else if (frame)
            frame->returnToFirstStep();
    });
}

void UploadPodcastViewController::stepShouldLeave(StepLeaveReason reason, std::function<void()> proceed)
{
    const std::shared_ptr<UploadPodcastViewModel> viewModel = viewModel_;
    if (!viewModel || !viewModel->isRunning()) {
        proceed();
        return;
    }
    // Cancel leaves the step once the upload is gone from the server; if it finished first, or
    // what was sent could not be removed, the step stays and says so. A closing window goes anyway.
    auto stopped = [viewModel, reason, proceed = std::move(proceed)] {
        const bool leave = reason == StepLeaveReason::CloseWindow ||
                           viewModel->uploadState() == UploadPodcastState::Failed ||
                           (viewModel->uploadState() == UploadPodcastState::Cancelled &&
                            !viewModel->failureReasonFromServer());
        if (leave)
            proceed();
    };
    if (viewModel->isStopping()) {
        viewModel->cancelUpload(std::move(stopped));
        return;
    }
    askToStop(
        window(),
        tr("Stop uploading \u201c%1\u201d to %2?").arg(viewModel->fileName(), viewModel->accountText()),
        tr("The part already sent will be removed from the server."), tr("Stop Uploading"),
        [viewModel, stopped = std::move(stopped)]() mutable { viewModel->cancelUpload(std::move(stopped)); });
}

void UploadPodcastViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setBackButtonEnabled(false);
    // Step 3 leaves Next enabled ("Start upload"); until the upload's first report arrives, Next
    // must not act on a starting upload.
    controller.setNextButtonEnabled(false);
}

void UploadPodcastViewController::didPresentInProgressNavigationController(ProgressNavigationController&)
{
    viewDidAppear();
}

void UploadPodcastViewController::uploadPodcastViewModelUploadStatusDidChange(
    UploadPodcastViewModel& viewModel)
{
    if (&viewModel != viewModel_.get())
        return;
    showViewModel();
}

bool UploadPodcastViewController::isVisibleStep() const
{
    const ProgressNavigationController* frame = progressNavigationController();
    return frame && frame->isShowing(this);
}

void UploadPodcastViewController::showViewModel()
{
    progressIndicator_->setValue(viewModel_->uploadProgress());
    statusTextField_->setText(viewModel_->statusText());
    transferredLabel_->setText(viewModel_->transferredText());
    signInAgainButton_->setVisible(viewModel_->signInExpired() && signInAgain_);
    publishedLabel_->setText(viewModel_->publishedText());
    publishedLabel_->setVisible(!publishedLabel_->text().isEmpty());
    copyLinkButton_->setVisible(viewModel_->host() == PodcastHost::SoundCloud &&
                                viewModel_->publishedPageURL());
    notifyEndIfAway();
    askToReplaceIfTaken();
    // The wizard's buttons belong to whichever step shows: a report that arrives after this one
    // was left must not relabel another step's Next.
    if (!isVisibleStep())
        return;
    ProgressNavigationController* wizard = progressNavigationController();
    wizard->setNextButtonEnabled(viewModel_->uploadButtonEnabled());
    wizard->setNextButtonTitle(viewModel_->uploadButtonText());
    wizard->setBackButtonEnabled(viewModel_->canRetry());
    wizard->setCancelButtonEnabled(!viewModel_->isStopping());
}

void UploadPodcastViewController::askToReplaceIfTaken()
{
    const auto& question = viewModel_->replaceQuestion();
    if (!question || replaceAsked_ || !isVisibleStep())
        return;
    replaceAsked_ = true;
    askToReplace(window(), *question,
                 tr("Replacing it changes the episode that Libsyn publishes under this name."),
                 tr("&Replace"), [self = QPointer<UploadPodcastViewController>(this), asked = viewModel_] {
                     // Only for the upload that asked: a later one started meanwhile asks for itself.
                     if (self && self->viewModel_ == asked && !asked->isRunning())
                         self->startUpload(true);
                 });
}

void UploadPodcastViewController::notifyEndIfAway()
{
    if (endNotified_)
        return;
    const auto notice = uploadEndNotice(*viewModel_);
    if (!notice)
        return;
    // Whoever watched it end has seen the status line already.
    endNotified_ = true;
    if (!window()->isActiveWindow())
        notifier_->notify(notice->summary, notice->body);
}

} // namespace airlark
