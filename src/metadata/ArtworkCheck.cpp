#include "metadata/ArtworkCheck.h"

#include "store/Artwork.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>

namespace airlark {

namespace {

// Shown to the podcaster, in their language.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(ArtworkCheck)
};

} // namespace
namespace {

enum class Colour
{
    RGB,
    CMYK,
    Greyscale,
};

// The number of colour components a JPEG declares in its frame header (SOFn): 1 grey, 3 RGB
// (YCbCr), 4 CMYK (or YCCK). Qt converts CMYK to RGB when it decodes, so only the header tells.
int jpegComponents(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype at = 2; // after the start-of-image marker
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return 0;
        const uchar marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            at += 2;
            continue;
        }
        const int length = (data[at + 2] << 8) | data[at + 3];
        const bool frameHeader =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader)
            return at + 9 < size ? data[at + 9] : 0;
        at += 2 + length;
    }
    return 0;
}

Colour colourOf(const QByteArray& bytes, const QString& type, const QImage& image)
{
    if (type == QLatin1String("JPEG")) {
        const int components = jpegComponents(bytes);
        if (components == 4)
            return Colour::CMYK;
        if (components == 1)
            return Colour::Greyscale;
        return Colour::RGB;
    }
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return Colour::Greyscale;
    default:
        return Colour::RGB;
    }
}

QString extensionFor(const QString& type)
{
    return type == QLatin1String("JPEG") ? QStringLiteral("jpg") : type.toLower();
}

ArtworkCheck refused(ArtworkCheck check, const QString& path, const QString& why)
{
    check.verdict = ArtworkCheck::Verdict::Refused;
    check.message = QStringLiteral("\u201c%1\u201d %2").arg(QFileInfo(path).fileName(), why);
    return check;
}

// What the directories ask for that `image` is not.
QStringList brokenRules(const QImage& image, const QString& type, Colour colour)
{
    QStringList rules;
    if (image.width() != image.height())
        rules << Text::tr("a square image");
    if (qMin(image.width(), image.height()) < ArtworkCheck::MinimumSide)
        rules << Text::tr("at least %1\u00d7%1").arg(ArtworkCheck::MinimumSide);
    if (qMax(image.width(), image.height()) > ArtworkCheck::MaximumSide)
        rules << Text::tr("at most %1\u00d7%1").arg(ArtworkCheck::MaximumSide);
    if (type != QLatin1String("JPEG") && type != QLatin1String("PNG"))
        rules << Text::tr("JPEG or PNG");
    if (colour != Colour::RGB)
        rules << Text::tr("RGB colour");
    if (image.hasAlphaChannel())
        rules << Text::tr("no transparency");
    return rules;
}

} // namespace

ArtworkCheck checkArtwork(const QString& path, int previewSide, std::stop_token stop)
{
    ArtworkCheck check;
    const QFileInfo info(path);
    if (!info.exists()) {
        check.verdict = ArtworkCheck::Verdict::Missing;
        check.message = Text::tr("The artwork file \u201c%1\u201d is missing: it was moved or deleted.")
                            .arg(info.fileName());
        return check;
    }
    // A device or pipe would never end, a huge file would fill memory.
    if (!info.isFile() || info.size() > Artwork::MaximumImageFileSize)
        return refused(check, path, Text::tr("is not an image file Airlark can use as artwork."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(check, path, Text::tr("cannot be read: ") + file.errorString());
    return checkArtworkBytes(file.read(Artwork::MaximumImageFileSize), path, previewSide, stop);
}

ArtworkCheck checkArtworkBytes(QByteArray bytes, const QString& path, int previewSide, std::stop_token stop)
{
    ArtworkCheck check;
    check.fileBytes = std::move(bytes);
    if (stop.stop_requested())
        return refused(check, path, Text::tr("was not checked."));

    QBuffer buffer(&check.fileBytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    check.type = QString::fromLatin1(reader.format()).toUpper();
    const QImage image = reader.read();
    if (image.isNull())
        return refused(check, path, Text::tr("is not an image: choose a JPEG or PNG file."));
    if (stop.stop_requested())
        return refused(check, path, Text::tr("was not checked."));

    check.size = image.size();
    check.extension = extensionFor(check.type);
    const Colour colour = colourOf(check.fileBytes, check.type, image);
    check.description =
        QStringLiteral("%1\u00d7%2 %3").arg(image.width()).arg(image.height()).arg(check.type);
    if (colour == Colour::CMYK)
        check.description += Text::tr(" in CMYK");
    else if (colour == Colour::Greyscale)
        check.description += Text::tr(" in greyscale");

    const QStringList rules = brokenRules(image, check.type, colour);
    check.verdict = rules.isEmpty() ? ArtworkCheck::Verdict::Fine : ArtworkCheck::Verdict::Warned;
    if (!rules.isEmpty())
        check.message =
            check.description + Text::tr(": directories ask for ") + rules.join(QStringLiteral(", "));

    check.preview =
        image.width() > previewSide || image.height() > previewSide
            ? image.scaled(previewSide, previewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : image;
    check.artwork = EmbeddedArtwork::fromBytes(check.fileBytes);
    return check;
}

} // namespace airlark
