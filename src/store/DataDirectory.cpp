#include "store/DataDirectory.h"

#include "platform/ApplicationIdentity.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace airlark {

namespace {

std::optional<QString> ensureDirectory(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    // mkpath() also succeeds for an existing directory; a file in the way makes it fail.
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir())
        return std::nullopt;
    return path;
}

} // namespace

QString dataDirectoryPath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString identifier = applicationIdentifier();
    if (base.isEmpty() || identifier.isEmpty())
        return {};
    return QDir::cleanPath(base + QLatin1Char('/') + identifier);
}

std::optional<QString> ensureDataDirectory()
{
    return ensureDirectory(dataDirectoryPath());
}

std::optional<QString> ensureDataSubdirectory(const QString& name)
{
    const std::optional<QString> base = ensureDataDirectory();
    if (!base || name.isEmpty())
        return std::nullopt;
    return ensureDirectory(*base + QLatin1Char('/') + name);
}

} // namespace airlark
