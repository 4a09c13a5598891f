#pragma once

#include "store/PodcastHost.h"

#include <QImage>
#include <QString>
#include <optional>

namespace airlark {

// How a host is shown to the user. The stored forms of the hosts belong to the account table;
// the display name is the stored form itself, so a host reads the same in every list and menu.
QString displayName(PodcastHost host);

// The name of the host's icon among the application's images ("Libsyn-Icon", "SoundCloud-Icon").
QString iconName(PodcastHost host);

// The host's icon, loaded on first use and kept for the life of the process. Main thread only.
QImage icon(PodcastHost host);

// The image that stands for a host text that names no known host. Main thread only.
QImage blankHostImage();

// The icon of the host a stored host text names, or the blank image when it names none.
QImage iconForHostText(const QString& hostText);

} // namespace airlark
