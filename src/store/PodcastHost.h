#pragma once

#include <QString>
#include <array>
#include <optional>

namespace airlark {

// The hosts Airlark publishes to. The stored text is what the "account" table's "host" column
// holds; display names and icons belong to the hosts screens.
enum class PodcastHost
{
    Libsyn,
    SoundCloud
};

// In declaration order.
inline constexpr std::array<PodcastHost, 2> allPodcastHosts{PodcastHost::Libsyn, PodcastHost::SoundCloud};

// "Libsyn" / "SoundCloud".
QString storedText(PodcastHost host);
// The host whose stored text is exactly `text` (case-sensitive); nothing for any other text.
std::optional<PodcastHost> podcastHostFromStoredText(const QString& text);

} // namespace airlark
