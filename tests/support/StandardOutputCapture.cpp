#include "support/StandardOutputCapture.h"

#include <cstdio>
#include <unistd.h>

namespace airlark::test {

StandardOutputCapture::StandardOutputCapture()
{
    std::fflush(stdout);
    if (!file_.open())
        return;
    savedDescriptor_ = ::dup(STDOUT_FILENO);
    if (savedDescriptor_ >= 0)
        ::dup2(file_.handle(), STDOUT_FILENO);
}

QStringList StandardOutputCapture::release()
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
    return text.isEmpty() ? QStringList()
                          : text.chopped(text.endsWith(QLatin1Char('\n')) ? 1 : 0).split(QLatin1Char('\n'));
}
} // namespace airlark::test
