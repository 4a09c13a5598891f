#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

// Why a sign-in through the authorization-code grant did not produce a token.
enum class OAuth2Error
{
    NoPendingAuthorization,      // a redirect arrived while no sign-in was waiting for one
    AuthorizationDenied,         // the redirect carries an "error" parameter
    BrowserUnavailable,          // the authorize page could not be opened
    RedirectListenerUnavailable, // the loopback redirect URI's port could not be bound
    TokenRequestFailed,          // the token endpoint could not be reached or refused the code
    InvalidTokenResponse,        // the token endpoint answered without a usable access token
    CredentialStoreFailure,      // the tokens could not be kept in the credential store
    TimedOut,                    // no redirect for this sign-in arrived within its time limit
};

// Why a request could not be signed.
enum class OAuth2SigningError
{
    NotSignedIn,            // no token is stored for this user identifier
    NeedsNewSignIn,         // the stored refresh token was refused as invalid_grant (revoked or used)
    RefreshFailed,          // the token endpoint could not be reached, refused otherwise or asked to
                            // wait; the stored tokens are kept for a later try
    CredentialStoreFailure, // the credential store could not be read or written
};

// What went wrong with a refresh that failed, as far as the token endpoint said.
struct OAuth2RefreshFailure
{
    QString reason; // "HTTP 401, invalid_client"; empty when no answer came. Never holds a secret
    std::optional<std::chrono::seconds> retryAfter; // how long the endpoint asked to wait
};

// A request signed with the stored access token: the URL it is for and the value of its
// "Authorization" header (the label, one blank, the token). Never log `authorization`.
struct OAuth2SignedRequest
{
    QUrl url;
    QByteArray authorization;
};

struct OAuth2SigningResult
{
    std::optional<OAuth2SignedRequest> request;
    std::optional<OAuth2SigningError> error;
    OAuth2RefreshFailure refreshFailure; // with RefreshFailed
};

class OAuth2TokenKeeper;

// Signs requests with the tokens of one user identifier. A copy works on after the flow that made
// it is gone, so a request may renew its token after its client has been dropped. Main thread.
class OAuth2Signer
{
public:
    OAuth2Signer(std::shared_ptr<OAuth2TokenKeeper> keeper, QString label);

    // Signs `url` with "Authorization: <label> <access token>", refreshing an expired token first.
    // Completes later, on the main thread.
    void sign(const QUrl& url, std::function<void(OAuth2SigningResult)> completion) const;
    // The same for a request the server answered 401: its token is replaced by a refreshed one,
    // through the same single refresh as an expiry (one already running, or already done, counts).
    void renew(const OAuth2SignedRequest& rejected,
               std::function<void(OAuth2SigningResult)> completion) const;

private:
    std::shared_ptr<OAuth2TokenKeeper> keeper_;
    QString label_;
};

// Our OAuth 2.0 authorization-code grant with PKCE (S256), on Airlark's own HTTP client.
//
// Built from a settings dictionary with the keys "client_id", "client_secret", "authorize_uri",
// "token_uri", "redirect_uris" (a list; the first is used), "scope" (omitted when empty),
// "userIdentifier", "secret_in_body" and, optionally, "keychain_service" (the credential store's
// service name for the tokens; "OAuth2" by default).
//
// Tokens live in the credential store under ("userIdentifier", "keychain_service"), so that a new
// flow built with the same settings finds the tokens an earlier one obtained. Access tokens that
// have expired are refreshed before a request is signed; refreshes are serialised per user
// identifier across every flow object and every Airlark process (see OAuth2TokenKeeper), and each new
// refresh token is stored before the access token that came with it is used, since refresh tokens
// are single-use.
//
// When the redirect URI is a loopback http URL (http://127.0.0.1:<port>/...), authorize() also
// listens on that port for the browser's redirect; port 0 picks a free port, and the redirect
// URI sent to the server then carries the port actually bound.
//
// A sign-in waits for its redirect for signInTimeLimit(). Redirects that do not belong to it (a
// wrong "state", no "code" and no "error") are ignored, so that no other page can end it; a few
// of them end it as a failure.
//
// Main thread only. Callbacks run on the main thread, never inside the call that caused them.
class OAuth2CodeFlow
{
public:
    // Opens a URL in the user's browser. Tests replace it to play the browser's part.
    using BrowserOpener = std::function<bool(const QUrl&)>;
    static void setBrowserOpener(BrowserOpener opener); // an empty opener restores QDesktopServices
    static bool openInBrowser(const QUrl& url);
    // Ten minutes; tests shorten it.
    static std::chrono::milliseconds signInTimeLimit();
    static void setSignInTimeLimit(std::chrono::milliseconds limit);

    explicit OAuth2CodeFlow(const QVariantMap& settings);
    ~OAuth2CodeFlow();
    OAuth2CodeFlow(const OAuth2CodeFlow&) = delete;
    OAuth2CodeFlow& operator=(const OAuth2CodeFlow&) = delete;

    // Called with the token endpoint's answer (tokens removed) once the tokens are stored.
    std::function<void(const QVariantMap& parameters)> onAuthorize;
    std::function<void(OAuth2Error error)> onFailure;

    // Starts a sign-in: a fresh "state" and PKCE verifier, the loopback listener when the
    // redirect URI asks for one, and the authorize page in the browser. A later call abandons
    // the earlier sign-in.
    void authorize();

    // Completes the pending sign-in with the redirect the browser was sent to: its code is
    // exchanged, or its "error" fails the sign-in. A redirect that does not belong to the sign-in
    // is ignored.
    void handleRedirectURL(const QUrl& url);
    // Whether `url` is the redirect the pending sign-in waits for: its "state", and a "code" or
    // an "error".
    bool isRedirectForPendingSignIn(const QUrl& url) const;

    bool isAuthorizing() const;

    // The redirect URI sent with the current sign-in (with the bound port for a loopback URI).
    QUrl redirectURI() const;
    QString userIdentifier() const;

    // Signs requests with this user identifier's tokens and `label`.
    OAuth2Signer signer(const QString& label) const;

    struct Private;

private:
    std::shared_ptr<Private> d;
};

} // namespace airlark
