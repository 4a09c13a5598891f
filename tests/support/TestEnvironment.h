#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace airlark::test {

// Tests write credential items and files in the data directory, so they run only inside a
// private session of scripts/with-test-session.sh: the folder AIRLARK_TEST_SESSION names records
// the session bus this process is on ("bus-address"), and HOME and the XDG folders lie inside it.
bool insidePrivateSession();

// Called first in main(). Inside a private session, nothing (the tests run). Outside, runs this
// executable again with the same arguments in a new private session, and returns an exit status
// only if that cannot be done.
std::optional<int> enterPrivateSession(char** argv);

// Called from a static initializer by an executable whose tests need the credential store out of
// reach: the session bus then points at nothing before anything connects to it.
bool requestUnreachableSessionBus();

// Sets the application identity exactly as the application does.
void applyTestApplicationIdentity();

// The per-user data directory the store uses: $XDG_DATA_HOME/<application identifier>.
QString dataDirectory();

// Spins the Qt event loop until `done` holds or `timeout` passes; returns whether it held.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// How far the process's peak resident memory has grown since construction, in MiB.
class PeakMemoryGrowth
{
public:
    PeakMemoryGrowth();
    long long mebibytes() const;

private:
    long long before_;
};

// A file below the build folder.
QString binaryPath(const QString& relative);

} // namespace airlark::test
