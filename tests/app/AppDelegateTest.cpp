#include "app/AppDelegate.h"

#include "support/LogCapture.h"

#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace airlark;

namespace {

const QString Dropped = QStringLiteral("No valid URL to handle");

class RecordingClient : public RedirectURLHandler
{
public:
    void handleRedirectURL(const QUrl& url) override { received.append(url); }
    QList<QUrl> received;
};

struct RoutingCase
{
    const char* name;
    std::optional<QString> event;
    bool delivered;
};

class URLRouting : public ::testing::TestWithParam<RoutingCase>
{
protected:
    AppDelegate delegate;
    std::shared_ptr<RecordingClient> client = std::make_shared<RecordingClient>();
};

TEST_P(URLRouting, DeliversOnlyTheSoundCloudRedirect)
{
    delegate.setPendingAuthenticationSoundCloudAPIClient(client);
    test::LogCapture log;
    const bool handed = delegate.handleURLEvent(GetParam().event);

    EXPECT_EQ(handed, GetParam().delivered);
    if (GetParam().delivered) {
        ASSERT_EQ(client->received.size(), 1);
        EXPECT_EQ(client->received.first(), QUrl(*GetParam().event));
        EXPECT_EQ(log.count(Dropped), 0);
    } else {
        EXPECT_TRUE(client->received.isEmpty());
        EXPECT_EQ(log.messages(), QStringList{Dropped}) << "one log line per dropped URL, and nothing else";
    }
    EXPECT_EQ(delegate.pendingAuthenticationSoundCloudAPIClient(), client) << "the pending client stays set";
}

INSTANTIATE_TEST_SUITE_P(
    Events, URLRouting,
    ::testing::Values(
        RoutingCase{"Redirect", QStringLiteral("airlark://soundcloud/?code=3f9a&state=xyz"), true},
        RoutingCase{"RedirectWithUserAndPort", QStringLiteral("airlark://me@soundcloud:4/x"), true},
        RoutingCase{"SchemeInCapitals", QStringLiteral("AIRLARK://soundcloud/?code=1"), false},
        RoutingCase{"OtherScheme", QStringLiteral("https://soundcloud/?code=1"), false},
        RoutingCase{"OtherHost", QStringLiteral("airlark://libsyn/?code=1"), false},
        RoutingCase{"HostInCapitals", QStringLiteral("airlark://SoundCloud/?code=1"), false},
        RoutingCase{"HostAsPath", QStringLiteral("airlark:soundcloud"), false},
        RoutingCase{"HostAsUser", QStringLiteral("airlark://soundcloud@evil.example/"), false},
        RoutingCase{"NoScheme", QStringLiteral("soundcloud/?code=1"), false},
        RoutingCase{"Unparsable", QStringLiteral("airlark://sound cloud/"), false},
        RoutingCase{"Empty", QString(), false}, RoutingCase{"NoString", std::nullopt, false}),
    [](const ::testing::TestParamInfo<RoutingCase>& caseInfo) { return std::string(caseInfo.param.name); });

// A client may replace itself as the pending one while it handles the redirect.
class ReplacingClient : public RedirectURLHandler
{
public:
    explicit ReplacingClient(AppDelegate& delegate) : delegate_(delegate) {}
    void handleRedirectURL(const QUrl&) override
    {
        delegate_.setPendingAuthenticationSoundCloudAPIClient(nullptr);
        handled = true; // still alive: the delegate kept a reference for the call
    }
    bool handled = false;

private:
    AppDelegate& delegate_;
};

TEST(AppDelegate, KeepsTheClientAliveWhileItHandlesTheRedirect)
{
    AppDelegate delegate;
    auto client = std::make_shared<ReplacingClient>(delegate);
    std::weak_ptr<ReplacingClient> watch = client;
    delegate.setPendingAuthenticationSoundCloudAPIClient(std::move(client));
    EXPECT_TRUE(delegate.handleURLEvent(QStringLiteral("airlark://soundcloud/?code=1")));
    EXPECT_TRUE(watch.expired());
}

} // namespace
