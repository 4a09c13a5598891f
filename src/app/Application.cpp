#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/StoryboardRegister.h"
#include "app/Translations.h"
#include "metadata/TagJournal.h"
#include "metadata/ui/SelectTemplateViewController.h"
#include "platform/ApplicationIdentity.h"
#include "platform/LibCurl.h"
#include "platform/MainQueue.h"
#include "platform/ui/DeferredStandardIcons.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <thread>

namespace airlark {

QStringList urlArguments(const QStringList& arguments)
{
    QStringList urls;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!optionsEnded && argument == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')))
            continue;
        urls.append(argument);
    }
    return urls;
}

namespace {

void addFileMenuActions(MainWindow& window)
{
    window.addFileMenuAction(StoryboardRegister::Main::selectTemplateViewController()->newTemplateAction());
    auto* addAccount = new QAction(QObject::tr("&Add Account\u2026"), &window);
    addAccount->setObjectName(QStringLiteral("addAccountAction"));
    QObject::connect(addAccount, &QAction::triggered, &window,
                     [] { StoryboardRegister::ChoosePodcastHost::presentAddPodcastHostWindow(); });
    window.addFileMenuAction(addAccount);
}

// What the first frame need not wait for, started once the window is shown.
void startAfterFirstFrame(MainWindow& window)
{
    // libcurl loads (and sets up its TLS library) here, off the GUI thread, rather than on it when a
    // sign-in or an upload first needs it.
    MainQueue::runInBackground([] { LibCurl::get(); });
    // The installed icon theme's, as the desktop shows it; the built-in one when Airlark runs
    // uninstalled. Looking it up and rendering it takes some milliseconds that the first frame need
    // not wait for: the desktop takes the icon from the window whenever it is set.
    QTimer::singleShot(0, &window, [] {
        QApplication::setWindowIcon(
            QIcon::fromTheme(applicationIdentifier(), QIcon(QStringLiteral(":/images/Airlark.svg"))));
    });
}

} // namespace

int runAirlark(QApplication& application)
{
    DeferredStandardIconStyle::install();
    applyApplicationIdentity();
    installTranslations(application);
    QApplication::setDesktopFileName(applicationIdentifier());
    const QStringList urls = urlArguments(QApplication::arguments());

    SingleInstance instance;
    const SingleInstance::Start start = instance.start(urls);
    if (start == SingleInstance::Start::Forwarded)
        return 0;
    if (start == SingleInstance::Start::Failed)
        qWarning().noquote() << instance.problem();

    // Tag writes that a crash cut short are undone in the background once the window is up
    // (opening such an episode undoes its own at once); the thread is joined before this function
    // returns. Only the first Airlark does it: one that cannot tell whether another runs might undo
    // that one's write.
    std::jthread journalRecovery;

    AppDelegate delegate;
    delegate.applicationWillFinishLaunching(instance);
    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });

    MainWindow window(
        [] { return static_cast<QWidget*>(StoryboardRegister::Main::selectTemplateViewController()); });
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &MainWindow::bringToFront);
    addFileMenuActions(window);
    window.show();
    if (start == SingleInstance::Start::Primary)
        journalRecovery = std::jthread([] { TagJournal::recoverAll(); });
    startAfterFirstFrame(window);
    delegate.applicationDidFinishLaunching();
    if (start == SingleInstance::Start::Failed)
        window.showProblem(instance.problem());

    // A URL the desktop started us with is handled like one from another process, once running.
    for (const QString& url : urls)
        MainQueue::async([&delegate, url] { delegate.handleURLEvent(url); });

    const int status = application.exec();
    // The window's close asked running transfers and saves to stop; their threads end here.
    MainQueue::joinBackgroundThreads();
    return status;
}

} // namespace airlark
