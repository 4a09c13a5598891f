#pragma once

class QUrl;

namespace airlark {

// Whatever waits for the "airlark" redirect of a browser sign-in: the application delegate hands
// it every redirect URL that passed its checks. The SoundCloud client implements it.
class RedirectURLHandler
{
public:
    virtual ~RedirectURLHandler() = default;

    // Completes the sign-in with the redirect URL; the handler reports the outcome itself.
    virtual void handleRedirectURL(const QUrl& url) = 0;
};

} // namespace airlark
