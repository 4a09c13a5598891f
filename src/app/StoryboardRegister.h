#pragma once

#include "app/Storyboard.h"
#include "hosts/ui/LibsynAuthenticationViewController.h"
#include "hosts/ui/SelectPodcastHostViewController.h"
#include "hosts/ui/SoundCloudAuthenticationViewController.h"
#include "metadata/ui/EditMetadataViewController.h"
#include "metadata/ui/SelectTemplateViewController.h"
#include "publish/ui/UploadPodcastViewController.h"

#include <QString>

class QWidget;

namespace airlark {

// The one place that names the workflow's storyboards and controller identifiers and hands out
// the shared screens. Each member is created on first use (exactly once, even if first uses race)
// and kept for the rest of the process; call them on the main thread.
//
// Each controller is built in one factory function in StoryboardRegister.cpp, which also injects
// what the controller needs from the rest of the application (the provider of the next step, a way
// to set the delegate's pending sign-in client), so that no lower layer includes app/.
namespace StoryboardRegister {

namespace Main {
inline const QString StoryboardName = QStringLiteral("Main");
inline const QString SelectTemplateStoryboardID = QStringLiteral("SelectTemplateStoryboardID");
const Storyboard& storyboard();
// Step 1, the root of the workflow.
SelectTemplateViewController* selectTemplateViewController();
} // namespace Main

namespace EditMetadata {
inline const QString StoryboardName = QStringLiteral("EditMetadata");
inline const QString EditMetadataViewControllerID = QStringLiteral("editMetadataViewController");
const Storyboard& storyboard();
// Step 2.
EditMetadataViewController* editMetadataViewController();
} // namespace EditMetadata

namespace ChoosePodcastHost {
inline const QString StoryboardName = QStringLiteral("ChoosePodcastHost");
inline const QString SoundCloudAuthenticationViewControllerID =
    QStringLiteral("SoundCloudAuthenticationViewController");
inline const QString LibsynAuthenticationViewControllerID =
    QStringLiteral("LibsynAuthenticationViewController");
// Its initial controller is step 3, made anew for every pass (see instantiateInitialController).
const Storyboard& storyboard();
SoundCloudAuthenticationViewController* soundCloudAuthenticationViewController();
LibsynAuthenticationViewController* libsynAuthenticationViewController();
// A new step 3 each call. The navigation stack deletes it once it leaves the stack.
QWidget* instantiateInitialController();
// Opens the add-account window over the two shared sign-in panes, or raises the open one.
void presentAddPodcastHostWindow();
// The same window, on the account's pane, to check a saved account again: a new password (and
// folder, e-mail, feed type) for Libsyn, a new sign-in for SoundCloud.
void presentRecheckAccountWindow(const AccountQueryResult& account);
} // namespace ChoosePodcastHost

namespace UploadPodcast {
inline const QString StoryboardName = QStringLiteral("UploadPodcast");
inline const QString UploadPodcastViewControllerID = QStringLiteral("UploadPodcastViewController");
const Storyboard& storyboard();
// Step 4.
UploadPodcastViewController* uploadPodcastViewController();
} // namespace UploadPodcast

} // namespace StoryboardRegister
} // namespace airlark
