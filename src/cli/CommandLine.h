#pragma once

#include <QString>
#include <optional>

namespace airlark::cli {

// What the command line ends with; README.md and --help list them for scripts.
enum class ExitStatus : int
{
    Ok = 0,
    Failure = 1,       // the store cannot be opened, no graphical session for the window
    Usage = 2,         // bad options, unknown or ambiguous name, missing file
    TagFailure = 3,    // the tags could not be written
    SignInFailure = 4, // no stored password or token, or the host refused it
    UploadFailure = 5, // the upload failed
    CheckFailure = 6,  // the episode's check found a failure (publish: nothing was uploaded)
    Interrupted = 130, // Ctrl+C; nothing of the episode is left on the host
};

inline int code(ExitStatus status)
{
    return static_cast<int>(status);
}

// Runs the command line when the arguments ask for it, or says that the window needs a graphical
// session when there is none; nothing when the window should start. Call before any application
// object exists: this one makes a QCoreApplication of its own and never opens a window.
std::optional<int> runWithoutWindow(int& argc, char** argv);

// One line on standard output (results only: scripts read it) or standard error (everything else).
void printResult(const QString& line);
void printMessage(const QString& line);

} // namespace airlark::cli
