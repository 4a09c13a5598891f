#include "app/SingleInstance.h"

#include "app/AppDelegate.h"
#include "platform/ApplicationIdentity.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <gtest/gtest.h>

using namespace airlark;
using namespace std::chrono_literals;

namespace {

const QString Dropped = QStringLiteral("No valid URL to handle");

// A private runtime directory (mode 0700, as XDG requires), so that the single-instance socket
// meets no other test's; given a length, a folder of that many characters inside it.
struct RuntimeDirectory
{
    explicit RuntimeDirectory(qsizetype length = 0)
    {
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        path = directory.path();
        usable = QFile::setPermissions(path, owner);
        if (length > path.size() + 1) {
            path += QLatin1Char('/') + QString(length - path.size() - 1, QLatin1Char('r'));
            usable = usable && QDir().mkdir(path, owner);
        }
    }
    QTemporaryDir directory{QDir::tempPath() + QStringLiteral("/airlark-run-XXXXXX")};
    QString path;
    bool usable = false;
    QString socketPath() const
    {
        return path + QLatin1Char('/') + applicationIdentifier() + QStringLiteral(".socket");
    }
};

// Starts the built `airlark` offscreen in `runtime`'s directory.
void start(QProcess& airlark, const RuntimeDirectory& runtime, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    airlark.setProcessEnvironment(environment);
    airlark.start(test::binaryPath(QStringLiteral("src/app/airlark")), arguments);
    airlark.waitForStarted(10000);
}

class RecordingClient : public RedirectURLHandler
{
public:
    void handleRedirectURL(const QUrl& url) override { received.append(url); }
    QList<QUrl> received;
};

class SingleInstanceTest : public ::testing::TestWithParam<qsizetype>
{
};

// Every argument of one message arrives exactly as the desktop passed it (the empty one too), and
// only the SoundCloud redirect among them reaches the pending sign-in: a URL of another scheme or
// host, or one that only looks like the redirect, is dropped with one log line. The runtime
// folder may be one whose socket path is too long for a socket address.
TEST_P(SingleInstanceTest, ASecondAirlarkHandsEveryURLExactlyToTheRunningInstanceAndExits)
{
    RuntimeDirectory runtime(GetParam());
    ASSERT_TRUE(runtime.usable);
    SingleInstance running(runtime.socketPath());
    ASSERT_EQ(running.start({}), SingleInstance::Start::Primary);
    QSignalSpy urls(&running, &SingleInstance::urlReceived);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    AppDelegate delegate;
    delegate.applicationWillFinishLaunching(running);
    auto client = std::make_shared<RecordingClient>();
    delegate.setPendingAuthenticationSoundCloudAPIClient(client);
    test::LogCapture log;

    const QStringList redirects{
        QStringLiteral("airlark://soundcloud/?code=3f9a%20b&state=%C3%A9t%C3%A9#done"),
        QStringLiteral("airlark://me@soundcloud:4/x")};
    const QStringList dropped{QString(),
                              QStringLiteral("AIRLARK://soundcloud/?code=1"),
                              QStringLiteral("https://soundcloud/?code=1"),
                              QStringLiteral("airlark://libsyn/?code=1"),
                              QStringLiteral("airlark://SoundCloud/?code=1"),
                              QStringLiteral("airlark:soundcloud"),
                              QStringLiteral("airlark://soundcloud@evil.example/"),
                              QStringLiteral("soundcloud/?code=1"),
                              QStringLiteral("airlark://sound cloud/"),
                              QStringLiteral("line\nbreak and \u00e9")};
    const QStringList sent = QStringList{redirects[0]} + dropped + QStringList{redirects[1]};
    QProcess second;
    start(second, runtime, QStringList{QStringLiteral("--")} + sent);
    ASSERT_TRUE(test::waitFor([&] { return second.state() == QProcess::NotRunning; }, 20s))
        << "the second process must not stay";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(test::waitFor([&] { return urls.size() == sent.size(); }, 5s));
    for (qsizetype i = 0; i < sent.size(); ++i)
        EXPECT_EQ(urls.at(i).first().toString(), sent.at(i));
    EXPECT_EQ(activations.size(), 1);
    EXPECT_EQ(client->received, (QList<QUrl>{QUrl(redirects[0]), QUrl(redirects[1])}));
    EXPECT_EQ(log.messages(), QStringList(dropped.size(), Dropped));
    EXPECT_EQ(delegate.pendingAuthenticationSoundCloudAPIClient(), client) << "the pending client stays set";
    EXPECT_TRUE(QFileInfo(runtime.socketPath()).permissions() & QFile::ReadOwner);
    EXPECT_FALSE(QFileInfo(runtime.socketPath()).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther))
        << "only this user may connect";
}

