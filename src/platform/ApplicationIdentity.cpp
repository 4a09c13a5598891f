#include "platform/ApplicationIdentity.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace airlark {

QString applicationIdentifier()
{
    return QStringLiteral(AIRLARK_APPLICATION_ID);
}

QString applicationName()
{
    return QStringLiteral("Airlark");
}

QString applicationVersion()
{
    return QStringLiteral(AIRLARK_VERSION);
}

QString applicationSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           applicationIdentifier() + QStringLiteral("/Airlark.conf");
}

void applyApplicationIdentity()
{
    QCoreApplication::setApplicationName(applicationName());
    QCoreApplication::setApplicationVersion(applicationVersion());
    QCoreApplication::setOrganizationDomain(QStringLiteral("airlark.org"));
}

} // namespace airlark
