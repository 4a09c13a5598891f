#pragma once

#include "hosts/SoundCloudAPIClient.h"
#include "platform/NotificationCenter.h"
#include "support/HttpStandIn.h"

#include <QNetworkAccessManager>
#include <QProcessEnvironment>
#include <QString>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace airlark::test {

// Plays the user's browser on the main thread's loop: opens the authorize page the application
// asks for (served by the stand-in), takes the redirect it answers with and delivers it the way
// the redirect URI calls for.
class TestBrowser
{
public:
    enum class Delivery
    {
        FollowRedirect, // GET the redirect URL (a loopback listener's page)
        RunCommand,     // hand the redirect URL to a program, as the desktop does for "airlark:"
        Keep,           // only remember it; the test delivers it
    };

    Delivery delivery = Delivery::FollowRedirect;
    QString program; // for RunCommand: the program, given the URL as its only argument
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    bool open(const QUrl& url);
    // Waits (spinning the Qt loop) for every opened page to be delivered.
    bool waitUntilIdle();
    // A request as any page in the browser could send it: the status and the body (0 without one).
    std::pair<int, QByteArray> fetch(const QUrl& url, const QByteArray& method = "GET");

    const std::vector<QUrl>& openedURLs() const { return opened_; }
    const std::optional<QUrl>& lastRedirect() const { return lastRedirect_; }
    int commandExitCode() const { return exitCode_; }

private:
    QNetworkReply* send(const QUrl& url, const QByteArray& method = "GET");
    void deliver(const QUrl& redirect);

    QNetworkAccessManager manager_;
    std::vector<QUrl> opened_;
    std::optional<QUrl> lastRedirect_;
    int busy_ = 0;
    int exitCode_ = -1;
};

// Counts the two sign-in notifications.
class SignInNotifications
{
public:
    SignInNotifications();
    ~SignInNotifications();
    int authorized() const { return authorized_; }
    int failed() const { return failed_; }

private:
    std::atomic<int> authorized_ = 0;
    std::atomic<int> failed_ = 0;
};

// The stand-in playing SoundCloud on two ports (the second one is "another server"), with Airlark
// pointed at the first: endpoints, the user's credentials file and the test browser.
class SoundCloudTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the user's credentials file with the stand-in's registration, or the given one.
    void writeCredentials(const QString& redirectURI, const QString& clientSecret = {});

    // A complete loopback sign-in for `userIdentifier`; true when it was authorized.
    bool signIn(const QString& userIdentifier);

    // The tokens item the credential store holds for `userIdentifier` with the stand-in's endpoints.
    std::optional<QVariantMap> storedTokens(const QString& userIdentifier) const;
    void storeTokens(const QString& userIdentifier, const QVariantMap& tokens) const;

    // The stand-in's SoundCloud state after applying `settings`.
    QJsonObject cloud(const QJsonObject& settings = {}) { return standIn.soundCloud(settings); }
    // The requests that reached `path` on `listener`.
    std::vector<StandInRequest> requestsTo(const QString& path, int listener = 0);

    HttpStandIn standIn{{HttpStandIn::Plain, HttpStandIn::Plain}};
    TestBrowser browser;
    static inline const QString LoopbackRedirectURI =
        QStringLiteral("http://127.0.0.1:0/soundcloud/callback");
};

} // namespace airlark::test
