#pragma once

#include "hosts/OAuth2CodeFlow.h"
#include "hosts/SoundCloudAPIClient.h"
#include "store/CredentialStore.h"
#include "support/HttpStandIn.h"
#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace airlark::test {

// Plays the user's browser on the main thread's loop: soon after the application asks, opens the
// authorize page (served by the stand-in) and follows the redirect it answers with (a loopback
// listener's page), or only keeps it for the test to deliver.
class TestBrowser
{
public:
    bool followRedirects = true;

    bool open(const QUrl& url)
    {
        opened_.push_back(url);
        ++busy_;
        QTimer::singleShot(0, &manager_, [this, url] {
            const QUrl location = send(url)->header(QNetworkRequest::LocationHeader).toUrl();
            if (location.isValid())
                lastRedirect_ = location;
            if (location.isValid() && followRedirects)
                send(location);
            --busy_;
        });
        return true;
    }

    // Waits (spinning the Qt loop) for every opened page to be delivered.
    bool waitUntilIdle()
    {
        return waitFor([this] { return busy_ == 0; }, std::chrono::seconds(20));
    }

    // A request as any page in the browser could send it: the status and the body (0 without one).
    std::pair<int, QByteArray> fetch(const QUrl& url, const QByteArray& method = "GET")
    {
        const auto reply = send(url, method);
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }

    const std::vector<QUrl>& openedURLs() const { return opened_; }
    const std::optional<QUrl>& lastRedirect() const { return lastRedirect_; }

private:
    std::unique_ptr<QNetworkReply> send(const QUrl& url, const QByteArray& method = "GET")
    {
        manager_.setProxy(QNetworkProxy::NoProxy);
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setTransferTimeout(10000);
        std::unique_ptr<QNetworkReply> reply(manager_.sendCustomRequest(request, method));
        waitFor([&] { return reply->isFinished(); });
        return reply;
    }

    QNetworkAccessManager manager_;
    std::vector<QUrl> opened_;
    std::optional<QUrl> lastRedirect_;
    int busy_ = 0;
};

// Counts the two sign-in notifications.
struct SignInNotifications
{
    NotificationCounter authorized{SoundCloudAPIClient::OAuth2Authorized};
    NotificationCounter failed{SoundCloudAPIClient::OAuth2AuthorizationFailed};
};

// The stand-in playing SoundCloud on two ports (the second one is "another server"), with Airlark
// pointed at the first: endpoints, the user's credentials file and the test browser.
class SoundCloudTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(standIn.isRunning());
        SoundCloudEndpoints::setCurrent({standIn.url({}), standIn.url(QStringLiteral("/authorize")),
                                         standIn.url(QStringLiteral("/oauth/token"))});
        writeCredentials(QStringLiteral("http://127.0.0.1:0/soundcloud/callback"));
        OAuth2CodeFlow::setBrowserOpener([this](const QUrl& url) { return browser.open(url); });
    }

    void TearDown() override
    {
        browser.waitUntilIdle();
        OAuth2CodeFlow::setBrowserOpener({});
    }

    // Writes the user's credentials file with the stand-in's registration.
    void writeCredentials(const QString& redirectURI)
    {
        const QJsonObject registration = cloud();
        ASSERT_TRUE(
            writeFile(SoundCloudAPIClientCredentials::userFilePath(),
                      QJsonDocument(QJsonObject{{"redirect_uri", redirectURI},
                                                {"client_id", registration.value("client_id")},
                                                {"client_secret", registration.value("client_secret")}})
                          .toJson()));
    }

    // A complete loopback sign-in for `userIdentifier`; true when it was authorized.
    bool signIn(const QString& userIdentifier)
    {
        SignInNotifications notifications;
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(userIdentifier)};
        client.authenticate();
        return waitFor([&] { return notifications.authorized.count() + notifications.failed.count() > 0; }) &&
               notifications.authorized.count() == 1;
    }

    // The tokens item the credential store holds for `userIdentifier` with the stand-in's endpoints.
    std::optional<QVariantMap> storedTokens(const QString& userIdentifier) const
    {
        return CredentialStore::loadData(
            userIdentifier, SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current()));
    }

    // The stand-in's SoundCloud state after applying `settings`.
    QJsonObject cloud(const QJsonObject& settings = {}) { return standIn.soundCloud(settings); }
    // The requests that reached `path` on `listener`.
    std::vector<StandInRequest> requestsTo(const QString& path, int listener = 0)
    {
        std::vector<StandInRequest> found = standIn.requests();
        std::erase_if(
            found, [&](const auto& request) { return request.path != path || request.listener != listener; });
        return found;
    }

    HttpStandIn standIn{{HttpStandIn::Plain, HttpStandIn::Plain}};
    TestBrowser browser;
};

} // namespace airlark::test
