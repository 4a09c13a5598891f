#pragma once

#include <QUrl>

namespace airlark {

// Where Airlark talks to SoundCloud. The defaults are SoundCloud's own hosts; each can be
// replaced, for the whole process, by an environment variable read once on first use
// (AIRLARK_SOUNDCLOUD_API_URL, AIRLARK_SOUNDCLOUD_AUTHORIZE_URL, AIRLARK_SOUNDCLOUD_TOKEN_URL),
// or by setCurrent() (tests point it at a local stand-in).
struct SoundCloudEndpoints
{
    QUrl apiBaseURL;   // https://api.soundcloud.com
    QUrl authorizeURL; // https://secure.soundcloud.com/authorize
    QUrl tokenURL;     // https://secure.soundcloud.com/oauth/token

    static SoundCloudEndpoints soundCloud();
    static SoundCloudEndpoints current();
    static void setCurrent(const SoundCloudEndpoints& endpoints);
};

} // namespace airlark
