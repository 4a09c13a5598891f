#pragma once

#include <QString>
#include <optional>

namespace airlark {

// The per-user data directory: $XDG_DATA_HOME (Qt's generic data location) followed by the
// application identifier. Empty when the platform reports no data location.
QString dataDirectoryPath();

// The data directory, created with its parents when missing; nothing when there is no data
// location or the directory cannot be created (an existing directory is success).
std::optional<QString> ensureDataDirectory();

// A sub-directory of the data directory, created likewise.
std::optional<QString> ensureDataSubdirectory(const QString& name);

} // namespace airlark
