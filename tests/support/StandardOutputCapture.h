#pragma once

#include <QStringList>
#include <QTemporaryFile>

namespace airlark::test {

// Sends everything the process writes to standard output into a temporary file while it lives,
// and restores the real standard output when it ends (or on release()).
class StandardOutputCapture
{
public:
    StandardOutputCapture();
    ~StandardOutputCapture() { release(); }
    StandardOutputCapture(const StandardOutputCapture&) = delete;
    StandardOutputCapture& operator=(const StandardOutputCapture&) = delete;

    // Restores standard output and returns the lines written meanwhile (without line ends).
    QStringList release();

private:
    QTemporaryFile file_;
    int savedDescriptor_ = -1;
};

} // namespace airlark::test
