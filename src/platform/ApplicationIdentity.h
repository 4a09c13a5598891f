#pragma once

#include <QString>

namespace airlark {

// The reverse-DNS identifier that names the data directory, the desktop entry and the
// single-instance socket. Defined once, in the top-level build.
QString applicationIdentifier();

// The human-readable name and version, as shown in the User-Agent and window titles.
QString applicationName();
QString applicationVersion();

// The file of the user's preferences that are not data (window sizes, the last folder used):
// $XDG_CONFIG_HOME/<identifier>/Airlark.conf, beside the SoundCloud app registration. Open it
// as QSettings(applicationSettingsPath(), QSettings::IniFormat).
QString applicationSettingsPath();

// Sets the identity on the running QCoreApplication so that QStandardPaths and
// QDesktopServices agree with the rest of Airlark. Call once, after the application object exists.
void applyApplicationIdentity();

} // namespace airlark
