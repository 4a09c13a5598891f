#include "publish/ui/UploadPodcastViewController.h"

#include "platform/DesktopNotifier.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "publish/UploadEndNotice.h"

#include <QFont>
#include <QFormLayout>
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
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setAccessibleDescription(purpose);
    label->setWordWrap(true);
    return label;
}

} // namespace

UploadPodcastViewController::UploadPodcastViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("UploadPodcastViewController"));

    auto* heading = new QLabel(tr("Publish the episode"), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    heading->setFont(headingFont);

    fileLabel_ = makeValueLabel(tr("File"), this);
    fileLabel_->setObjectName(QStringLiteral("fileLabel"));
    accountLabel_ = makeValueLabel(tr("Account"), this);
    accountLabel_->setObjectName(QStringLiteral("accountLabel"));

    auto* details = new QFormLayout;
    details->addRow(tr("File:"), fileLabel_);
    details->addRow(tr("Account:"), accountLabel_);

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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addWidget(heading);
    layout->addLayout(details);
    layout->addSpacing(12);
    layout->addWidget(progressIndicator_);
    layout->addWidget(transferredLabel_);
    layout->addWidget(statusTextField_);
    layout->addStretch(1);

    notifier_ = new DesktopNotifier(this);
    connect(notifier_, &DesktopNotifier::activated, this, [this] {
        QWidget* mainWindow = window();
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    });
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
    replaceViewModel(std::move(viewModel));

    fileLabel_->setText(fileURL_ && !fileURL_->fileName().isEmpty() ? viewModel_->fileName()
                                                                    : tr("No file chosen"));
    accountLabel_->setText(userIdentifier_ && host_ ? viewModel_->accountText() : tr("No account chosen"));
    progressIndicator_->setValue(0);
    transferredLabel_->clear();
    statusTextField_->setText(viewModel_->statusText());
    viewModel_->setDelegate(this);
    if (canUpload)
        viewModel_->beginUpload();
    else
        viewModel_->setUploadState(UploadPodcastState::Failed);
}

NextStepAction UploadPodcastViewController::nextStepAction()
{
    return NextStepAction::Right([self = QPointer<UploadPodcastViewController>(this)] {
        if (self && self->window() && self->window()->isVisible())
            self->window()->close();
    });
}

void UploadPodcastViewController::willPresentInProgressNavigationController(
    ProgressNavigationController& controller)
{
    controller.setBackButtonEnabled(false);
    // Step 3 leaves Next enabled ("Start upload"); until the upload's first report arrives, Next
    // must not close the window under a starting upload.
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

void UploadPodcastViewController::showViewModel()
{
    progressIndicator_->setValue(viewModel_->uploadProgress());
    if (ProgressNavigationController* wizard = progressNavigationController()) {
        wizard->setNextButtonEnabled(viewModel_->uploadButtonEnabled());
        wizard->setNextButtonTitle(viewModel_->uploadButtonText());
    }
    statusTextField_->setText(viewModel_->statusText());
    transferredLabel_->setText(viewModel_->transferredText());
    notifyEndIfAway();
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
