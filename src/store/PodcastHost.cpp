#include "store/PodcastHost.h"

namespace airlark {

QString storedText(PodcastHost host)
{
    switch (host) {
    case PodcastHost::Libsyn:
        return QStringLiteral("Libsyn");
    case PodcastHost::SoundCloud:
        return QStringLiteral("SoundCloud");
    }
    return {};
}

std::optional<PodcastHost> podcastHostFromStoredText(const QString& text)
{
    for (const PodcastHost host : allPodcastHosts) {
        if (storedText(host) == text)
            return host;
    }
    return std::nullopt;
}

} // namespace airlark
