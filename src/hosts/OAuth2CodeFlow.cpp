#include "hosts/OAuth2CodeFlow.h"

#include "hosts/HTTPDataRequest.h"
#include "hosts/LoopbackRedirectListener.h"
#include "hosts/OAuth2TokenKeeper.h"
#include "platform/MainQueue.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <mutex>

namespace airlark {

namespace {

std::mutex openerMutex;
OAuth2CodeFlow::BrowserOpener browserOpener; // guarded by openerMutex

QString randomURLSafeText(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(data.data()), bytes / 4);
    return QString::fromLatin1(data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString codeChallengeS256(const QString& verifier)
{
    const QByteArray digest = QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256);
    return QString::fromLatin1(
        digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

// Compares without an early exit, so the time taken says nothing about where texts differ.
bool equalInConstantTime(const QString& a, const QString& b)
{
    const QByteArray x = a.toUtf8();
    const QByteArray y = b.toUtf8();
    if (x.size() != y.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < x.size(); ++i)
        difference |= static_cast<unsigned char>(x[i] ^ y[i]);
    return difference == 0;
}

const char* describe(OAuth2Error error)
{
    switch (error) {
    case OAuth2Error::NoPendingAuthorization:
        return "no sign-in is waiting for a redirect";
    case OAuth2Error::StateMismatch:
        return "the redirect's state does not match this sign-in";
    case OAuth2Error::AuthorizationDenied:
        return "the authorization server refused the sign-in";
    case OAuth2Error::MissingCode:
        return "the redirect carries no authorization code";
    case OAuth2Error::BrowserUnavailable:
        return "the browser could not be opened";
    case OAuth2Error::RedirectListenerUnavailable:
        return "the loopback redirect port could not be bound";
    case OAuth2Error::TokenRequestFailed:
        return "the token endpoint refused the code or could not be reached";
    case OAuth2Error::InvalidTokenResponse:
        return "the token endpoint's answer holds no access token";
    case OAuth2Error::CredentialStoreFailure:
        return "the tokens could not be stored";
    }
    return "unknown";
}

} // namespace

struct OAuth2CodeFlow::Private : std::enable_shared_from_this<OAuth2CodeFlow::Private>
{
    OAuth2CodeFlow* owner = nullptr; // cleared when the flow object goes
    OAuth2ClientSettings client;
    std::shared_ptr<OAuth2TokenKeeper> keeper;

    struct PendingSignIn
    {
        QString state;
        QString codeVerifier;
        QUrl redirectURI;
    };
    std::optional<PendingSignIn> pending;
    QUrl lastRedirectURI;
    std::unique_ptr<LoopbackRedirectListener> listener;

    void fail(OAuth2Error error)
    {
        qWarning("Sign-in failed: %s", describe(error));
        MainQueue::async([weak = weak_from_this(), error] {
            if (auto self = weak.lock(); self && self->owner && self->owner->onFailure)
                self->owner->onFailure(error);
        });
    }

    void succeed(const QVariantMap& parameters)
    {
        MainQueue::async([weak = weak_from_this(), parameters] {
            if (auto self = weak.lock(); self && self->owner && self->owner->onAuthorize)
                self->owner->onAuthorize(parameters);
        });
    }

    void exchange(const QString& code, const PendingSignIn& signIn);
};

void OAuth2CodeFlow::setBrowserOpener(BrowserOpener opener)
{
    std::lock_guard lock(openerMutex);
    browserOpener = std::move(opener);
}

bool OAuth2CodeFlow::openInBrowser(const QUrl& url)
{
    BrowserOpener opener;
    {
        std::lock_guard lock(openerMutex);
        opener = browserOpener;
    }
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

OAuth2CodeFlow::OAuth2CodeFlow(const QVariantMap& settings) : d(std::make_shared<Private>())
{
    d->owner = this;
    OAuth2ClientSettings& client = d->client;
    client.clientID = settings.value(QStringLiteral("client_id")).toString();
    client.clientSecret = settings.value(QStringLiteral("client_secret")).toString();
    client.authorizeURL = QUrl(settings.value(QStringLiteral("authorize_uri")).toString());
    client.tokenURL = QUrl(settings.value(QStringLiteral("token_uri")).toString());
    const QStringList redirects = settings.value(QStringLiteral("redirect_uris")).toStringList();
    client.redirectURI = redirects.isEmpty() ? QUrl() : QUrl(redirects.first());
    client.scope = settings.value(QStringLiteral("scope")).toString();
    client.userIdentifier = settings.value(QStringLiteral("userIdentifier")).toString();
    client.secretInBody = settings.value(QStringLiteral("secret_in_body"), false).toBool();
    client.keychainService =
        settings.value(QStringLiteral("keychain_service"), QStringLiteral("OAuth2")).toString();
    d->keeper = OAuth2TokenKeeper::forUser(client);
    d->lastRedirectURI = client.redirectURI;
}

OAuth2CodeFlow::~OAuth2CodeFlow()
{
    d->owner = nullptr;
    d->listener.reset();
}

bool OAuth2CodeFlow::isAuthorizing() const
{
    return d->pending.has_value();
}

QUrl OAuth2CodeFlow::redirectURI() const
{
    return d->lastRedirectURI;
}

QString OAuth2CodeFlow::userIdentifier() const
{
    return d->client.userIdentifier;
}

void OAuth2CodeFlow::authorize()
{
    d->listener.reset();
    d->pending.reset();

    Private::PendingSignIn signIn{randomURLSafeText(32), randomURLSafeText(64), d->client.redirectURI};
    if (LoopbackRedirectListener::isLoopbackRedirectURI(signIn.redirectURI)) {
        d->listener = std::make_unique<LoopbackRedirectListener>();
        signIn.redirectURI =
            d->listener->listen(signIn.redirectURI, [weak = std::weak_ptr<Private>(d)](const QUrl& url) {
                if (auto self = weak.lock(); self && self->owner)
                    self->owner->handleRedirectURL(url);
            });
        if (signIn.redirectURI.isEmpty()) {
            d->listener.reset();
            d->fail(OAuth2Error::RedirectListenerUnavailable);
            return;
        }
    }

    QList<QPair<QString, QString>> query{
        {QStringLiteral("client_id"), d->client.clientID},
        {QStringLiteral("redirect_uri"), signIn.redirectURI.toString(QUrl::FullyEncoded)},
        {QStringLiteral("response_type"), QStringLiteral("code")},
        {QStringLiteral("code_challenge"), codeChallengeS256(signIn.codeVerifier)},
        {QStringLiteral("code_challenge_method"), QStringLiteral("S256")},
        {QStringLiteral("state"), signIn.state},
    };
    if (!d->client.scope.isEmpty())
        query.append({QStringLiteral("scope"), d->client.scope});
    QUrl url = d->client.authorizeURL;
    // Every reserved character encoded, so that the redirect URI arrives as one query value.
    url.setQuery(QString::fromLatin1(formURLEncoded(query)), QUrl::StrictMode);

    d->lastRedirectURI = signIn.redirectURI;
    d->pending = signIn;
    if (!openInBrowser(url)) {
        d->pending.reset();
        d->listener.reset();
        d->fail(OAuth2Error::BrowserUnavailable);
    }
}

void OAuth2CodeFlow::handleRedirectURL(const QUrl& url)
{
    if (!d->pending) {
        // A replayed or stale redirect: there is no sign-in for it to complete or to fail.
        qWarning("Ignoring a sign-in redirect that no sign-in is waiting for");
        return;
    }
    const Private::PendingSignIn signIn = *d->pending;
    // Each state is good for one redirect only, whatever that redirect says.
    d->pending.reset();
    if (d->listener)
        d->listener->stop();

    const QUrlQuery query(url);
    if (!query.hasQueryItem(QStringLiteral("state")) ||
        !equalInConstantTime(query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded),
                             signIn.state)) {
        d->fail(OAuth2Error::StateMismatch);
        return;
    }
    if (query.hasQueryItem(QStringLiteral("error"))) {
        d->fail(OAuth2Error::AuthorizationDenied);
        return;
    }
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (code.isEmpty()) {
        d->fail(OAuth2Error::MissingCode);
        return;
    }
    d->exchange(code, signIn);
}

void OAuth2CodeFlow::Private::exchange(const QString& code, const PendingSignIn& signIn)
{
    QList<QPair<QString, QString>> fields{
        {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
        {QStringLiteral("code"), code},
        {QStringLiteral("redirect_uri"), signIn.redirectURI.toString(QUrl::FullyEncoded)},
        {QStringLiteral("code_verifier"), signIn.codeVerifier},
    };
    const HTTPRequest request = client.tokenRequest(fields);
    sendHTTPDataRequest(request, [weak = weak_from_this()](const HTTPDataResult& result) {
        auto self = weak.lock();
        if (!self)
            return;
        if (result.statusCode < 200 || result.statusCode > 299) {
            self->fail(OAuth2Error::TokenRequestFailed);
            return;
        }
        const std::optional<OAuth2Tokens> tokens = OAuth2Tokens::fromTokenResponse(result.body);
        if (!tokens) {
            self->fail(OAuth2Error::InvalidTokenResponse);
            return;
        }
        if (!self->keeper->store(*tokens)) {
            self->fail(OAuth2Error::CredentialStoreFailure);
            return;
        }
        self->succeed(OAuth2Tokens::publicParameters(result.body));
    });
}

void OAuth2CodeFlow::signedRequest(const QUrl& url, const QString& label,
                                   std::function<void(OAuth2SigningResult)> completion)
{
    d->keeper->withAccessToken(
        [url, label, completion = std::move(completion)](const OAuth2AccessTokenResult& result) {
            OAuth2SigningResult signing;
            if (result.accessToken)
                signing.request =
                    OAuth2SignedRequest{url, (label + QLatin1Char(' ') + *result.accessToken).toUtf8()};
            else
                signing.error = result.error;
            completion(signing);
        });
}

bool OAuth2CodeFlow::hasTokens() const
{
    return d->keeper->hasUsableTokens();
}

} // namespace airlark
