#include "hosts/SoundCloudAPIClient.h"

#include "platform/NotificationCenter.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace airlark {

const QString SoundCloudAPIClient::OAuth2Authorized = QStringLiteral("SoundCloudAPIClientOAuth2Authorized");
const QString SoundCloudAPIClient::OAuth2AuthorizationFailed =
    QStringLiteral("SoundCloudAPIClientOAuth2AuthorizationFailed");
const QString SoundCloudAPIClient::AuthorizationLabel = QStringLiteral("OAuth");
const QString SoundCloudAPIClient::KeychainService = QStringLiteral("SoundCloud");

QString SoundCloudAPIClient::keychainService(const SoundCloudEndpoints& endpoints)
{
    // Tokens belong to the server that issued them: those of any other token endpoint (a test
    // stand-in, say) are kept apart from SoundCloud's own.
    if (endpoints.tokenURL == SoundCloudEndpoints::soundCloud().tokenURL)
        return KeychainService;
    return KeychainService + QLatin1Char(' ') + endpoints.tokenURL.authority();
}

SoundCloudAPIClient::SoundCloudAPIClient(const SoundCloudAPIClientCredentials& credentials,
                                         const SoundCloudEndpoints& endpoints)
    : baseURL_(endpoints.apiBaseURL), clientID_(credentials.clientID)
{
    // SoundCloud refuses the "non-expiring" scope since it moved to expiring tokens with PKCE, so
    // no scope is asked for; the tokens expire and are refreshed.
    const QVariantMap settings{
        {QStringLiteral("client_id"), credentials.clientID},
        {QStringLiteral("client_secret"), credentials.clientSecret},
        {QStringLiteral("authorize_uri"), endpoints.authorizeURL.toString()},
        {QStringLiteral("token_uri"), endpoints.tokenURL.toString()},
        {QStringLiteral("redirect_uris"), QStringList{credentials.redirectURI}},
        {QStringLiteral("scope"), QString()},
        {QStringLiteral("userIdentifier"), credentials.userIdentifier},
        {QStringLiteral("secret_in_body"), true},
        {QStringLiteral("keychain_service"), keychainService(endpoints)},
    };
    oAuth2_ = std::make_unique<OAuth2CodeFlow>(settings);
    oAuth2_->onAuthorize = [this](const QVariantMap&) {
        NotificationCenter::defaultCenter().post(OAuth2Authorized, this);
    };
    oAuth2_->onFailure = [this](OAuth2Error) {
        NotificationCenter::defaultCenter().post(OAuth2AuthorizationFailed, this);
    };
}

SoundCloudAPIClient::~SoundCloudAPIClient() = default;

void SoundCloudAPIClient::authenticate()
{
    oAuth2_->authorize();
}

void SoundCloudAPIClient::handleRedirectURL(const QUrl& url)
{
    oAuth2_->handleRedirectURL(url);
}

QUrl SoundCloudAPIClient::apiURL(const QString& path) const
{
    QUrl url = baseURL_;
    QString basePath = url.path();
    if (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path);
    url.setQuery(QStringLiteral("client_id=") + QString::fromLatin1(QUrl::toPercentEncoding(clientID_)),
                 QUrl::StrictMode);
    return url;
}

namespace {

void sendGet(const OAuth2Signer& signer, const OAuth2SigningResult& signing, bool renewed,
             std::function<void(const SoundCloudAnswer&)> completion)
{
    if (!signing.request) {
        completion(SoundCloudAnswer{
            signing.error.value_or(OAuth2SigningError::NotSignedIn), signing.refreshFailure, {}, renewed});
        return;
    }
    HTTPRequest request(signing.request->url);
    request.setValueForHTTPHeaderField(QString::fromLatin1(signing.request->authorization),
                                       QStringLiteral("Authorization"));
    request.setValueForHTTPHeaderField(QStringLiteral("application/json; charset=utf-8"),
                                       QStringLiteral("Accept"));
    sendHTTPDataRequest(request, [signer, rejected = *signing.request, renewed,
                                  completion = std::move(completion)](const HTTPDataResult& result) {
        if (result.statusCode == 401 && !renewed) {
            signer.renew(rejected, [signer, completion](const OAuth2SigningResult& again) {
                sendGet(signer, again, true, completion);
            });
            return;
        }
        completion(SoundCloudAnswer{std::nullopt, {}, result, renewed});
    });
}

} // namespace

void SoundCloudAPIClient::get(const OAuth2Signer& signer, const QUrl& url,
                              std::function<void(const SoundCloudAnswer&)> completion)
{
    signer.sign(url, [signer, completion = std::move(completion)](const OAuth2SigningResult& signing) {
        sendGet(signer, signing, false, completion);
    });
}

void SoundCloudAPIClient::me(std::function<void(std::optional<QString>)> completion)
{
    get(signer(), apiURL(QStringLiteral("/me")),
        [completion = std::move(completion)](const SoundCloudAnswer& answer) {
            // The status is not judged: a body with a string "username" is the answer.
            const QJsonDocument document = QJsonDocument::fromJson(answer.result.body);
            const QJsonValue username = document.object().value(QStringLiteral("username"));
            completion(document.isObject() && username.isString()
                           ? std::optional<QString>(username.toString())
                           : std::nullopt);
        });
}

} // namespace airlark
