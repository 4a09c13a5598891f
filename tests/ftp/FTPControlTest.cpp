// The control conversation: how the client logs in against scripted and real servers, what it
// refuses to send, how it ends on a closed session, and what it refuses to hold in memory.
#include "ftp/FTPClient.h"
#include "support/FtpTestServer.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace airlark {
namespace {

using namespace std::chrono_literals;
using test::FtpTestServer;
using test::LogCapture;
using Verbs = QList<QByteArray>;

// A server that plays `script` to one connection (see FtpTestServer.h).
FtpTestServer::Options scripted(const QJsonObject& script)
{
    FtpTestServer::Options options;
    options.password = QStringLiteral("s3cret-Pa55");
    options.script = script.isEmpty() ? QJsonObject{{"greeting", "220 scripted"}} : script;
    return options;
}

struct Conversation
{
    const char* name;
    QJsonObject script;
    FTPSecurity security;
    bool accepted;
    FTPFailureKind failure;
    Verbs sent; // up to the end of the log-in
};

class FTPLogInConversationTest : public ::testing::TestWithParam<Conversation>
{
};

// PASS goes only after a 331, nothing goes before the greeting, and 530 or 421 at any step ends
// the conversation with the refusal, never read as a time-out.
TEST_P(FTPLogInConversationTest, FollowsTheServersReplies)
{
    const Conversation& c = GetParam();
    FtpTestServer server(scripted(c.script));
    ASSERT_TRUE(server.isRunning());
    auto record = server.record(QStringLiteral("show"));
    record->setSecurity(c.security);
    FTPClient client;
    client.setTimeout(1500ms);
    LogCapture log;
    EXPECT_EQ(client.checkLogin(record.get()), c.accepted);
    EXPECT_FALSE(log.anyContains(server.password())) << "the password never reaches the log";
    EXPECT_EQ(client.failureDetail().kind, c.failure) << ftpFailureKindName(client.failureDetail().kind);
    Verbs sent = server.conversation();
    // An implicit-TLS client opens with its handshake, which may well arrive before the (plain)
    // greeting: that is the protocol, not a command sent early.
    if (c.security != FTPSecurity::ImplicitTLS) {
        EXPECT_FALSE(sent.contains("early"));
    }
    for (const char* ignored : {"early", "PWD", "QUIT"})
        sent.removeAll(ignored);
    EXPECT_EQ(sent, c.sent);
}

using K = FTPFailureKind;

QJsonObject replying(const char* verb, const char* reply)
{
    return {{"replies", QJsonObject{{QLatin1String(verb), QLatin1String(reply)}}}};
}

QJsonObject greeting(const char* text, int delayMs = 0)
{
    return {{"greeting", QLatin1String(text)}, {"delayMs", delayMs}};
}

const auto None = FTPSecurity::None;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Steps, FTPLogInConversationTest, ::testing::Values(
    Conversation{"accepted", {}, None, true, K::None, {"USER", "PASS"}},
    Conversation{"slowGreeting", greeting("220 late", 400), None, true, K::None, {"USER", "PASS"}},
    Conversation{"noPasswordAsked", replying("USER", "230 come in"), None, true, K::None, {"USER"}},
    Conversation{"greeting421", greeting("421 too many users"), None, false, K::ServerClosedSession, {}},
    Conversation{"user530", replying("USER", "530 not you"), None, false, K::LogInRefused, {"USER"}},
    Conversation{"user421", replying("USER", "421 closing"), None, false, K::ServerClosedSession, {"USER"}},
    Conversation{"userNeither331Nor2xx", replying("USER", "332 account please"), None, false, K::LogInRefused, {"USER"}},
    Conversation{"pass530", replying("PASS", "530 wrong"), None, false, K::LogInRefused, {"USER", "PASS"}},
    Conversation{"pass421", replying("PASS", "421 closing"), None, false, K::ServerClosedSession, {"USER", "PASS"}},
    Conversation{"neverGreets", greeting(""), None, false, K::TimedOut, {}},
    // A server without TLS: nothing of the log-in goes in clear when TLS was asked for.
    Conversation{"noTLSExplicit", {}, FTPSecurity::ExplicitTLS, false, K::TLSNotOffered, {"AUTH", "AUTH"}},
    Conversation{"noTLSImplicit", {}, FTPSecurity::ImplicitTLS, false, K::TLSNotOffered, {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

// A listing that never ends, by the number of its entries or the length of its lines, fails at the
// client's limits with memory bounded.
TEST(FTPListingFloodTest, EndsAtTheLimitWithBoundedMemory)
{
    for (const QByteArray& line :
         {QByteArray("-rw-r--r-- 1 a b 1 Jan 01 2020 x.mp3\r\n"),
          QByteArray("-rw-r--r-- 1 a b 1 Jan 01 2020 " + QByteArray(60000, 'x') + "\r\n")}) {
        SCOPED_TRACE(line.size());
        FtpTestServer server(scripted({{"listing", QString::fromLatin1(line)}}));
        ASSERT_TRUE(server.isRunning());
        FTPClient client;
        client.setTimeout(5s);
        const test::PeakMemoryGrowth memory;
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(client.contentsOfServer(server.record(QStringLiteral("show")).get()).has_value());
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::ListingTooLarge);
        EXPECT_LT(timer.elapsed(), 10000);
        EXPECT_LT(memory.mebibytes(), 64);
    }
}

// Text that would end one command and start another, or overflow the command buffer, is refused
// before any connection is made.
TEST(FTPControlInjectionTest, RefusesLineBreaksAndOverlongLinesBeforeConnecting)
{
    test::SilentTcpServer silent;
    ASSERT_TRUE(silent.isListening());
    const auto record = [&](const QString& destination, const QString& user, const QString& password) {
        auto server = FTPServer::serverWithDestination(destination, user, password);
        server->setPort(silent.port());
        return server;
    };
    const QString host = QStringLiteral("127.0.0.1");
    const QString u = QStringLiteral("u");
    const QString longName(300, QLatin1Char('a'));
    const auto plain = record(host, u, u);
    FTPClient client;
    client.setTimeout(2s);
    LogCapture log;
    EXPECT_FALSE(client.checkLogin(record(host, QStringLiteral("u\r\nDELE x"), u).get()));
    EXPECT_FALSE(client.checkLogin(record(host, u, QStringLiteral("p\nSITE x")).get()));
    EXPECT_FALSE(client.checkLogin(record(host, longName, u).get()));
    EXPECT_FALSE(client.deleteFileNamed(QStringLiteral("x.mp3"),
                                        record(host + QStringLiteral("/d\rRMD y"), u, u).get()));
    EXPECT_FALSE(client.deleteFileNamed(QStringLiteral("a.mp3\r\nDELE b.mp3"), plain.get()));
    EXPECT_FALSE(client.deleteFileNamed(longName, plain.get()));
    EXPECT_FALSE(client.chmodFileNamed(QStringLiteral("episode.mp3"), 778, plain.get()));
    EXPECT_FALSE(client.uploadData(QByteArrayLiteral("x"), QStringLiteral("a\nb"), plain.get()));
    EXPECT_FALSE(client.createNewFolder(QStringLiteral("a\r\nb"), plain.get()));
    EXPECT_FALSE(silent.receivedConnection(200));
    EXPECT_FALSE(log.anyContains(QStringLiteral("SITE")));
}

} // namespace
} // namespace airlark
