#pragma once

#include "support/HttpTestServer.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace airlark::test {

// A stand-in for SoundCloud on 127.0.0.1: the authorize page ("/authorize"), the token endpoint
// ("/oauth/token", PKCE S256 checked, expiring access tokens, single-use refresh tokens), "/me"
// and "/tracks" (multipart body parsed and recorded). Each step can be told to fail.
// Its handlers run on the server's threads; every accessor is thread-safe.
class SoundCloudStandIn
{
public:
    enum class AuthorizeMode
    {
        Approve,
        Deny,
        WrongState
    };
    enum class TokenMode
    {
        Issue,
        ServerError,
        RefuseClient
    };
    enum class MeMode
    {
        Username,
        NumericUsername,
        ErrorStatusWithUsername,
        ServerError
    };
    enum class TracksMode
    {
        Created,
        Unprocessable,
        BadGatewayHTML
    };

    SoundCloudStandIn();
    ~SoundCloudStandIn();

    bool start();
    HttpTestServer& server() { return server_; }

    QUrl apiBaseURL() const;   // http://127.0.0.1:<port>
    QUrl authorizeURL() const; // .../authorize
    QUrl tokenURL() const;     // .../oauth/token

    // The registration the stand-in accepts.
    static inline const QString ClientID = QStringLiteral("standin-client-id");
    static inline const QString ClientSecret = QStringLiteral("standin-client-secret");

    void setAuthorizeMode(AuthorizeMode mode);
    void setTokenMode(TokenMode mode);
    void setMeMode(MeMode mode);
    void setTracksMode(TracksMode mode);
    void setUsername(const QString& username);
    // "expires_in" of issued access tokens, in seconds.
    void setAccessTokenLifetime(int seconds);

    // What it saw.
    int authorizationCodeExchanges() const;
    int refreshes() const;
    int refusedRefreshes() const;
    // The latest valid refresh token and access token it issued.
    QString currentRefreshToken() const;
    QString currentAccessToken() const;
    bool isValidAccessToken(const QString& token) const;
    // The token requests (form bodies), in order.
    std::vector<QUrlQuery> tokenRequests() const;
    // The "/tracks" requests, with their parsed multipart parts.
    struct Track
    {
        HttpTestRequest request;
        QList<MultipartTestPart> parts;
        bool parsed = false;
    };
    std::vector<Track> tracks() const;

    // The first redirect target the authorize page would send the browser to, for `authorizeURL`
    // as the application opened it: a blocking GET from the calling thread.
    static std::optional<QUrl> follow(const QUrl& authorizeURL);
    // A blocking GET: the whole response (head and body), or nothing without an answer.
    static std::optional<QByteArray> get(const QUrl& url, int* status = nullptr);

private:
    HttpTestResponse authorize(const HttpTestRequest& request);
    HttpTestResponse token(const HttpTestRequest& request);
    HttpTestResponse me(const HttpTestRequest& request);
    HttpTestResponse uploadTrack(const HttpTestRequest& request);
    HttpTestResponse issueTokens();
    bool authorized(const HttpTestRequest& request) const;

    HttpTestServer server_;
    mutable std::mutex mutex_;
    AuthorizeMode authorizeMode_ = AuthorizeMode::Approve;
    TokenMode tokenMode_ = TokenMode::Issue;
    MeMode meMode_ = MeMode::Username;
    TracksMode tracksMode_ = TracksMode::Created;
    QString username_ = QStringLiteral("Standin Podcaster");
    int accessTokenLifetime_ = 3600;
    struct PendingCode
    {
        QString challenge;
        QString redirectURI;
    };
    std::map<QString, PendingCode> codes_;
    std::set<QString> validAccessTokens_;
    std::set<QString> validRefreshTokens_;
    std::set<QString> usedRefreshTokens_;
    QString currentAccessToken_;
    QString currentRefreshToken_;
    int serial_ = 0;
    int exchanges_ = 0;
    int refreshes_ = 0;
    int refusedRefreshes_ = 0;
    std::vector<QUrlQuery> tokenRequests_;
    std::vector<Track> tracks_;
};

} // namespace airlark::test
