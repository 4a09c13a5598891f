#pragma once

#include <QUrl>
#include <optional>

namespace airlark {

// The "libsyn-vs-external" help page: what a Libsyn feed and an external feed mean for a
// podcaster. The page is built into the application; a desktop browser cannot read Qt resources,
// so fileURL() writes it out to the cache folder first.
class LibsynHelpPage
{
public:
    static const QString ResourcePath; // ":/help/libsyn-vs-external.html"

    // The page as a file the browser can open, refreshed from the built-in copy; none when it
    // could not be written. Main thread only.
    static std::optional<QUrl> fileURL();
};

// Where a Libsyn podcaster manages and publishes episodes once the file is in the show's folder.
QUrl libsynDashboardURL();

} // namespace airlark
