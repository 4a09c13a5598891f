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
#include <QTimer>
#include <QUrlQuery>
#include <mutex>

namespace airlark {

namespace {

std::mutex openerMutex;
OAuth2CodeFlow::BrowserOpener browserOpener;                    // guarded by openerMutex
std::chrono::milliseconds timeLimit = std::chrono::minutes(10); // main thread

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
    case OAuth2Error::AuthorizationDenied:
        return "the authorization server refused the sign-in";
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
    case OAuth2Error::TimedOut:
        return "no redirect arrived in time";
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
    std::unique_ptr<QTimer> deadline;

    // Ends the pending sign-in, whatever its outcome.
    void endSignIn()
    {
        pending.reset();
        deadline.reset();
        if (listener)
            listener->stop();
    }

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

std::chrono::milliseconds OAuth2CodeFlow::signInTimeLimit()
{
    return timeLimit;
}

void OAuth2CodeFlow::setSignInTimeLimit(std::chrono::milliseconds limit)
{
    timeLimit = limit;
}

OAuth2Signer::OAuth2Signer(std::shared_ptr<OAuth2TokenKeeper> keeper, QString label)
    : keeper_(std::move(keeper)), label_(std::move(label))
{
}

namespace {

std::function<void(const OAuth2AccessTokenResult&)>
signing(const QUrl& url, const QString& label, std::function<void(OAuth2SigningResult)> completion)
{
    return [url, label, completion = std::move(completion)](const OAuth2AccessTokenResult& result) {
        OAuth2SigningResult outcome;
        if (result.accessToken)
            outcome.request =
                OAuth2SignedRequest{url, (label + QLatin1Char(' ') + *result.accessToken).toUtf8()};
        else
            outcome.error = result.error;
        outcome.refreshFailure = result.refreshFailure;
        completion(outcome);
    };
}

} // namespace

void OAuth2Signer::sign(const QUrl& url, std::function<void(OAuth2SigningResult)> completion) const
{
    keeper_->withAccessToken(signing(url, label_, std::move(completion)));
}

void OAuth2Signer::renew(const OAuth2SignedRequest& rejected,
                         std::function<void(OAuth2SigningResult)> completion) const
{
    const QByteArray prefix = label_.toUtf8() + ' ';
    const QString token = rejected.authorization.startsWith(prefix)
                              ? QString::fromUtf8(rejected.authorization.mid(prefix.size()))
                              : QString();
    keeper_->withAccessTokenReplacing(token, signing(rejected.url, label_, std::move(completion)));
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
    d->endSignIn();
    d->listener.reset();

    Private::PendingSignIn signIn{randomURLSafeText(32), randomURLSafeText(64), d->client.redirectURI};
    const std::weak_ptr<Private> weak = d;
    if (LoopbackRedirectListener::isLoopbackRedirectURI(signIn.redirectURI)) {
        d->listener = std::make_unique<LoopbackRedirectListener>();
        LoopbackRedirectListener::Handlers handlers;
        handlers.judge = [weak](const QUrl& url) {
            const auto self = weak.lock();
            return self && self->owner && self->owner->isRedirectForPendingSignIn(url);
        };
        handlers.onRedirect = [weak](const QUrl& url) {
            if (auto self = weak.lock(); self && self->owner)
                self->owner->handleRedirectURL(url);
        };
        signIn.redirectURI = d->listener->listen(signIn.redirectURI, std::move(handlers));
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
    d->deadline = std::make_unique<QTimer>();
    d->deadline->setSingleShot(true);
    QObject::connect(d->deadline.get(), &QTimer::timeout, [weak] {
        if (auto self = weak.lock(); self && self->pending) {
            self->endSignIn();
            self->fail(OAuth2Error::TimedOut);
        }
    });
    d->deadline->start(timeLimit);
    if (!openInBrowser(url)) {
        d->endSignIn();
        d->listener.reset();
        d->fail(OAuth2Error::BrowserUnavailable);
    }
}

bool OAuth2CodeFlow::isRedirectForPendingSignIn(const QUrl& url) const
{
    if (!d->pending)
        return false;
    const QUrlQuery query(url);
    return query.hasQueryItem(QStringLiteral("state")) &&
           equalInConstantTime(query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded),
                               d->pending->state) &&
           (!query.queryItemValue(QStringLiteral("code")).isEmpty() ||
            query.hasQueryItem(QStringLiteral("error")));
}

void OAuth2CodeFlow::handleRedirectURL(const QUrl& url)
{
    if (!d->pending) {
        // A replayed or stale redirect: there is no sign-in for it to complete or to fail.
        qWarning("Ignoring a sign-in redirect that no sign-in is waiting for");
        return;
    }
    if (!isRedirectForPendingSignIn(url)) {
        // Any page can send one: it must not end the sign-in the user is in the middle of.
        qWarning("Ignoring a sign-in redirect that does not belong to the sign-in in progress");
        return;
    }
    // Each state is good for one redirect only, whatever that redirect says.
    const Private::PendingSignIn signIn = *d->pending;
    d->endSignIn();

    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("error"))) {
        d->fail(OAuth2Error::AuthorizationDenied);
        return;
    }
    d->exchange(query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded), signIn);
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
        self->keeper->store(*tokens, [weak = std::weak_ptr<Private>(self),
                                      parameters = OAuth2Tokens::publicParameters(result.body)](bool stored) {
            if (const auto flow = weak.lock()) {
                if (stored)
                    flow->succeed(parameters);
                else
                    flow->fail(OAuth2Error::CredentialStoreFailure);
            }
        });
    });
}

OAuth2Signer OAuth2CodeFlow::signer(const QString& label) const
{
    return OAuth2Signer(d->keeper, label);
}

} // namespace airlark
