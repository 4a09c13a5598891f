#include "app/AppDelegate.h"

#include "app/OnboardingWindowController.h"
#include "app/SingleInstance.h"

#include <QRegularExpression>
#include <QUrl>
#include <QtDebug>

namespace airlark {

namespace {

AppDelegate* currentDelegate = nullptr;

const QString RedirectScheme = QStringLiteral("airlark");
const QString RedirectHost = QStringLiteral("soundcloud");

// QUrl folds the scheme and the host to lower case, but the redirect must match them exactly as
// written, so both are read from the text itself (which QUrl has already found well-formed).
QString schemeAsWritten(const QString& text, const QUrl& url)
{
    if (url.scheme().isEmpty())
        return {};
    return text.left(text.indexOf(QLatin1Char(':')));
}

QString hostAsWritten(const QString& text, const QString& scheme)
{
    const QString prefix = scheme + QStringLiteral("://");
    if (scheme.isEmpty() || !text.startsWith(prefix))
        return {};
    QString authority = text.mid(prefix.size());
    const qsizetype end = authority.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    if (end >= 0)
        authority.truncate(end);
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0)
        authority.remove(0, at + 1);
    if (authority.startsWith(QLatin1Char('[')))
        return authority.left(authority.indexOf(QLatin1Char(']')) + 1);
    const qsizetype colon = authority.indexOf(QLatin1Char(':'));
    return colon >= 0 ? authority.left(colon) : authority;
}

} // namespace

AppDelegate::AppDelegate()
{
    Q_ASSERT_X(!currentDelegate, "AppDelegate", "the application has one delegate");
    currentDelegate = this;
}

AppDelegate::~AppDelegate()
{
    if (currentDelegate == this)
        currentDelegate = nullptr;
}

AppDelegate* AppDelegate::current()
{
    return currentDelegate;
}

QWidget* AppDelegate::onboardingWindowController()
{
    if (!onboardingWindowController_)
        onboardingWindowController_ = std::make_unique<OnboardingWindowController>();
    return onboardingWindowController_.get();
}

void AppDelegate::applicationWillFinishLaunching(SingleInstance& urlEvents)
{
    connect(&urlEvents, &SingleInstance::urlReceived, this,
            [this](const QString& url) { handleURLEvent(url); });
}

void AppDelegate::applicationDidFinishLaunching() {}

void AppDelegate::applicationWillTerminate() {}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() const
{
    return true;
}

void AppDelegate::setPendingAuthenticationSoundCloudAPIClient(std::shared_ptr<RedirectURLHandler> client)
{
    pendingAuthenticationSoundCloudAPIClient_ = std::move(client);
}

bool AppDelegate::handleURLEvent(const std::optional<QString>& directObject)
{
    const auto drop = [] {
        qWarning().noquote() << "No valid URL to handle";
        return false;
    };
    if (!directObject)
        return drop();
    const QString& text = *directObject;
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return drop();
    // Keep the client alive through the call even if handling it replaces the pending client.
    const std::shared_ptr<RedirectURLHandler> client = pendingAuthenticationSoundCloudAPIClient_;
    if (!client)
        return drop();
    const QString scheme = schemeAsWritten(text, url);
    if (scheme != RedirectScheme)
        return drop();
    if (hostAsWritten(text, scheme) != RedirectHost)
        return drop();
    client->handleRedirectURL(url);
    return true;
}

} // namespace airlark
