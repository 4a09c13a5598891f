#pragma once

#include <QStringList>
#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

namespace airlark::test {

// Sends everything the process writes to standard output into a temporary file while it lives,
// and restores the real standard output when it ends (or on release()).
class StandardOutputCapture
{
public:
    StandardOutputCapture()
    {
        std::fflush(stdout);
        if (!file_.open())
            return;
        savedDescriptor_ = ::dup(STDOUT_FILENO);
        if (savedDescriptor_ >= 0)
            ::dup2(file_.handle(), STDOUT_FILENO);
    }
    ~StandardOutputCapture() { release(); }
    StandardOutputCapture(const StandardOutputCapture&) = delete;
    StandardOutputCapture& operator=(const StandardOutputCapture&) = delete;

    // Restores standard output and returns the lines written meanwhile (without line ends).
    QStringList release()
    {
        std::fflush(stdout);
        if (savedDescriptor_ >= 0) {
            ::dup2(savedDescriptor_, STDOUT_FILENO);
            ::close(savedDescriptor_);
            savedDescriptor_ = -1;
        }
        // The file shares its offset with the standard output it stood for.
        file_.seek(0);
        const QString text = QString::fromUtf8(file_.readAll());
        return text.isEmpty()
                   ? QStringList()
                   : text.chopped(text.endsWith(QLatin1Char('\n')) ? 1 : 0).split(QLatin1Char('\n'));
    }

private:
    QTemporaryFile file_;
    int savedDescriptor_ = -1;
};

} // namespace airlark::test
