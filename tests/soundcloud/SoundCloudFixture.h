#pragma once

#include "hosts/OAuth2CodeFlow.h"
#include "hosts/SoundCloudAPIClient.h"
#include "platform/NotificationCenter.h"
#include "store/CredentialStore.h"
#include "support/HttpStandIn.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace airlark::test {

// Plays the user's browser on the main thread's loop: opens the authorize page the application
// asks for (served by the stand-in) and follows the redirect it answers with (a loopback
// listener's page), or only keeps it for the test to deliver.
class TestBrowser
{
public:
    bool followRedirects = true;

    bool open(const QUrl& url)
    {
        opened_.push_back(url);
        ++busy_;
        QNetworkReply* reply = send(url);
        QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
            reply->deleteLater();
            const QUrl location = reply->header(QNetworkRequest::LocationHeader).toUrl();
            const bool redirected =
                reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() / 100 == 3 &&
                location.isValid();
            if (redirected)
                lastRedirect_ = location;
            if (!redirected || !followRedirects) {
                --busy_;
                return;
            }
            QNetworkReply* page = send(location);
            QObject::connect(page, &QNetworkReply::finished, page, [this, page] {
                page->deleteLater();
                --busy_;
            });
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
        QNetworkReply* reply = send(url, method);
        waitFor([reply] { return reply->isFinished(); });
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return {status, body};
    }

    const std::vector<QUrl>& openedURLs() const { return opened_; }
    const std::optional<QUrl>& lastRedirect() const { return lastRedirect_; }

private:
    QNetworkReply* send(const QUrl& url, const QByteArray& method = "GET")
    {
        manager_.setProxy(QNetworkProxy::NoProxy);
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setTransferTimeout(10000);
        return manager_.sendCustomRequest(request, method);
    }

    QNetworkAccessManager manager_;
    std::vector<QUrl> opened_;
    std::optional<QUrl> lastRedirect_;
    int busy_ = 0;
};

// Counts the two sign-in notifications.
class SignInNotifications
{
public:
    SignInNotifications()
    {
        observation_.observe(this, SoundCloudAPIClient::OAuth2Authorized,
                             [this](const NotificationCenter::Notification&) { ++authorized_; });
        observation_.observe(this, SoundCloudAPIClient::OAuth2AuthorizationFailed,
                             [this](const NotificationCenter::Notification&) { ++failed_; });
    }
    int authorized() const { return authorized_; }
    int failed() const { return failed_; }

private:
    std::atomic<int> authorized_ = 0;
    std::atomic<int> failed_ = 0;
    ScopedObservation observation_{this};
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
        writeCredentials(LoopbackRedirectURI);
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
        const QString path = SoundCloudAPIClientCredentials::userFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            QJsonDocument(QJsonObject{{"redirect_uri", redirectURI},
                                      {"client_id", registration.value(QStringLiteral("client_id"))},
                                      {"client_secret", registration.value(QStringLiteral("client_secret"))}})
                .toJson());
    }

    // A complete loopback sign-in for `userIdentifier`; true when it was authorized.
    bool signIn(const QString& userIdentifier)
    {
        SignInNotifications notifications;
        SoundCloudAPIClient client{SoundCloudAPIClientCredentials(userIdentifier)};
        client.authenticate();
        const bool done = waitFor([&] { return notifications.authorized() + notifications.failed() > 0; });
        return done && notifications.authorized() == 1;
    }

    // The tokens item the credential store holds for `userIdentifier` with the stand-in's endpoints.
    std::optional<QVariantMap> storedTokens(const QString& userIdentifier) const
    {
        return CredentialStore::loadData(
            userIdentifier, SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current()));
    }
    void storeTokens(const QString& userIdentifier, const QVariantMap& tokens) const
    {
        ASSERT_FALSE(CredentialStore::updateData(
            tokens, userIdentifier, SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())));
    }

    // The stand-in's SoundCloud state after applying `settings`.
    QJsonObject cloud(const QJsonObject& settings = {}) { return standIn.soundCloud(settings); }
    // The requests that reached `path` on `listener`.
    std::vector<StandInRequest> requestsTo(const QString& path, int listener = 0)
    {
        std::vector<StandInRequest> found;
        for (StandInRequest& request : standIn.requests()) {
            if (request.path == path && request.listener == listener)
                found.push_back(std::move(request));
        }
        return found;
    }

    HttpStandIn standIn{{HttpStandIn::Plain, HttpStandIn::Plain}};
    TestBrowser browser;
    static inline const QString LoopbackRedirectURI =
        QStringLiteral("http://127.0.0.1:0/soundcloud/callback");
};

} // namespace airlark::test
