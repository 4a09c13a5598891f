#include "hosts/OAuth2TokenKeeper.h"

#include "hosts/HTTPDataRequest.h"
#include "platform/MainQueue.h"
#include "platform/RuntimeLock.h"
#include "store/CredentialStore.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <map>

namespace airlark {

namespace {

QString registryKey(const OAuth2ClientSettings& settings)
{
    return settings.keychainService + QLatin1Char('\n') + settings.userIdentifier;
}

// Keepers alive in the process, by service and user identifier. Main thread only.
std::map<QString, std::weak_ptr<OAuth2TokenKeeper>>& registry()
{
    static std::map<QString, std::weak_ptr<OAuth2TokenKeeper>> keepers;
    return keepers;
}

OAuth2AccessTokenResult failure(OAuth2SigningError error, OAuth2RefreshFailure why = {})
{
    return OAuth2AccessTokenResult{std::nullopt, error, std::move(why)};
}

// Long enough for another process to finish its refresh: its token request's minute, the keyring.
constexpr std::chrono::seconds RefreshLockPatience{150};

// The "error" member of a token endpoint's JSON answer, when it is a plain code.
QString errorCode(const QByteArray& body)
{
    static const QRegularExpression plainCode(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    const QString code = QJsonDocument::fromJson(body).object().value(QStringLiteral("error")).toString();
    return plainCode.match(code).hasMatch() ? code : QString();
}

// What the endpoint answered; nothing more for an answer that never came (the connection is the
// reason then).
OAuth2RefreshFailure refreshFailure(const HTTPDataResult& result)
{
    if (result.statusCode == 0)
        return {};
    QString reason = QStringLiteral("HTTP %1").arg(result.statusCode);
    if (const QString code = errorCode(result.body); !code.isEmpty())
        reason += QStringLiteral(", ") + code;
    return {reason, result.retryAfter};
}

const QStringList tokenMembers{QStringLiteral("access_token"), QStringLiteral("refresh_token"),
                               QStringLiteral("id_token")};

} // namespace

HTTPRequest OAuth2ClientSettings::tokenRequest(QList<QPair<QString, QString>> fields) const
{
    HTTPRequest request(tokenURL);
    request.HTTPMethod = QStringLiteral("POST");
    fields.append({QStringLiteral("client_id"), clientID});
    if (secretInBody) {
        fields.append({QStringLiteral("client_secret"), clientSecret});
    } else {
        const QByteArray credentials =
            QUrl::toPercentEncoding(clientID) + ':' + QUrl::toPercentEncoding(clientSecret);
        const QByteArray basic = credentials.toBase64();
        request.setValueForHTTPHeaderField(QStringLiteral("Basic ") + QString::fromLatin1(basic),
                                           QStringLiteral("Authorization"));
    }
    request.setValueForHTTPHeaderField(QStringLiteral("application/x-www-form-urlencoded"),
                                       QStringLiteral("Content-Type"));
    request.setValueForHTTPHeaderField(QStringLiteral("application/json; charset=utf-8"),
                                       QStringLiteral("Accept"));
    request.HTTPBody = formURLEncoded(fields);
    request.timeoutInterval = 60;
    return request;
}

std::optional<OAuth2Tokens> OAuth2Tokens::fromTokenResponse(const QByteArray& body, const QDateTime& now)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue access = object.value(QStringLiteral("access_token"));
    if (!access.isString() || access.toString().isEmpty())
        return std::nullopt;
    OAuth2Tokens tokens;
    tokens.accessToken = access.toString();
    tokens.refreshToken = object.value(QStringLiteral("refresh_token")).toString();
    tokens.tokenType = object.value(QStringLiteral("token_type")).toString();
    const QJsonValue expiresIn = object.value(QStringLiteral("expires_in"));
    // Some servers send the lifetime as text.
    const qint64 seconds = expiresIn.isString() ? expiresIn.toString().toLongLong()
                                                : static_cast<qint64>(expiresIn.toDouble(-1));
    if (seconds > 0)
        tokens.expiresAt = now.addSecs(seconds);
    return tokens;
}

QVariantMap OAuth2Tokens::publicParameters(const QByteArray& body)
{
    QVariantMap parameters = QJsonDocument::fromJson(body).object().toVariantMap();
    for (const QString& member : tokenMembers)
        parameters.remove(member);
    return parameters;
}

QVariantMap OAuth2Tokens::toItem() const
{
    QVariantMap item = details;
    item.insert(QStringLiteral("access_token"), accessToken);
    item.insert(QStringLiteral("refresh_token"), refreshToken);
    item.insert(QStringLiteral("token_type"), tokenType);
    if (expiresAt)
        item.insert(QStringLiteral("expires_at"), expiresAt->toSecsSinceEpoch());
    return item;
}

std::optional<OAuth2Tokens> OAuth2Tokens::fromItem(const QVariantMap& item)
{
    OAuth2Tokens tokens;
    tokens.accessToken = item.value(QStringLiteral("access_token")).toString();
    if (tokens.accessToken.isEmpty())
        return std::nullopt;
    tokens.refreshToken = item.value(QStringLiteral("refresh_token")).toString();
    tokens.tokenType = item.value(QStringLiteral("token_type")).toString();
    if (item.contains(QStringLiteral("expires_at")))
        tokens.expiresAt =
            QDateTime::fromSecsSinceEpoch(item.value(QStringLiteral("expires_at")).toLongLong(), Qt::UTC);
    tokens.details = item;
    for (const char* member :
         {"access_token", "refresh_token", "token_type", "expires_at", OAuth2TokenKeeper::NeedsNewSignInKey})
        tokens.details.remove(QString::fromLatin1(member));
    return tokens;
}

bool OAuth2Tokens::isExpired(const QDateTime& now) const
{
    return expiresAt && now.addSecs(60) >= *expiresAt;
}

std::shared_ptr<OAuth2TokenKeeper> OAuth2TokenKeeper::forUser(const OAuth2ClientSettings& settings)
{
    Q_ASSERT(MainQueue::isMainThread());
    auto& keepers = registry();
    const QString key = registryKey(settings);
    if (auto keeper = keepers[key].lock()) {
        keeper->settings_ = settings; // the latest registration and endpoints win
        return keeper;
    }
    auto keeper = std::make_shared<OAuth2TokenKeeper>(settings);
    keepers[key] = keeper;
    return keeper;
}

OAuth2TokenKeeper::OAuth2TokenKeeper(OAuth2ClientSettings settings) : settings_(std::move(settings)) {}

void OAuth2TokenKeeper::store(const OAuth2Tokens& tokens, std::function<void(bool)> completion)
{
    CredentialStore::updateDataLater(
        tokens.toItem(), settings_.userIdentifier, settings_.keychainService,
        [completion = std::move(completion)](const std::optional<CredentialStoreError>& error) {
            if (error)
                qWarning("Unable to keep the sign-in tokens in the credential store: %s",
                         qUtf8Printable(error->message));
            completion(!error);
        });
}

void OAuth2TokenKeeper::withAccessToken(std::function<void(const OAuth2AccessTokenResult&)> completion)
{
    withAccessTokenReplacing(QString(), std::move(completion));
}

void OAuth2TokenKeeper::withAccessTokenReplacing(
    const QString& rejected, std::function<void(const OAuth2AccessTokenResult&)> completion)
{
    Q_ASSERT(MainQueue::isMainThread());
    waiting_.push_back(Request{rejected, std::move(completion)});
    if (!answering_)
        answerNext();
}

void OAuth2TokenKeeper::answerNext()
{
    if (waiting_.empty())
        return;
    answering_ = true;
    // The keeper stays alive until the answer is given, even if every flow object goes.
    CredentialStore::readDataLater(
        settings_.userIdentifier, settings_.keychainService,
        [self = shared_from_this()](const Result<QVariantMap, CredentialStoreError>& item) {
            self->tokensDidArrive(item);
        });
}

void OAuth2TokenKeeper::tokensDidArrive(const Result<QVariantMap, CredentialStoreError>& item)
{
    const Verdict verdict = judge(item);
    if (verdict.answer)
        return answer(*verdict.answer);
    refreshUnderLock();
}

OAuth2TokenKeeper::Verdict
OAuth2TokenKeeper::judge(const Result<QVariantMap, CredentialStoreError>& item) const
{
    if (!item) {
        if (item.error().keyringUnavailable())
            qWarning("The sign-in tokens cannot be read: %s", qUtf8Printable(item.error().message));
        return {failure(item.error().keyringUnavailable() ? OAuth2SigningError::CredentialStoreFailure
                                                          : OAuth2SigningError::NotSignedIn),
                std::nullopt};
    }
    if (item->value(QString::fromLatin1(NeedsNewSignInKey)).toBool())
        return {failure(OAuth2SigningError::NeedsNewSignIn), std::nullopt};
    const std::optional<OAuth2Tokens> tokens = OAuth2Tokens::fromItem(*item);
    if (!tokens)
        return {failure(OAuth2SigningError::NotSignedIn), std::nullopt};
    const QString& rejected = waiting_.front().rejected;
    if (!tokens->isExpired() && (rejected.isEmpty() || tokens->accessToken != rejected))
        return {OAuth2AccessTokenResult{tokens->accessToken, std::nullopt, {}}, std::nullopt};
    if (tokens->refreshToken.isEmpty())
        return {failure(OAuth2SigningError::NeedsNewSignIn), std::nullopt};
    return {std::nullopt, tokens};
}

QString OAuth2TokenKeeper::lockName() const
{
    const QByteArray account = registryKey(settings_).toUtf8();
    return QStringLiteral("oauth2-") +
           QString::fromLatin1(
               QCryptographicHash::hash(account, QCryptographicHash::Sha256).toHex().left(32));
}

void OAuth2TokenKeeper::refreshUnderLock()
{
    MainQueue::runInBackground([self = shared_from_this(), name = lockName(), user = settings_.userIdentifier,
                                service = settings_.keychainService] {
        std::optional<RuntimeLock> lock = RuntimeLock::acquire(name, RefreshLockPatience);
        std::shared_ptr<RuntimeLock> held;
        std::optional<Result<QVariantMap, CredentialStoreError>> item;
        if (lock) {
            held = std::make_shared<RuntimeLock>(std::move(*lock));
            // Read once the lock is held: a refresh another process made meanwhile is stored by now.
            item = CredentialStore::readData(user, service);
        }
        MainQueue::async([self, held, item] {
            if (!held)
                return self->answerAll(
                    failure(OAuth2SigningError::RefreshFailed,
                            {QStringLiteral("another Airlark process is still renewing this sign-in"),
                             std::nullopt}));
            const Verdict verdict = self->judge(*item);
            if (verdict.answer)
                return self->answerAll(*verdict.answer);
            self->refresh(*verdict.toRefresh, held);
        });
    });
}

void OAuth2TokenKeeper::refresh(const OAuth2Tokens& tokens, std::shared_ptr<RuntimeLock> lock)
{
    const HTTPRequest request = settings_.tokenRequest({
        {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
        {QStringLiteral("refresh_token"), tokens.refreshToken},
    });
    sendHTTPDataRequest(request, [self = shared_from_this(), previous = tokens,
                                  lock = std::move(lock)](const HTTPDataResult& result) {
        std::optional<OAuth2Tokens> renewed;
        if (result.statusCode >= 200 && result.statusCode <= 299)
            renewed = OAuth2Tokens::fromTokenResponse(result.body);
        if (!renewed)
            return self->refreshWasRefused(previous, result, lock);
        renewed->details = previous.details;
        if (renewed->refreshToken.isEmpty())
            renewed->refreshToken = previous.refreshToken; // a server that does not rotate keeps the old one
        // The new refresh token replaces the used one before anything is signed with the new
        // access token (and before another process may read the item): losing it would leave the
        // account unable to refresh again.
        self->store(*renewed, [self, access = renewed->accessToken, lock](bool stored) {
            self->answerAll(stored ? OAuth2AccessTokenResult{access, std::nullopt, {}}
                                   : failure(OAuth2SigningError::CredentialStoreFailure));
        });
    });
}

void OAuth2TokenKeeper::refreshWasRefused(const OAuth2Tokens& refused, const HTTPDataResult& result,
                                          std::shared_ptr<RuntimeLock> lock)
{
    const OAuth2RefreshFailure why = refreshFailure(result);
    qWarning("Unable to refresh the access token (%s)",
             qUtf8Printable(result.statusCode == 0 ? result.transportError : why.reason));
    // Only invalid_grant says the refresh token will never work again (revoked, or used already).
    const bool grantGone = (result.statusCode == 400 || result.statusCode == 401) &&
                           errorCode(result.body) == QLatin1String("invalid_grant");
    // Read again before deciding: tokens stored since the refresh was sent (a new sign-in, a process
    // that did not wait for the lock) are not the refused ones, and must not be marked.
    CredentialStore::readDataLater(
        settings_.userIdentifier, settings_.keychainService,
        [self = shared_from_this(), refused, why, grantGone,
         lock = std::move(lock)](const Result<QVariantMap, CredentialStoreError>& item) {
            const Verdict verdict = self->judge(item);
            if (verdict.answer)
                return self->answerAll(*verdict.answer);
            if (grantGone && verdict.toRefresh->refreshToken == refused.refreshToken)
                return self->markNeedsNewSignIn(refused.details, lock);
            self->answerAll(failure(OAuth2SigningError::RefreshFailed, why));
        });
}

void OAuth2TokenKeeper::markNeedsNewSignIn(const QVariantMap& details, std::shared_ptr<RuntimeLock> lock)
{
    qWarning("The refresh token was refused as invalid; the account needs a new sign-in");
    // Written before the next request reads the item, so that it hears the same.
    QVariantMap item = details;
    item.insert(QString::fromLatin1(NeedsNewSignInKey), true);
    CredentialStore::updateDataLater(item, settings_.userIdentifier, settings_.keychainService,
                                     [self = shared_from_this(), lock = std::move(lock)](
                                         const std::optional<CredentialStoreError>& error) {
                                         if (error)
                                             qWarning("Unable to mark the account as needing a new sign-in");
                                         self->answerAll(failure(OAuth2SigningError::NeedsNewSignIn));
                                     });
}

void OAuth2TokenKeeper::answer(const OAuth2AccessTokenResult& outcome)
{
    Request request = std::move(waiting_.front());
    waiting_.pop_front();
    answering_ = false;
    request.completion(outcome);
    if (!answering_)
        answerNext();
}

void OAuth2TokenKeeper::answerAll(const OAuth2AccessTokenResult& outcome)
{
    // Every request that waited while the token was refreshed gets the refresh's outcome: one
    // refresh serves them all, whichever token they had found wanting.
    auto waiting = std::exchange(waiting_, {});
    answering_ = false;
    for (Request& request : waiting)
        request.completion(outcome);
    if (!answering_)
        answerNext();
}

} // namespace airlark
