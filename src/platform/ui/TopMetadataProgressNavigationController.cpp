#include "platform/ui/TopMetadataProgressNavigationController.h"

#include "platform/StandardOutput.h"

namespace airlark {

namespace {

// Each field change is one line on standard output, so a value that spans lines (an episode
// description) is written with its line breaks escaped.
QString printed(const std::optional<QString>& value)
{
    if (!value)
        return QStringLiteral("(none)");
    QString text = *value;
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\n"));
    return text;
}

QString printed(const std::optional<QUrl>& value)
{
    if (!value)
        return printed(std::optional<QString>());
    return printed(std::optional<QString>(value->toString()));
}

} // namespace

TopMetadataProgressNavigationController::TopMetadataProgressNavigationController(
    std::function<QWidget*()> rootViewControllerProvider, QWidget* parent)
    : ProgressNavigationController(std::move(rootViewControllerProvider), parent)
{
}

void TopMetadataProgressNavigationController::setFileURL(std::optional<QUrl> fileURL)
{
    fileURL_ = std::move(fileURL);
    standardOutputLine(QStringLiteral("Set fileURL ") + printed(fileURL_));
}

void TopMetadataProgressNavigationController::setArtworkURL(std::optional<QUrl> artworkURL)
{
    artworkURL_ = std::move(artworkURL);
    standardOutputLine(QStringLiteral("Set artworkURL ") + printed(artworkURL_));
}

void TopMetadataProgressNavigationController::setEpisodeTitle(std::optional<QString> episodeTitle)
{
    episodeTitle_ = std::move(episodeTitle);
    standardOutputLine(QStringLiteral("Set episode title ") + printed(episodeTitle_));
}

void TopMetadataProgressNavigationController::setPodcastTitle(std::optional<QString> podcastTitle)
{
    podcastTitle_ = std::move(podcastTitle);
    standardOutputLine(QStringLiteral("Set podcast title ") + printed(podcastTitle_));
}

void TopMetadataProgressNavigationController::setEpisodeDescription(std::optional<QString> episodeDescription)
{
    episodeDescription_ = std::move(episodeDescription);
    standardOutputLine(QStringLiteral("Episode description is ") + printed(episodeDescription_));
}

void TopMetadataProgressNavigationController::finishEpisode()
{
    episodeFinished_ = true;
    returnToFirstStep();
}

void TopMetadataProgressNavigationController::setArtist(std::optional<QString> artist)
{
    artist_ = std::move(artist);
    standardOutputLine(QStringLiteral("Artist is ") + printed(artist_));
}

} // namespace airlark
