#include "metadata/FileDropRule.h"

#include <QFileInfo>

namespace airlark {

FileDropRule FileDropRule::audio()
{
    return FileDropRule({QStringLiteral("mp3")}, true);
}

FileDropRule FileDropRule::image()
{
    return FileDropRule({QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")}, false);
}

QStringList FileDropRule::mimeTypes() const
{
    if (fileTypes_.isEmpty())
        return {};
    QStringList types{QStringLiteral("text/uri-list")};
    if (fileTypes_.contains(QLatin1String("png")))
        types << QStringLiteral("image/tiff");
    return types;
}

std::optional<QUrl> FileDropRule::acceptedFile(const QList<QUrl>& urls) const
{
    if (!acceptsDrops_ || urls.isEmpty())
        return std::nullopt;
    const QUrl& first = urls.front();
    if (!first.isLocalFile())
        return std::nullopt;
    // A leading dot marks a hidden file, not an extension: ".mp3" alone has none.
    const QString name = QFileInfo(first.toLocalFile()).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? name.mid(dot + 1).toLower() : QString();
    if (extension.isEmpty() || !fileTypes_.contains(extension))
        return std::nullopt;
    return first;
}

} // namespace airlark
