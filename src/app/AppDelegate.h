#pragma once

#include "platform/RedirectURLHandler.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace airlark {

class SingleInstance;

// The application's delegate: routes the "airlark" redirect of a browser sign-in to the client
// waiting for it, and decides that closing the last window quits. The application owns exactly
// one; current() finds it from anywhere on the main thread.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    static AppDelegate* current();

    // A window that welcomes a new user; created on first read and kept.
    QWidget* onboardingWindowController();

    // Registers for open-URL events: every URL `urlEvents` receives from another process goes
    // to handleURLEvent.
    void applicationWillFinishLaunching(SingleInstance& urlEvents);
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const;

    // The client whose sign-in is in progress; set by the sign-in pane before it opens the
    // browser, and kept until the next sign-in replaces it.
    const std::shared_ptr<RedirectURLHandler>& pendingAuthenticationSoundCloudAPIClient() const
    {
        return pendingAuthenticationSoundCloudAPIClient_;
    }
    void setPendingAuthenticationSoundCloudAPIClient(std::shared_ptr<RedirectURLHandler> client);

    // An open-URL event: `directObject` is the URL text it carries, if any. The URL reaches the
    // pending client only if it parses, a client is pending, and its scheme is exactly "airlark"
    // and its host exactly "soundcloud"; otherwise it is dropped with a log line.
    // Returns whether the URL was handed on.
    bool handleURLEvent(const std::optional<QString>& directObject);

private:
    std::unique_ptr<QWidget> onboardingWindowController_;
    std::shared_ptr<RedirectURLHandler> pendingAuthenticationSoundCloudAPIClient_;
};

} // namespace airlark
