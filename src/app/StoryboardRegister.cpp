#include "app/StoryboardRegister.h"

#include "app/AppDelegate.h"
#include "hosts/ui/AddPodcastHostViewController.h"
#include "platform/MainQueue.h"

namespace airlark {

namespace {

// A controller of the wrong class, or a missing one, is a defect of this file: stop at once.
template <typename Controller>
Controller* checked(QWidget* widget, const Storyboard& storyboard, const QString& identifier)
{
    auto* controller = dynamic_cast<Controller*>(widget);
    if (!controller) {
        qFatal("Storyboard \"%s\" has no controller \"%s\" of the expected class",
               qPrintable(storyboard.name()), qPrintable(identifier));
    }
    return controller;
}

template <typename Controller>
Controller* instantiate(const Storyboard& storyboard, const QString& identifier)
{
    Q_ASSERT(MainQueue::isMainThread());
    return checked<Controller>(storyboard.instantiateControllerWithIdentifier(identifier), storyboard,
                               identifier);
}

// --- One factory per controller. ---

QWidget* makeSelectTemplateViewController()
{
    return new SelectTemplateViewController(&StoryboardRegister::EditMetadata::editMetadataViewController);
}

QWidget* makeEditMetadataViewController()
{
    return new EditMetadataViewController(
        &StoryboardRegister::ChoosePodcastHost::instantiateInitialController);
}

QWidget* makeSelectPodcastHostViewController()
{
    auto* controller = new SelectPodcastHostViewController(
        {[] {
             return static_cast<QWidget*>(StoryboardRegister::UploadPodcast::uploadPodcastViewController());
         },
         &StoryboardRegister::ChoosePodcastHost::presentAddPodcastHostWindow,
         &StoryboardRegister::ChoosePodcastHost::presentRecheckAccountWindow});
    controller->setAttribute(Qt::WA_DeleteOnClose);
    return controller;
}

QWidget* makeSoundCloudAuthenticationViewController()
{
    return new SoundCloudAuthenticationViewController([](std::shared_ptr<RedirectURLHandler> client) {
        if (AppDelegate* delegate = AppDelegate::current())
            delegate->setPendingAuthenticationSoundCloudAPIClient(std::move(client));
    });
}

QWidget* makeLibsynAuthenticationViewController()
{
    return new LibsynAuthenticationViewController;
}

QWidget* makeUploadPodcastViewController()
{
    auto* step = new UploadPodcastViewController;
    // An expired SoundCloud sign-in is renewed for the same account, in the add-account window.
    step->setSignInAgainAction([](qint64 accountID) {
        StoryboardRegister::ChoosePodcastHost::presentAddPodcastHostWindow();
        StoryboardRegister::ChoosePodcastHost::soundCloudAuthenticationViewController()
            ->viewModel()
            .renewAccount(accountID);
    });
    return step;
}

} // namespace

namespace StoryboardRegister {

const Storyboard& Main::storyboard()
{
    static const Storyboard storyboard(StoryboardName, {},
                                       {{SelectTemplateStoryboardID, &makeSelectTemplateViewController}});
    return storyboard;
}

SelectTemplateViewController* Main::selectTemplateViewController()
{
    static SelectTemplateViewController* const controller =
        instantiate<SelectTemplateViewController>(storyboard(), SelectTemplateStoryboardID);
    return controller;
}

const Storyboard& EditMetadata::storyboard()
{
    static const Storyboard storyboard(StoryboardName, {},
                                       {{EditMetadataViewControllerID, &makeEditMetadataViewController}});
    return storyboard;
}

EditMetadataViewController* EditMetadata::editMetadataViewController()
{
    static EditMetadataViewController* const controller =
        instantiate<EditMetadataViewController>(storyboard(), EditMetadataViewControllerID);
    return controller;
}

const Storyboard& ChoosePodcastHost::storyboard()
{
    static const Storyboard storyboard(
        StoryboardName, &makeSelectPodcastHostViewController,
        {{SoundCloudAuthenticationViewControllerID, &makeSoundCloudAuthenticationViewController},
         {LibsynAuthenticationViewControllerID, &makeLibsynAuthenticationViewController}});
    return storyboard;
}

SoundCloudAuthenticationViewController* ChoosePodcastHost::soundCloudAuthenticationViewController()
{
    static SoundCloudAuthenticationViewController* const controller =
        instantiate<SoundCloudAuthenticationViewController>(storyboard(),
                                                            SoundCloudAuthenticationViewControllerID);
    return controller;
}

LibsynAuthenticationViewController* ChoosePodcastHost::libsynAuthenticationViewController()
{
    static LibsynAuthenticationViewController* const controller =
        instantiate<LibsynAuthenticationViewController>(storyboard(), LibsynAuthenticationViewControllerID);
    return controller;
}

void ChoosePodcastHost::presentAddPodcastHostWindow()
{
    soundCloudAuthenticationViewController()->viewModel().renewAccount(std::nullopt);
    libsynAuthenticationViewController()->recheck(std::nullopt);
    AddPodcastHostViewController* window = AddPodcastHostViewController::present(
        [] { return static_cast<QWidget*>(libsynAuthenticationViewController()); },
        [] { return static_cast<QWidget*>(soundCloudAuthenticationViewController()); },
        // The main window, which holds the workflow's first step: not whichever window is active
        // (the help window, a message box, or none when another process asked).
        Main::selectTemplateViewController()->window());
    window->setWindowTitle(QObject::tr("Add Account"));
}

void ChoosePodcastHost::presentRecheckAccountWindow(const AccountQueryResult& account)
{
    presentAddPodcastHostWindow();
    AddPodcastHostViewController* window = AddPodcastHostViewController::presented();
    window->setWindowTitle(QObject::tr("Check \u201c%1\u201d Again").arg(account.displayName));
    if (podcastHostFromStoredText(account.host) == PodcastHost::Libsyn) {
        libsynAuthenticationViewController()->recheck(account);
        window->showHost(PodcastHost::Libsyn);
    } else {
        soundCloudAuthenticationViewController()->viewModel().renewAccount(account.id);
        window->showHost(PodcastHost::SoundCloud);
    }
}

QWidget* ChoosePodcastHost::instantiateInitialController()
{
    Q_ASSERT(MainQueue::isMainThread());
    return checked<SelectPodcastHostViewController>(storyboard().instantiateInitialController(), storyboard(),
                                                    QStringLiteral("(initial controller)"));
}

const Storyboard& UploadPodcast::storyboard()
{
    static const Storyboard storyboard(StoryboardName, {},
                                       {{UploadPodcastViewControllerID, &makeUploadPodcastViewController}});
    return storyboard;
}

UploadPodcastViewController* UploadPodcast::uploadPodcastViewController()
{
    static UploadPodcastViewController* const controller =
        instantiate<UploadPodcastViewController>(storyboard(), UploadPodcastViewControllerID);
    return controller;
}

} // namespace StoryboardRegister
} // namespace airlark
