#pragma once

#include <QUrl>
#include <functional>

class QWidget;

namespace airlark {

// Hands `url` to the desktop (a web page to the browser, a file to its viewer). When the desktop
// cannot open it, or there is nothing to open, a message box over `over`'s window says so and
// shows the address to copy: a click that silently does nothing reads as a broken button. The
// box's object name is "linkFailureMessage". Returns whether the desktop took the link.
bool openExternalLink(QWidget* over, const QUrl& url);

// What hands a link to the desktop: QDesktopServices::openUrl unless replaced (tests see the
// request without a browser). Returns the previous opener.
using ExternalLinkOpener = std::function<bool(const QUrl&)>;
ExternalLinkOpener setExternalLinkOpener(ExternalLinkOpener opener);

} // namespace airlark
