#include "platform/ApplicationIdentity.h"

#include <QCoreApplication>

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

void applyApplicationIdentity()
{
    QCoreApplication::setApplicationName(applicationName());
    QCoreApplication::setApplicationVersion(applicationVersion());
    QCoreApplication::setOrganizationDomain(QStringLiteral("airlark.org"));
}

} // namespace airlark
