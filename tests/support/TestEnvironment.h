#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace airlark::test {

// Points XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_CACHE_HOME (and XDG_RUNTIME_DIR when unset)
// below `root`, creating them. Call before the QApplication exists.
void usePrivateDirectories(const QString& root);

// Sets the application identity exactly as the application does.
void applyTestApplicationIdentity();

// The per-user data directory the store uses: $XDG_DATA_HOME/<application identifier>.
QString dataDirectory();

// Spins the Qt event loop until `done` holds or `timeout` passes; returns whether it held.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A file below the repository's tests/ folder, or the build folder.
QString sourcePath(const QString& relative);
QString binaryPath(const QString& relative);

} // namespace airlark::test
