#pragma once

#include <QString>

namespace airlark {

// Airlark's application registration with SoundCloud, read from the "SoundCloudAPICredentials"
// resource (JSON with "redirect_uri", "client_id", "client_secret"). A file of the same name in
// Airlark's config directory ($XDG_CONFIG_HOME/<application identifier>/) wins key by key: the
// shipped resource holds placeholders, and users put their own registration there.
// Never log or print `clientSecret`.
class SoundCloudAPIClientCredentials
{
public:
    // `userIdentifier` is the decimal text of the account row that the tokens belong to.
    explicit SoundCloudAPIClientCredentials(const QString& userIdentifier);

    QString redirectURI;
    QString clientID;
    QString clientSecret;
    QString userIdentifier;

    // True when all three values are there and none is the shipped placeholder: only then can a
    // sign-in work.
    bool isConfigured() const;

    static constexpr const char* ResourceName = "SoundCloudAPICredentials.json";
    static QString userFilePath();
};

} // namespace airlark
