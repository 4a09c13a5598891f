#pragma once

#include "hosts/HTTPDataRequest.h"
#include "hosts/OAuth2CodeFlow.h"
#include "hosts/SoundCloudAPIClientCredentials.h"
#include "hosts/SoundCloudEndpoints.h"
#include "platform/RedirectURLHandler.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

// What a signed GET to the API came to: the answer, or why no token could be had for it.
struct SoundCloudAnswer
{
    std::optional<OAuth2SigningError> signingError;
    OAuth2RefreshFailure refreshFailure; // with RefreshFailed
    HTTPDataResult result;
    bool renewed = false; // the token was refused once and renewed for a second try
};

// The SoundCloud API client of one account: its OAuth2 sign-in, the user-details request and
// request signing. The track upload, which needs the publishing layer, is
// `upload(SoundCloudAPIClient&, ...)` in publish/SoundCloudTrackUpload.h.
//
// Main thread only. Requests it starts complete even if the client is destroyed meanwhile.
class SoundCloudAPIClient : public RedirectURLHandler
{
public:
    // Posted on the default notification centre with the client as object.
    static const QString OAuth2Authorized;          // "SoundCloudAPIClientOAuth2Authorized"
    static const QString OAuth2AuthorizationFailed; // "SoundCloudAPIClientOAuth2AuthorizationFailed"
    static const QString AuthorizationLabel;        // "OAuth"
    static const QString KeychainService;           // "SoundCloud"
    // The credential store's service for tokens of these endpoints: "SoundCloud" for SoundCloud's
    // own, "SoundCloud <host:port>" for any other token endpoint. The user account is the
    // credentials' userIdentifier.
    static QString keychainService(const SoundCloudEndpoints& endpoints);

    explicit SoundCloudAPIClient(const SoundCloudAPIClientCredentials& credentials,
                                 const SoundCloudEndpoints& endpoints = SoundCloudEndpoints::current());
    ~SoundCloudAPIClient() override;

    // Opens SoundCloud's authorize page in the browser; the outcome arrives as a notification.
    void authenticate();
    // The redirect back from SoundCloud, by the "airlark" URL scheme or the loopback listener.
    void handleRedirectURL(const QUrl& url) override;

    // The signed-in user's "username", or nothing (completion on the main thread).
    void me(std::function<void(std::optional<QString>)> completion);

    // A URL below the API base with the "client_id" query item, e.g. apiURL("/tracks").
    QUrl apiURL(const QString& path) const;
    // Signs with "Authorization: OAuth <token>", refreshing the token when needed.
    OAuth2Signer signer() const { return oAuth2_->signer(AuthorizationLabel); }

    // GETs `url` signed by `signer`; an answer 401 renews the token once and asks again.
    static void get(const OAuth2Signer& signer, const QUrl& url,
                    std::function<void(const SoundCloudAnswer&)> completion);

    OAuth2CodeFlow& oAuth2() { return *oAuth2_; }
    const QUrl& BaseURL() const { return baseURL_; }
    const QString& clientID() const { return clientID_; }

private:
    std::unique_ptr<OAuth2CodeFlow> oAuth2_;
    QUrl baseURL_;
    QString clientID_;
};

} // namespace airlark
