#include "LogCapture.h"

#include "ftp/FTPClient.h"
#include "support/FtpTestServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace airlark {
namespace {

using namespace std::chrono_literals;
using test::LogCapture;

std::shared_ptr<FTPServer> recordFor(const test::FtpTestServer& server, const QString& directory = QString())
{
    auto record = FTPServer::serverWithDestination(server.destination(directory), server.user(), server.password());
    record->setPort(server.port());
    return record;
}

class FTPControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        client.setTimeout(5s);
    }

    test::FtpTestServer server;
    FTPClient client;
};

TEST_F(FTPControlTest, AcceptsTheRightPasswordAndRefusesAWrongOne)
{
    EXPECT_TRUE(client.checkLogin(recordFor(server).get()));
    EXPECT_TRUE(client.streamSuccess());
    EXPECT_EQ(client.action(), FTPClient::Action::Finished);

    auto wrong = recordFor(server);
    wrong->setPassword(QStringLiteral("wrong"));
    EXPECT_FALSE(client.checkLogin(wrong.get()));
    EXPECT_FALSE(client.streamSuccess());

    auto stranger = recordFor(server);
    stranger->setUsername(QStringLiteral("nobody"));
    EXPECT_FALSE(client.checkLogin(stranger.get()));
}

TEST_F(FTPControlTest, DeletesFilesAndFoldersInTheDestinationDirectory)
{
    ASSERT_TRUE(server.makeDirectory(QStringLiteral("Show One/old folder")));
    QFile file(server.pathInHome(QStringLiteral("Show One/episode.mp3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_TRUE(client.deleteFileNamed(QStringLiteral("episode.mp3"), recordFor(server, QStringLiteral("Show One")).get()));
    EXPECT_FALSE(QFileInfo::exists(server.pathInHome(QStringLiteral("Show One/episode.mp3"))));
    EXPECT_TRUE(client.deleteFile(QStringLiteral("old folder"), recordFor(server, QStringLiteral("Show One")).get()));
    EXPECT_FALSE(QFileInfo::exists(server.pathInHome(QStringLiteral("Show One/old folder"))));
    // The server refuses (550) what is not there.
    EXPECT_FALSE(client.deleteFileNamed(QStringLiteral("missing.mp3"), recordFor(server, QStringLiteral("Show One")).get()));
    EXPECT_FALSE(client.deleteFileNamed(QString(), recordFor(server).get()));
}

TEST_F(FTPControlTest, ChangesModesBelow778Only)
{
    QFile file(server.pathInHome(QStringLiteral("episode.mp3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(client.chmodFileNamed(QStringLiteral("episode.mp3"), 777, recordFor(server).get()));
    EXPECT_EQ(QFileInfo(file).permissions() & QFileDevice::ExeOther, QFileDevice::ExeOther);

    test::SilentTcpServer silent;
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QStringLiteral("p"));
    record->setPort(silent.port());
    EXPECT_FALSE(client.chmodFileNamed(QStringLiteral("episode.mp3"), 778, record.get()));
    EXPECT_FALSE(silent.receivedConnection(100));
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
    const QString longName(300, QLatin1Char('a'));
    FTPClient client;
    client.setTimeout(2s);
    LogCapture log;

    EXPECT_FALSE(client.checkLogin(record(host, QStringLiteral("u\r\nDELE x"), QStringLiteral("p")).get()));
    EXPECT_FALSE(client.checkLogin(record(host, QStringLiteral("u"), QStringLiteral("p\nSITE x")).get()));
    EXPECT_FALSE(client.deleteFileNamed(QStringLiteral("x.mp3"), record(host + QStringLiteral("/dir\rRMD y"), QStringLiteral("u"), QStringLiteral("p")).get()));
    EXPECT_FALSE(client.deleteFileNamed(QStringLiteral("a.mp3\r\nDELE b.mp3"), record(host, QStringLiteral("u"), QStringLiteral("p")).get()));
    EXPECT_FALSE(client.deleteFileNamed(longName, record(host, QStringLiteral("u"), QStringLiteral("p")).get()));
    EXPECT_FALSE(client.checkLogin(record(host, longName, QStringLiteral("p")).get()));
    EXPECT_FALSE(client.uploadData(QByteArrayLiteral("x"), QStringLiteral("a\nb"), record(host, QStringLiteral("u"), QStringLiteral("p")).get()));
    EXPECT_FALSE(client.createNewFolder(QStringLiteral("a\r\nb"), record(host, QStringLiteral("u"), QStringLiteral("p")).get()));

    EXPECT_FALSE(silent.receivedConnection(200));
    EXPECT_FALSE(log.anyContains(QStringLiteral("SITE")));
    EXPECT_TRUE(log.anyContains(QStringLiteral("longer than 255 bytes")));
}

TEST(FTPControlTimeoutTest, GivesUpOnAServerThatNeverAnswers)
{
    test::SilentTcpServer silent;
    ASSERT_TRUE(silent.isListening());
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QStringLiteral("p"));
    record->setPort(silent.port());
    FTPClient client;
    client.setTimeout(500ms);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.checkLogin(record.get()));
    EXPECT_LT(timer.elapsed(), 5000);
}

// A server that closes without a word has not accepted anything.
TEST(FTPControlTimeoutTest, AnEmptyReplyIsNotALogIn)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::thread closer([listener] {
        const int connection = ::accept(listener, nullptr, nullptr);
        if (connection >= 0)
            ::close(connection);
    });

    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QStringLiteral("p"));
    record->setPort(ntohs(address.sin_port));
    FTPClient client;
    client.setTimeout(5s);
    EXPECT_FALSE(client.checkLogin(record.get()));
    closer.join();
    ::close(listener);
}

TEST(FTPControlTimeoutTest, ReportsAnUnreachableServer)
{
    std::optional<quint16> port;
    {
        test::SilentTcpServer closedSoon;
        port = closedSoon.port();
    }
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QStringLiteral("p"));
    record->setPort(*port);
    FTPClient client;
    LogCapture log;
    EXPECT_FALSE(client.checkLogin(record.get()));
    EXPECT_TRUE(log.contains(QStringLiteral("error connecting.")));

    auto unknown = FTPServer::serverWithDestination(QStringLiteral("no-such-host.invalid"), QStringLiteral("u"), QStringLiteral("p"));
    EXPECT_FALSE(client.checkLogin(unknown.get()));
    EXPECT_TRUE(log.contains(QStringLiteral("host error!")));
}

} // namespace
} // namespace airlark
