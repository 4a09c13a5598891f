#pragma once

#include "platform/ui/ProgressNavigationController.h"

#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

namespace airlark {

// The episode workflow: the wizard with the four episode steps, and the six episode fields the
// steps share. A step reaches it through its progressNavigationController():
//
//   if (auto* workflow = qobject_cast<TopMetadataProgressNavigationController*>(frame)) ...
//
// Every assignment writes one diagnostic line to standard output ("Set fileURL ...").
class TopMetadataProgressNavigationController : public ProgressNavigationController
{
    Q_OBJECT
public:
    explicit TopMetadataProgressNavigationController(std::function<QWidget*()> rootViewControllerProvider,
                                                     QWidget* parent = nullptr);

    const std::optional<QUrl>& fileURL() const { return fileURL_; }
    void setFileURL(std::optional<QUrl> fileURL);

    const std::optional<QUrl>& artworkURL() const { return artworkURL_; }
    void setArtworkURL(std::optional<QUrl> artworkURL);

    const std::optional<QString>& episodeTitle() const { return episodeTitle_; }
    void setEpisodeTitle(std::optional<QString> episodeTitle);

    const std::optional<QString>& podcastTitle() const { return podcastTitle_; }
    void setPodcastTitle(std::optional<QString> podcastTitle);

    const std::optional<QString>& episodeDescription() const { return episodeDescription_; }
    void setEpisodeDescription(std::optional<QString> episodeDescription);

    const std::optional<QString>& artist() const { return artist_; }
    void setArtist(std::optional<QString> artist);

    // The episode is published: back to the first step, which keeps the podcast's template for
    // the next episode of the same podcast (instead of starting over, as after Cancel).
    void finishEpisode();
    // Whether the first step is shown after finishEpisode; reading it clears it.
    bool takeEpisodeFinished() { return std::exchange(episodeFinished_, false); }

private:
    std::optional<QUrl> fileURL_;
    std::optional<QUrl> artworkURL_;
    std::optional<QString> episodeTitle_;
    std::optional<QString> podcastTitle_;
    std::optional<QString> episodeDescription_;
    std::optional<QString> artist_;
    bool episodeFinished_ = false;
};

} // namespace airlark
