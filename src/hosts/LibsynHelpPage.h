#pragma once

#include <QUrl>
#include <functional>

namespace airlark {

// The "libsyn-vs-external" help page: what a Libsyn feed and an external feed mean for a
// podcaster. The page is built into the application; display() writes it out to the cache
// folder (a desktop browser cannot read Qt resources) and opens it with the default handler.
class LibsynHelpPage
{
public:
    using Opener = std::function<bool(const QUrl&)>;

    static const QString ResourcePath; // ":/help/libsyn-vs-external.html"

    // Opens the page; the outcome of the open request is ignored. Main thread only.
    static void display();

    // Where display() hands the page's URL; QDesktopServices::openUrl unless replaced.
    // Returns the previous opener. Tests use this to see the request without a browser.
    static Opener setOpener(Opener opener);
};

} // namespace airlark
