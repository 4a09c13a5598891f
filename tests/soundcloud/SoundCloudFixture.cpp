#include "SoundCloudFixture.h"

#include "hosts/OAuth2CodeFlow.h"
#include "store/CredentialStore.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>

namespace airlark::test {

QNetworkReply* TestBrowser::send(const QUrl& url, const QByteArray& method)
{
    manager_.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(10000);
    return manager_.sendCustomRequest(request, method);
}

bool TestBrowser::open(const QUrl& url)
{
    opened_.push_back(url);
    ++busy_;
    QNetworkReply* reply = send(url);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        reply->deleteLater();
        const QUrl location = reply->header(QNetworkRequest::LocationHeader).toUrl();
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() / 100 != 3 ||
            !location.isValid()) {
            --busy_;
            return;
        }
        lastRedirect_ = location;
        deliver(location);
    });
    return true;
}

void TestBrowser::deliver(const QUrl& redirect)
{
    switch (delivery) {
    case Delivery::FollowRedirect: {
        QNetworkReply* page = send(redirect);
        QObject::connect(page, &QNetworkReply::finished, page, [this, page] {
            page->deleteLater();
            --busy_;
        });
        return;
    }
    case Delivery::RunCommand: {
        auto* process = new QProcess(&manager_);
        process->setProcessEnvironment(environment);
        QObject::connect(process, &QProcess::finished, process, [this, process](int exitCode) {
            exitCode_ = exitCode;
            process->deleteLater();
            --busy_;
        });
        process->start(program, {redirect.toString(QUrl::FullyEncoded)});
        return;
    }
    case Delivery::Keep:
        --busy_;
        return;
    }
}

bool TestBrowser::waitUntilIdle()
{
    return waitFor([this] { return busy_ == 0; }, std::chrono::seconds(20));
}

std::pair<int, QByteArray> TestBrowser::fetch(const QUrl& url, const QByteArray& method)
{
    QNetworkReply* reply = send(url, method);
    waitFor([reply] { return reply->isFinished(); });
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return {status, body};
}

SignInNotifications::SignInNotifications()
{
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, SoundCloudAPIClient::OAuth2Authorized,
                       [this](const NotificationCenter::Notification&) { ++authorized_; });
    center.addObserver(this, SoundCloudAPIClient::OAuth2AuthorizationFailed,
                       [this](const NotificationCenter::Notification&) { ++failed_; });
}

SignInNotifications::~SignInNotifications()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void SoundCloudTest::SetUp()
{
    ASSERT_TRUE(standIn.isRunning());
    cloud();
    SoundCloudEndpoints::setCurrent({standIn.url({}), standIn.url(QStringLiteral("/authorize")),
                                     standIn.url(QStringLiteral("/oauth/token"))});
    writeCredentials(LoopbackRedirectURI);
    OAuth2CodeFlow::setBrowserOpener([this](const QUrl& url) { return browser.open(url); });
}

void SoundCloudTest::TearDown()
{
    browser.waitUntilIdle();
    OAuth2CodeFlow::setBrowserOpener({});
}

void SoundCloudTest::writeCredentials(const QString& redirectURI, const QString& clientSecret)
{
    const QJsonObject registration = cloud();
    const QString path = SoundCloudAPIClientCredentials::userFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        QJsonDocument(QJsonObject{{"redirect_uri", redirectURI},
                                  {"client_id", registration.value(QStringLiteral("client_id"))},
                                  {"client_secret", clientSecret.isEmpty()
                                                        ? registration.value(QStringLiteral("client_secret"))
                                                        : QJsonValue(clientSecret)}})
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

void SoundCloudTest::storeTokens(const QString& userIdentifier, const QVariantMap& tokens) const
{
    ASSERT_FALSE(CredentialStore::updateData(
        tokens, userIdentifier, SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current())));
}

std::vector<StandInRequest> SoundCloudTest::requestsTo(const QString& path, int listener)
{
    std::vector<StandInRequest> found;
    for (StandInRequest& request : standIn.requests()) {
        if (request.path == path && request.listener == listener)
            found.push_back(std::move(request));
    }
    return found;
}

} // namespace airlark::test
