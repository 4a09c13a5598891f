#include "hosts/PodcastHostAppearance.h"

#include <QImageReader>

namespace airlark {

namespace {

// Icons are drawn at twice the 32-pixel thumbnail size so that they stay sharp on HiDPI screens.
constexpr int IconPixels = 64;

// Through Qt's SVG image plugin, which loads the SVG library when a host's image is first drawn
// rather than with the program.
QImage renderImage(const QString& name)
{
    QImageReader reader(QStringLiteral(":/images/%1.svg").arg(name));
    reader.setScaledSize(QSize(IconPixels, IconPixels));
    QImage image = reader.read();
    if (image.isNull()) {
        qWarning("Missing host image %s: %s", qPrintable(name), qPrintable(reader.errorString()));
        image = QImage(IconPixels, IconPixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
    }
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
