#include "hosts/PodcastHostAppearance.h"

#include <QPainter>
#include <QSvgRenderer>

namespace airlark {

namespace {

// Icons are drawn at twice the 32-pixel thumbnail size so that they stay sharp on HiDPI screens.
constexpr int IconPixels = 64;

QImage renderImage(const QString& name)
{
    QImage image(IconPixels, IconPixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(name));
    if (!renderer.isValid()) {
        qWarning("Missing host image %s", qPrintable(name));
        return image;
    }
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

QString displayName(PodcastHost host)
{
    return storedText(host);
}

QString iconName(PodcastHost host)
{
    switch (host) {
    case PodcastHost::Libsyn:
        return QStringLiteral("Libsyn-Icon");
    case PodcastHost::SoundCloud:
        return QStringLiteral("SoundCloud-Icon");
    }
    return QString();
}

QImage icon(PodcastHost host)
{
    static const QImage libsyn = renderImage(iconName(PodcastHost::Libsyn));
    static const QImage soundCloud = renderImage(iconName(PodcastHost::SoundCloud));
    return host == PodcastHost::Libsyn ? libsyn : soundCloud;
}

QImage blankHostImage()
{
    static const QImage blank = renderImage(QStringLiteral("Blank"));
    return blank;
}

QImage iconForHostText(const QString& hostText)
{
    const auto host = podcastHostFromStoredText(hostText);
    return host ? icon(*host) : blankHostImage();
}

} // namespace airlark
