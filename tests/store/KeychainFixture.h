#pragma once

#include <QByteArray>
#include <QString>

namespace airlark::test {

// Whether any file below `directory` contains `needle`.
bool anyFileContains(const QString& directory, const QByteArray& needle);

} // namespace airlark::test
