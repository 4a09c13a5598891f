#pragma once

// Drives the real application's main window, with the controllers the storyboard register hands
// out, through the whole episode workflow the way a user does: clicks, typing, a file dropped on
// step 1, the add-account window and its panes. Widgets run offscreen; the only stand-in is the
// open panel, which the driver answers.

#include "app/MainWindow.h"
#include "app/StoryboardRegister.h"
#include "hosts/ui/AddPodcastHostViewController.h"
#include "hosts/ui/SelectPodcastHostViewController.h"
#include "metadata/ui/EditMetadataViewController.h"
#include "metadata/ui/SelectTemplateViewController.h"
#include "platform/ui/TopMetadataProgressNavigationController.h"
#include "publish/ui/UploadPodcastViewController.h"
#include "store/LibsynAccountFeedType.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace airlark::test {

class WorkflowDriver
{
public:
    WorkflowDriver();
    ~WorkflowDriver();

    MainWindow& window() { return *window_; }
    TopMetadataProgressNavigationController& workflow() { return *window_->workflow(); }
    QWidget* visible() { return workflow().contentNavigationController()->visibleViewController(); }
    QPushButton& next() { return *workflow().nextButton(); }
    QPushButton& cancel() { return *workflow().cancelButton(); }

    // The shared steps and the current step 3, as the register hands them out.
    static auto& step1() { return *StoryboardRegister::Main::selectTemplateViewController(); }
    static auto& step2() { return *StoryboardRegister::EditMetadata::editMetadataViewController(); }
    static auto& step4() { return *StoryboardRegister::UploadPodcast::uploadPodcastViewController(); }
    auto* step3() { return dynamic_cast<SelectPodcastHostViewController*>(visible()); }

    // A folder for the test's files, removed with the driver.
    QString path(const QString& name) const { return folder_.filePath(name); }

    // Step 1: a new template through the template window (artwork by the open panel).
    bool createTemplate(const QString& podcast, const QString& artist, const QString& artworkPath);
    bool chooseTemplate(const QString& podcast);
    bool dropEpisode(const QString& path);
    // Step 1 to step 2, step 2 ("Save", after typing title and description) to step 3.
    bool goToStep2();
    bool saveMetadata(const QString& title, const QString& description);
    // Steps 1 and 2 for a new episode at `episodePath` holding `audio`, under a new template of
    // `podcast` (with a cover), saved with `title` and `description`; ends on step 3.
    bool tagEpisode(const QString& podcast, const QString& episodePath, const QByteArray& audio,
                    const QString& title, const QString& description);

    // Step 3: the add-account window and its panes.
    AddPodcastHostViewController* openAddAccountWindow(const QString& host);
    bool addLibsynAccount(const QString& showFolder, LibsynAccountFeedType feedType, const QString& email,
                          const QString& password);
    // Signs in through the SoundCloud pane; SoundCloud (the stand-in) knows the user as `username`.
    bool addSoundCloudAccount(const QString& username)
    {
        return signInToSoundCloud(openAddAccountWindow(QStringLiteral("SoundCloud")), username);
    }
    bool signInToSoundCloud(AddPodcastHostViewController* addWindow, const QString& username);
    bool chooseAccount(const QString& rowText);
    // Next ("Start upload") on step 3; step 4 runs the upload.
    bool startUpload();
    // Waits for step 4 to show "Done" or "Retry" on the wizard's Next button.
    bool waitForUploadEnd(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Answers the question a running upload or save asks before it is stopped: "Stop…" or "Continue".
    bool answerStopQuestion(bool stop);
    // Answers the question of an upload that found its name taken on Libsyn: "Replace" or "Keep".
    bool answerReplaceQuestion(bool replace);

    // The status line and Next title (without its mnemonic) of step 4, and its progress bar.
    QString uploadStatus() { return step4().statusTextField()->text(); }
    QString nextTitle() { return QString(next().text()).remove(QLatin1Char('&')); }

private:
    // Presses the visible question button of this name.
    bool answerQuestion(const QString& buttonName);
    // Clicks Add once `ready` holds and Add is enabled, and waits for the window to close.
    bool add(AddPodcastHostViewController* addWindow, const std::function<bool()>& ready);

    QTemporaryDir folder_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace airlark::test
