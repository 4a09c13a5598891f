#include "hosts/SoundCloudAPIClientCredentials.h"

#include "platform/ApplicationIdentity.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrl>

namespace airlark {

namespace {

QJsonObject readObject(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        // The path only: the file holds the client secret.
        qWarning("Ignoring SoundCloud credentials in %s: not a JSON object", qUtf8Printable(path));
        return {};
    }
    return document.object();
}

// The user's value for `key` when it is a non-empty string, else the shipped one.
QString pick(const QJsonObject& user, const QJsonObject& shipped, const QString& key)
{
    const QJsonValue value = user.value(key);
    if (value.isString() && !value.toString().isEmpty())
        return value.toString();
    return shipped.value(key).toString();
}

} // namespace

SoundCloudAPIClientCredentials::SoundCloudAPIClientCredentials(const QString& identifier)
    : userIdentifier(identifier)
{
    const QJsonObject shipped = readObject(QStringLiteral(":/") + QString::fromLatin1(ResourceName));
    const QJsonObject user = readObject(userFilePath());
    redirectURI = pick(user, shipped, QStringLiteral("redirect_uri"));
    clientID = pick(user, shipped, QStringLiteral("client_id"));
    clientSecret = pick(user, shipped, QStringLiteral("client_secret"));
}

bool SoundCloudAPIClientCredentials::isConfigured() const
{
    for (const QString* value : {&redirectURI, &clientID, &clientSecret}) {
        if (value->trimmed().isEmpty() || value->startsWith(QLatin1String("YOUR_SOUNDCLOUD_")))
            return false;
    }
    return QUrl(redirectURI, QUrl::StrictMode).isValid();
}

QString SoundCloudAPIClientCredentials::userFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           applicationIdentifier() + QLatin1Char('/') + QString::fromLatin1(ResourceName);
}

} // namespace airlark
