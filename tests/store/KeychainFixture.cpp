#include "KeychainFixture.h"

#include <QDirIterator>
#include <QFile>

namespace airlark::test {

bool anyFileContains(const QString& directory, const QByteArray& needle)
{
    QDirIterator files(directory, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle))
            return true;
    }
    return false;
}

} // namespace airlark::test
