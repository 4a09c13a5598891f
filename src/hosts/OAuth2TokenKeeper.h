#pragma once

#include "hosts/HTTPDataRequest.h"
#include "hosts/OAuth2CodeFlow.h"
#include "http/HTTPRequest.h"
#include "store/CredentialStore.h"

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

// What an OAuth2 client is: its registration and the server's endpoints.
struct OAuth2ClientSettings
{
    QString clientID;
    QString clientSecret;
    QUrl authorizeURL;
    QUrl tokenURL;
    QUrl redirectURI;
    QString scope;
    QString userIdentifier;
    bool secretInBody = false;
    QString keychainService;

    // A POST of `fields` to the token endpoint, with the client's id and secret added (in the
    // body, or as HTTP Basic authentication when the secret does not go in the body).
    HTTPRequest tokenRequest(QList<QPair<QString, QString>> fields) const;
};

// Tokens as the credential store keeps them. Never log any field but `expiresAt`.
struct OAuth2Tokens
{
    QString accessToken;
    QString refreshToken;
    std::optional<QDateTime> expiresAt; // none: the token does not expire
    QString tokenType;
    // What else the item keeps beside the tokens (the signed-in user's name), carried over when the
    // tokens are refreshed or the account is marked as needing a new sign-in.
    QVariantMap details;

    // From a token endpoint's JSON answer; nothing without a string "access_token".
    static std::optional<OAuth2Tokens>
    fromTokenResponse(const QByteArray& body, const QDateTime& now = QDateTime::currentDateTimeUtc());
    // The answer's members except the tokens, safe to hand around.
    static QVariantMap publicParameters(const QByteArray& body);

    QVariantMap toItem() const;
    static std::optional<OAuth2Tokens> fromItem(const QVariantMap& item);
    // Expired, or expiring within a minute (so that a request signed now still arrives in time).
    bool isExpired(const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
};

struct OAuth2AccessTokenResult
{
    std::optional<QString> accessToken;
    std::optional<OAuth2SigningError> error;
    OAuth2RefreshFailure refreshFailure; // with RefreshFailed
};

class RuntimeLock;

// The tokens of one user identifier in the credential store, shared by every flow object of
// the process built with the same keychain service and user identifier. Requests are answered one
// after the other; the keyring is read and written, and the lock below waited for, without
// blocking the main thread. Main thread only.
//
// A refresh token is single-use, and another Airlark process (the window beside `airlark publish`)
// may hold the same one, so a refresh runs under a per-account RuntimeLock that every process
// takes: the keyring is read again once it is held (another process may have refreshed meanwhile,
// and its tokens are used), and read again when the refresh is refused. Only invalid_grant for the
// refresh token still stored marks the account as needing a new sign-in; any other refusal keeps
// the tokens and says what the endpoint answered.
class OAuth2TokenKeeper : public std::enable_shared_from_this<OAuth2TokenKeeper>
{
public:
    static std::shared_ptr<OAuth2TokenKeeper> forUser(const OAuth2ClientSettings& settings);

    explicit OAuth2TokenKeeper(OAuth2ClientSettings settings);

    // Replaces the stored tokens; `completion` (later, main thread) gets false when the credential
    // store refused.
    void store(const OAuth2Tokens& tokens, std::function<void(bool stored)> completion);

    // A valid access token, refreshed first when it has expired. Completes later, on the main
    // thread. Requests that arrive while an earlier one is answered wait for it; a refresh answers
    // every request waiting by then with its outcome. A keyring that cannot be read answers
    // CredentialStoreFailure.
    void withAccessToken(std::function<void(const OAuth2AccessTokenResult&)> completion);
    // The same after the server refused `rejected`: refreshed unless the stored token is already
    // another one (a refresh since then replaced it).
    void withAccessTokenReplacing(const QString& rejected,
                                  std::function<void(const OAuth2AccessTokenResult&)> completion);

    static constexpr const char* NeedsNewSignInKey = "needs_sign_in";

private:
    using Completion = std::function<void(const OAuth2AccessTokenResult&)>;
    struct Request
    {
        QString rejected;
        Completion completion;
    };

    // Answers the first waiting request, then the next.
    void answerNext();
    void tokensDidArrive(const Result<QVariantMap, CredentialStoreError>& item);
    // The stored tokens if they answer the first request as they are; else an error to answer
    // with, or (neither) tokens to refresh.
    struct Verdict
    {
        std::optional<OAuth2AccessTokenResult> answer;
        std::optional<OAuth2Tokens> toRefresh;
    };
    Verdict judge(const Result<QVariantMap, CredentialStoreError>& item) const;
    void refreshUnderLock();
    void refresh(const OAuth2Tokens& tokens, std::shared_ptr<RuntimeLock> lock);
    void refreshWasRefused(const OAuth2Tokens& refused, const HTTPDataResult& result,
                           std::shared_ptr<RuntimeLock> lock);
    void markNeedsNewSignIn(const QVariantMap& details, std::shared_ptr<RuntimeLock> lock);
    QString lockName() const;
    void answer(const OAuth2AccessTokenResult& outcome);
    void answerAll(const OAuth2AccessTokenResult& outcome);

    OAuth2ClientSettings settings_;
    bool answering_ = false;
    std::deque<Request> waiting_;
};

} // namespace airlark
