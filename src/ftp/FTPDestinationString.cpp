#include "ftp/FTPDestinationString.h"

#include <QDebug>

namespace airlark::FTPDestinationString {

QString stringWithoutProtocol(const QString& destination)
{
    const qsizetype scheme = destination.indexOf(QLatin1String("://"));
    const QString rest = scheme < 0 ? destination : destination.mid(scheme + 3);
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash < 0 || colon < slash) {
            qWarning("FTP client warning: there is possibly a port included in your destination url. "
                     "Define the port in FTPServer.port instead.");
        }
    }
    return rest;
}

QString fmhost(const QString& destination)
{
    const QString rest = stringWithoutProtocol(destination);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    return slash < 0 ? rest : rest.left(slash);
}

std::optional<QString> fmdir(const QString& destination)
{
    const QString rest = stringWithoutProtocol(destination);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return std::nullopt;
    return rest.mid(slash + 1);
}

std::optional<QUrl> ftpURLForPort(const QString& destination, qint32 port)
{
    const QString host = fmhost(destination);
    const QString authority = port == 21 ? host : QStringLiteral("%1:%2").arg(host).arg(port);
    QString text = QStringLiteral("ftp://") + authority;
    const std::optional<QString> directory = fmdir(destination);
    if (directory && !directory->isEmpty()) {
        // The characters a URL path may hold as they are; everything else is percent-encoded.
        const QByteArray encoded =
            QUrl::toPercentEncoding(*directory, QByteArrayLiteral("!$&'()*+,-./:;=@_~"));
        text += QLatin1Char('/') + QString::fromLatin1(encoded);
    }
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace airlark::FTPDestinationString
