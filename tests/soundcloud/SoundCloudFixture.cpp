#include "SoundCloudFixture.h"

#include "hosts/OAuth2CodeFlow.h"
#include "store/CredentialStore.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace airlark::test {

TestBrowser::TestBrowser() = default;

TestBrowser::~TestBrowser()
{
    for (auto& thread : threads_)
        thread.join();
}

bool TestBrowser::open(const QUrl& url)
{
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    ++busy_;
    threads_.emplace_back([this, url] {
        visit(url);
        --busy_;
    });
    return true;
}

void TestBrowser::visit(QUrl url)
{
    const std::optional<QUrl> redirect = SoundCloudStandIn::follow(url);
    {
        std::lock_guard lock(mutex_);
        lastRedirect_ = redirect;
    }
    if (!redirect)
        return;
    switch (delivery) {
    case Delivery::FollowRedirect: {
        const std::optional<QByteArray> page = SoundCloudStandIn::get(*redirect);
        std::lock_guard lock(mutex_);
        lastPage_ = page.value_or(QByteArray());
        break;
    }
    case Delivery::RunCommand: {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {redirect->toString(QUrl::FullyEncoded)});
        if (process.waitForFinished(20000))
            exitCode_ = process.exitCode();
        else {
            process.kill();
            process.waitForFinished(2000);
        }
        break;
    }
    case Delivery::Keep:
        break;
    }
}

bool TestBrowser::waitUntilIdle()
{
    return waitFor([this] { return busy_ == 0; }, std::chrono::seconds(20));
}

std::vector<QUrl> TestBrowser::openedURLs() const
{
    std::lock_guard lock(mutex_);
    return opened_;
}

std::optional<QUrl> TestBrowser::lastRedirect() const
{
    std::lock_guard lock(mutex_);
    return lastRedirect_;
}

QByteArray TestBrowser::lastPage() const
{
    std::lock_guard lock(mutex_);
    return lastPage_;
}

SignInNotifications::SignInNotifications()
{
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, SoundCloudAPIClient::OAuth2Authorized,
                       [this](const NotificationCenter::Notification& n) {
                           lastSender_ = n.object;
                           ++authorized_;
                       });
    center.addObserver(this, SoundCloudAPIClient::OAuth2AuthorizationFailed,
                       [this](const NotificationCenter::Notification& n) {
                           lastSender_ = n.object;
                           ++failed_;
                       });
}

SignInNotifications::~SignInNotifications()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void SoundCloudTest::SetUp()
{
    ASSERT_TRUE(standIn.start());
    SoundCloudEndpoints::setCurrent({standIn.apiBaseURL(), standIn.authorizeURL(), standIn.tokenURL()});
    writeCredentials(LoopbackRedirectURI);
    OAuth2CodeFlow::setBrowserOpener([this](const QUrl& url) { return browser.open(url); });
}

void SoundCloudTest::TearDown()
{
    browser.waitUntilIdle();
    OAuth2CodeFlow::setBrowserOpener({});
}

void SoundCloudTest::writeCredentials(const QString& redirectURI, const QString& clientID,
                                      const QString& clientSecret)
{
    const QString path = SoundCloudAPIClientCredentials::userFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("redirect_uri"), redirectURI},
                                         {QStringLiteral("client_id"), clientID},
                                         {QStringLiteral("client_secret"), clientSecret}})
                   .toJson());
}

bool SoundCloudTest::signIn(const QString& userIdentifier)
{
    SignInNotifications notifications;
    SoundCloudAPIClient client{SoundCloudAPIClientCredentials(userIdentifier)};
    client.authenticate();
    const bool done = waitFor([&] { return notifications.authorized() + notifications.failed() > 0; });
    return done && notifications.authorized() == 1;
}

std::optional<QVariantMap> SoundCloudTest::storedTokens(const QString& userIdentifier) const
{
    return CredentialStore::loadData(userIdentifier,
                                     SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current()));
}

} // namespace airlark::test
