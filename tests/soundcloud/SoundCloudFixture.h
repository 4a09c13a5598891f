#pragma once

#include "hosts/SoundCloudAPIClient.h"
#include "platform/NotificationCenter.h"
#include "support/SoundCloudStandIn.h"

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace airlark::test {

// Plays the user's browser: opens the authorize page the application asks for on a thread of its
// own (the page is served by the stand-in), takes the redirect it answers with and delivers it
// the way the redirect URI calls for.
class TestBrowser
{
public:
    enum class Delivery
    {
        FollowRedirect, // GET the redirect URL (a loopback listener's page)
        RunCommand,     // hand the redirect URL to a program, as the desktop does for "airlark:"
        Keep,           // only remember it; the test delivers it
    };

    TestBrowser();
    ~TestBrowser();

    Delivery delivery = Delivery::FollowRedirect;
    QString program; // for RunCommand: the program, given the URL as its only argument
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    bool open(const QUrl& url);
    // Waits (spinning the Qt loop) for every opened page to be delivered.
    bool waitUntilIdle();

    std::vector<QUrl> openedURLs() const;
    std::optional<QUrl> lastRedirect() const;
    QByteArray lastPage() const;
    int commandExitCode() const { return exitCode_; }

private:
    void visit(QUrl url);

    mutable std::mutex mutex_;
    std::vector<std::thread> threads_;
    std::vector<QUrl> opened_;
    std::optional<QUrl> lastRedirect_;
    QByteArray lastPage_;
    std::atomic<int> busy_ = 0;
    std::atomic<int> exitCode_ = -1;
};

// Counts the two sign-in notifications.
class SignInNotifications
{
public:
    SignInNotifications();
    ~SignInNotifications();
    int authorized() const { return authorized_; }
    int failed() const { return failed_; }
    const void* lastSender() const { return lastSender_; }

private:
    std::atomic<int> authorized_ = 0;
    std::atomic<int> failed_ = 0;
    std::atomic<const void*> lastSender_ = nullptr;
};

// A SoundCloud stand-in with Airlark pointed at it: endpoints, the user's credentials file (the
// stand-in's registration and `redirectURI`) and the test browser.
class SoundCloudTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the user's credentials file.
    static void writeCredentials(const QString& redirectURI,
                                 const QString& clientID = SoundCloudStandIn::ClientID,
                                 const QString& clientSecret = SoundCloudStandIn::ClientSecret);

    // A complete loopback sign-in for `userIdentifier`; true when it was authorized.
    bool signIn(const QString& userIdentifier);

    // The tokens item the credential store holds for `userIdentifier` with the stand-in's endpoints.
    std::optional<QVariantMap> storedTokens(const QString& userIdentifier) const;

    SoundCloudStandIn standIn;
    TestBrowser browser;
    static inline const QString LoopbackRedirectURI =
        QStringLiteral("http://127.0.0.1:0/soundcloud/callback");
};

} // namespace airlark::test