INSTANTIATE_TEST_SUITE_P(RuntimeFolders, SingleInstanceTest, ::testing::Values(0, 120),
                         [](const auto& row) { return row.param ? "Long" : "Short"; });

// Started with a URL, an Airlark handles it as the running instance; one that can neither reach
// another nor listen itself (here a folder squats the socket's name) says so on standard error,
// and runs on its own.
TEST(SingleInstance, AnAirlarkStartedWithAURLHandlesItOrSaysWhyNot)
{
    for (const bool squatted : {false, true}) {
        SCOPED_TRACE(squatted ? "squatted" : "free");
        RuntimeDirectory runtime;
        ASSERT_TRUE(runtime.usable && (!squatted || QDir().mkdir(runtime.socketPath())));
        const QStringList expected = squatted ? QStringList{QStringLiteral("cannot reach another Airlark"),
                                                            QStringLiteral("was not handed on")}
                                              : QStringList{Dropped};
        QProcess airlark;
        start(airlark, runtime, {QStringLiteral("airlark://soundcloud/?code=1")});
        QString errors;
        EXPECT_TRUE(test::waitFor(
            [&] {
                errors += QString::fromUtf8(airlark.readAllStandardError());
                return std::ranges::all_of(expected,
                                           [&](const QString& text) { return errors.contains(text); });
            },
            20s))
            << errors.toStdString();
        EXPECT_EQ(airlark.state(), QProcess::Running);
        airlark.kill();
        airlark.waitForFinished(5000);
    }
}

TEST(SingleInstance, TakesOverASocketLeftBehindByAnInstanceThatDied)
{
    RuntimeDirectory runtime;
    QProcess died;
    start(died, runtime, {});
    ASSERT_TRUE(test::waitFor([&] { return QFileInfo::exists(runtime.socketPath()); }, 20s));
    died.kill(); // no chance to remove its socket: the file stays, nobody listens
    ASSERT_TRUE(died.waitForFinished(5000));
    ASSERT_TRUE(QFileInfo::exists(runtime.socketPath()));
    SingleInstance instance(runtime.socketPath());
    EXPECT_EQ(instance.start({QStringLiteral("airlark://soundcloud/")}, 2s), SingleInstance::Start::Primary);
    EXPECT_TRUE(instance.isListening());
}

// A message that is not a hand-over of this version is dropped and its connection closed; the
// running instance goes on listening.
TEST(SingleInstance, DropsForeignMessagesAndHangsUp)
{
    RuntimeDirectory runtime;
    SingleInstance running(runtime.socketPath());
    ASSERT_EQ(running.start({}), SingleInstance::Start::Primary);
    QSignalSpy urls(&running, &SingleInstance::urlReceived);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    const std::pair<const char*, QByteArray> messages[] = {
        {"garbage", QByteArray(64, 'x')},
        {"other version", "AIRLARK/2\n\n"},
        {"URL without its mark", "AIRLARK/1\nYWJj\n\n"},
        {"not base64", "AIRLARK/1\n:not base64!\n\n"},
        {"endless", "AIRLARK/1\n:" + QByteArray(300 * 1024, 'Q')}};
    for (const auto& [name, bytes] : messages) {
        SCOPED_TRACE(name);
        QLocalSocket intruder;
        intruder.connectToServer(runtime.socketPath());
        ASSERT_TRUE(intruder.waitForConnected(2000));
        intruder.write(bytes);
        intruder.flush();
        EXPECT_TRUE(test::waitFor([&] { return intruder.state() == QLocalSocket::UnconnectedState; }, 5s))
            << "the running instance hangs up";
    }
    EXPECT_TRUE(urls.isEmpty());
    EXPECT_TRUE(activations.isEmpty());
}

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
    EXPECT_FALSE(delegate.handleURLEvent(std::nullopt)) << "an event without a URL";
    EXPECT_TRUE(delegate.handleURLEvent(QStringLiteral("airlark://soundcloud/?code=1")));
    EXPECT_TRUE(watch.expired());
}

} // namespace
