#include "hosts/SoundCloudEndpoints.h"

#include <QtGlobal>
#include <mutex>
#include <optional>

namespace airlark {

namespace {

std::mutex endpointsMutex;
std::optional<SoundCloudEndpoints> currentEndpoints; // guarded by endpointsMutex

QUrl fromEnvironment(const char* name, const QUrl& fallback)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        return fallback;
    const QUrl url(value, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() ? url : fallback;
}

} // namespace

SoundCloudEndpoints SoundCloudEndpoints::soundCloud()
{
    return SoundCloudEndpoints{
        QUrl(QStringLiteral("https://api.soundcloud.com")),
        QUrl(QStringLiteral("https://secure.soundcloud.com/authorize")),
        QUrl(QStringLiteral("https://secure.soundcloud.com/oauth/token")),
    };
}

SoundCloudEndpoints SoundCloudEndpoints::current()
{
    std::lock_guard lock(endpointsMutex);
    if (!currentEndpoints) {
        const SoundCloudEndpoints real = soundCloud();
        currentEndpoints = SoundCloudEndpoints{
            fromEnvironment("AIRLARK_SOUNDCLOUD_API_URL", real.apiBaseURL),
            fromEnvironment("AIRLARK_SOUNDCLOUD_AUTHORIZE_URL", real.authorizeURL),
            fromEnvironment("AIRLARK_SOUNDCLOUD_TOKEN_URL", real.tokenURL),
        };
    }
    return *currentEndpoints;
}

void SoundCloudEndpoints::setCurrent(const SoundCloudEndpoints& endpoints)
{
    std::lock_guard lock(endpointsMutex);
    currentEndpoints = endpoints;
}

} // namespace airlark
