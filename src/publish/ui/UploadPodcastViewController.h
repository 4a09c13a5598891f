#pragma once

#include "hosts/UploadDestination.h"
#include "platform/ui/ProgressNavigationControllerChild.h"
#include "publish/UploadPodcastViewModel.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

class DesktopNotifier;

// Step 4 of the episode workflow: publishes the tagged file to the account chosen in step 3 as
// soon as the step comes on screen, and shows the file, the account, a progress bar, the bytes
// sent while the upload runs, and a status line; after a success, where the episode went (the
// track's link, which can be copied, or the Libsyn folder and a link to Libsyn's dashboard). The wizard's
// Next button follows the upload: "Uploading…" (disabled) until the host has confirmed the file, then "Done"
// (back to step 1 for the next episode, the template still chosen) or, after a failure, "Retry" (the same
// file to the same account, afresh), with Back enabled to choose another account.
//
// Cancel, closing the window and Quit ask before they stop a running upload; the step is left
// only once the transfer has ended and what reached the server has been removed. A Libsyn folder
// that already has a file of the episode's name is never written over unasked: the step asks
// whether to replace it, and Keep (the default) leaves it as it is.
//
// One shared instance serves every episode of a run: each time it comes on screen it makes a new
// view model from what step 3 handed it (UploadDestination) and the workflow's episode fields.
class UploadPodcastViewController : public QWidget,
                                    public ProgressNavigationControllerChild,
                                    public UploadDestination,
                                    public UploadPodcastViewModelDelegate
{
    Q_OBJECT
public:
    explicit UploadPodcastViewController(QWidget* parent = nullptr);
    ~UploadPodcastViewController() override;

    const std::optional<QUrl>& fileURL() const { return fileURL_; }
    void setFileURL(std::optional<QUrl> fileURL) { fileURL_ = std::move(fileURL); }
    const std::optional<qint64>& userIdentifier() const { return userIdentifier_; }
    void setUserIdentifier(std::optional<qint64> userIdentifier) override
    {
        userIdentifier_ = userIdentifier;
    }
    const std::optional<PodcastHost>& host() const { return host_; }
    void setHost(std::optional<PodcastHost> host) override { host_ = host; }
    const std::optional<QString>& episodeTitle() const { return episodeTitle_; }
    void setEpisodeTitle(std::optional<QString> episodeTitle) { episodeTitle_ = std::move(episodeTitle); }
    const std::optional<QString>& episodeDescription() const { return episodeDescription_; }
    void setEpisodeDescription(std::optional<QString> description)
    {
        episodeDescription_ = std::move(description);
    }
    const std::optional<QUrl>& artworkURL() const { return artworkURL_; }
    void setArtworkURL(std::optional<QUrl> artworkURL) { artworkURL_ = std::move(artworkURL); }
    const QStringList& tags() const { return tags_; }
    void setTags(const QStringList& tags) override { tags_ = tags; }
    void setAccountName(const QString& name) override { accountName_ = name; }

    // What "Sign in to SoundCloud again" does: opens the sign-in for the account with this
    // identifier. Handed in by whoever builds the step, since the sign-in lives in another screen.
    void setSignInAgainAction(std::function<void(qint64 accountIdentifier)> action)
    {
        signInAgain_ = std::move(action);
    }

    QLabel* statusTextField() const { return statusTextField_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QLabel* fileLabel() const { return fileLabel_; }
    QLabel* accountLabel() const { return accountLabel_; }
    QLabel* transferredLabel() const { return transferredLabel_; }
    QPushButton* signInAgainButton() const { return signInAgainButton_; }
    // After a success: where the episode went, with a link that opens in the browser.
    QLabel* publishedLabel() const { return publishedLabel_; }
    QPushButton* copyLinkButton() const { return copyLinkButton_; }

    // The current upload's view model; null before the step was first shown.
    const std::shared_ptr<UploadPodcastViewModel>& viewModel() const { return viewModel_; }

    // Reads the workflow's episode fields, makes a new view model and starts the upload. The
    // wizard's did-present hook calls it each time the step comes on screen.
    void viewDidAppear();

    NextStepAction nextStepAction() override;
    void willPresentInProgressNavigationController(ProgressNavigationController& controller) override;
    void didPresentInProgressNavigationController(ProgressNavigationController& controller) override;
    void stepShouldLeave(StepLeaveReason reason, std::function<void()> proceed) override;

    void uploadPodcastViewModelUploadStatusDidChange(UploadPodcastViewModel& viewModel) override;

private:
    void makeProgressViews();
    void makeAfterUploadViews();
    void buildLayout();
    // A new view model for the current file and account, and its upload started; one that may
    // replace the file of the same name on Libsyn when the user chose to.
    void startUpload(bool replaceExisting = false);
    // Asks whether to replace the episode already on Libsyn under this name (Keep is the default).
    void askToReplaceIfTaken();
    std::shared_ptr<UploadPodcastViewModel> makeViewModel();
    void replaceViewModel(std::shared_ptr<UploadPodcastViewModel> viewModel);
    void showViewModel();
    bool isVisibleStep() const;
    // Tells the desktop when the upload ends while the window is in the background.
    void notifyEndIfAway();

    std::optional<QUrl> fileURL_;
    std::optional<qint64> userIdentifier_;
    std::optional<PodcastHost> host_;
    std::optional<QString> episodeTitle_;
    std::optional<QString> episodeDescription_;
    std::optional<QUrl> artworkURL_;
    QStringList tags_;
    QString accountName_;
    std::function<void(qint64)> signInAgain_;

    QPointer<QLabel> statusTextField_;
    QPointer<QProgressBar> progressIndicator_;
    QPointer<QLabel> fileLabel_;
    QPointer<QLabel> accountLabel_;
    QPointer<QLabel> transferredLabel_;
    QPointer<QPushButton> signInAgainButton_;
    QPointer<QLabel> publishedLabel_;
    QPointer<QPushButton> copyLinkButton_;
    std::shared_ptr<UploadPodcastViewModel> viewModel_;
    DesktopNotifier* notifier_ = nullptr;
    bool endNotified_ = false;
    bool replaceAsked_ = false;
};

} // namespace airlark
