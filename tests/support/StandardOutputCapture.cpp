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

StandardOutputCapture::~StandardOutputCapture()
{
    release();
}

QStringList StandardOutputCapture::lines()
{
    std::fflush(stdout);
    QFile reader(file_.fileName());
    if (!reader.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(reader.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QStringList StandardOutputCapture::release()
{
    const QStringList captured = lines();
    if (savedDescriptor_ >= 0) {
        ::dup2(savedDescriptor_, STDOUT_FILENO);
        ::close(savedDescriptor_);
        savedDescriptor_ = -1;
    }
    return captured;
}

} // namespace airlark::test
