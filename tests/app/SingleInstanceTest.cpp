#include "app/SingleInstance.h"

#include "AirlarkProcess.h"
#include "app/AppDelegate.h"
#include "support/TestEnvironment.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace airlark;
using namespace std::chrono_literals;

namespace {

const QString Dropped = QStringLiteral("No valid URL to handle");

TEST(SingleInstance, ASecondAirlarkHandsItsFullURLToTheRunningInstanceAndExits)
{
    test::RuntimeDirectory runtime;
    SingleInstance running(runtime.socketPath());
    ASSERT_EQ(running.start({}), SingleInstance::Start::Primary);
    QSignalSpy urls(&running, &SingleInstance::urlReceived);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);

    const QString url = QStringLiteral("airlark://soundcloud/?code=3f9a%20b&state=%C3%A9t%C3%A9#done");
    test::AirlarkProcess second(runtime.path());
    second.start({url});
    ASSERT_TRUE(second.waitForExit(20s)) << "the second process must not stay";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(test::waitFor([&] { return urls.size() == 1; }, 5s));
    EXPECT_EQ(urls.first().first().toString(), url) << "exactly the text the desktop passed";
    EXPECT_EQ(activations.size(), 1);
}

class RecordingClient : public RedirectURLHandler
{
public:
    void handleRedirectURL(const QUrl& url) override { received.append(url); }
    QList<QUrl> received;
};

TEST(SingleInstance, TheRedirectFromASecondAirlarkReachesThePendingSignIn)
{
    test::RuntimeDirectory runtime;
    SingleInstance running(runtime.socketPath());
    ASSERT_EQ(running.start({}), SingleInstance::Start::Primary);
    AppDelegate delegate;
    delegate.applicationWillFinishLaunching(running);
    auto client = std::make_shared<RecordingClient>();
    delegate.setPendingAuthenticationSoundCloudAPIClient(client);

    for (const QString& url : {QStringLiteral("airlark://soundcloud/?code=first"),
                               QStringLiteral("AIRLARK://soundcloud/?code=dropped"),
                               QStringLiteral("airlark://soundcloud/?code=second")}) {
        test::AirlarkProcess browserHandOff(runtime.path());
        browserHandOff.start({url});
        ASSERT_TRUE(browserHandOff.waitForExit(20s));
        EXPECT_EQ(browserHandOff.exitCode(), 0);
    }
    ASSERT_TRUE(test::waitFor([&] { return client->received.size() == 2; }, 5s));
    EXPECT_EQ(client->received[0].query(), QStringLiteral("code=first"));
    EXPECT_EQ(client->received[1].query(), QStringLiteral("code=second"));
}

TEST(SingleInstance, TheFirstInstanceHandlesTheURLItWasStartedWith)
{
    test::RuntimeDirectory runtime;
    test::AirlarkProcess first(runtime.path());
    first.start({QStringLiteral("airlark://soundcloud/?code=1")});
    EXPECT_TRUE(first.waitForStandardError(Dropped, 20s)) << first.standardError().toStdString();
    EXPECT_TRUE(first.isRunning()) << "it started as the running instance";
}

TEST(SingleInstance, TakesOverASocketLeftBehindByAnInstanceThatDied)
{
    test::RuntimeDirectory runtime;
    const QByteArray path = runtime.socketPath().toLocal8Bit();
    {
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(descriptor, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(static_cast<size_t>(path.size()), sizeof(address.sun_path));
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        ASSERT_EQ(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(descriptor); // the file stays, nobody listens
    }
    ASSERT_TRUE(QFileInfo::exists(runtime.socketPath()));
    SingleInstance instance(runtime.socketPath());
    EXPECT_EQ(instance.start({QStringLiteral("airlark://soundcloud/")}, 2s), SingleInstance::Start::Primary);
    EXPECT_TRUE(instance.isListening());
}

TEST(SingleInstance, DeliversEveryURLOfOneMessageExactlyTheEmptyOneToo)
{
    test::RuntimeDirectory runtime;
    SingleInstance running(runtime.socketPath());
    ASSERT_EQ(running.start({}), SingleInstance::Start::Primary);
    QSignalSpy urls(&running, &SingleInstance::urlReceived);

    const QStringList sent{QStringLiteral("airlark://soundcloud/?a=1"), QString(),
                           QStringLiteral("line\nbreak and \u00e9")};
    test::AirlarkProcess second(runtime.path());
    second.start(QStringList{QStringLiteral("--")} + sent);
    ASSERT_TRUE(second.waitForExit(20s));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(test::waitFor([&] { return urls.size() == 3; }, 5s));
    for (qsizetype i = 0; i < sent.size(); ++i)
        EXPECT_EQ(urls.at(i).first().toString(), sent.at(i));
}

struct Message
{
    const char* name;
    QByteArray bytes;
};

void PrintTo(const Message& message, std::ostream* out)
{
    *out << message.name;
}

class ForeignMessage : public ::testing::TestWithParam<Message>
{
};

TEST_P(ForeignMessage, IsDroppedAndTheConnectionClosed)
{
    test::RuntimeDirectory runtime;
    SingleInstance running(runtime.socketPath());
    ASSERT_EQ(running.start({}), SingleInstance::Start::Primary);
    QSignalSpy urls(&running, &SingleInstance::urlReceived);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);

    QLocalSocket intruder;
    intruder.connectToServer(runtime.socketPath());
    ASSERT_TRUE(intruder.waitForConnected(2000));
    intruder.write(GetParam().bytes);
    intruder.flush();
    EXPECT_TRUE(test::waitFor([&] { return intruder.state() == QLocalSocket::UnconnectedState; }, 5s))
        << "the running instance hangs up";
    EXPECT_TRUE(urls.isEmpty());
    EXPECT_TRUE(activations.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Messages, ForeignMessage,
                         ::testing::Values(Message{"Garbage", QByteArray(64, 'x')},
                                           Message{"OtherVersion", "AIRLARK/2\n\n"},
                                           Message{"URLWithoutMark", "AIRLARK/1\nYWJj\n\n"},
                                           Message{"NotBase64", "AIRLARK/1\n:not base64!\n\n"},
                                           Message{"Endless", "AIRLARK/1\n:" + QByteArray(300 * 1024, 'Q')}));

} // namespace
