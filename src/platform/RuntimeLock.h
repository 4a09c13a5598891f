#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>

namespace airlark {

// A lock that every Airlark process of the user honours: flock(2) on a file of its own in
// $XDG_RUNTIME_DIR/<application identifier>-locks (Qt's runtime location when the variable is
// unset). The kernel lets go of it when its holder closes the file or dies, so a crashed process
// never leaves a lock behind; the files themselves stay (removing one would let two holders lock
// two different files of the same name). Two locks of one name conflict within a process too.
class RuntimeLock
{
public:
    // Takes the lock `name` (letters, digits, '-' and '.'), polling while another holder keeps it,
    // for up to `patience` or until `giveUp` returns true. Nothing when it stayed held elsewhere.
    // When the lock file cannot be opened at all the lock is "taken" without protecting anything
    // (logged): a missing runtime folder must not stop the work it would guard.
    // Blocks: never on the GUI thread with any patience.
    static std::optional<RuntimeLock> acquire(const QString& name, std::chrono::milliseconds patience,
                                              const std::function<bool()>& giveUp = {});
    // Whether some holder keeps the lock `name` now (taking and letting go of it otherwise).
    static bool isHeldElsewhere(const QString& name);

    RuntimeLock(RuntimeLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    RuntimeLock& operator=(RuntimeLock&& other) noexcept;
    RuntimeLock(const RuntimeLock&) = delete;
    RuntimeLock& operator=(const RuntimeLock&) = delete;
    ~RuntimeLock();

private:
    explicit RuntimeLock(int fd) : fd_(fd) {}

    int fd_;
};

} // namespace airlark
