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

// A one-connection server on loopback that reads the client's lines until QUIT, then sends a
// canned reply in small pieces (so that replies straddle reads) and closes.
class CannedReplyServer
{
public:
    explicit CannedReplyServer(QByteArray reply) : reply_(std::move(reply))
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 4);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~CannedReplyServer()
    {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    quint16 port() const { return port_; }
    QByteArray received() const { return received_; }

private:
    void serve()
    {
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0)
            return;
        timeval wait{5, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char chunk[512];
        while (!received_.contains("QUIT\r\n")) {
            const ssize_t count = ::recv(connection, chunk, sizeof chunk, 0);
            if (count <= 0)
                break;
            received_.append(chunk, count);
        }
        for (qsizetype offset = 0; offset < reply_.size(); offset += 5) {
            ::send(connection, reply_.constData() + offset, std::min<qsizetype>(5, reply_.size() - offset), MSG_NOSIGNAL);
            std::this_thread::sleep_for(1ms);
        }
        ::close(connection);
    }

    QByteArray reply_;
    QByteArray received_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
};

struct CannedConversation
{
    const char* name;
    const char* reply;
    bool accepted;
};

void PrintTo(const CannedConversation& c, std::ostream* out)
{
    *out << c.name;
}

class FTPLogInVerdictTest : public ::testing::TestWithParam<CannedConversation> {};

TEST_P(FTPLogInVerdictTest, JudgesTheLogInByTheServersReplies)
{
    CannedReplyServer canned(QByteArray(GetParam().reply));
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1/ignored"), QStringLiteral("user"), QStringLiteral("pw"));
    record->setPort(canned.port());
    FTPClient client;
    client.setTimeout(5s);
    EXPECT_EQ(client.checkLogin(record.get()), GetParam().accepted);
    // The log-in check sends no directory command.
    EXPECT_EQ(QString::fromLatin1(canned.received()).toStdString(), "USER user\r\nPASS pw\r\nQUIT\r\n");
}

INSTANTIATE_TEST_SUITE_P(Replies, FTPLogInVerdictTest, ::testing::Values(
    CannedConversation{"accepted", "220 hi\r\n331 password\r\n230 welcome\r\n221 bye\r\n", true},
    CannedConversation{"refused", "220 hi\r\n331 password\r\n530 no\r\n221 bye\r\n", false},
    CannedConversation{"busy", "421 too many users\r\n", false},
    // A multi-line welcome whose inner lines start with digits is one positive reply.
    CannedConversation{"multiline", "220-hello\r\n550 listeners today\r\n220 ready\r\n331 pw\r\n230-ok\r\n5 new\r\n230 in\r\n221 bye\r\n", true},
    // Closing without a word, or without confirming the log-in, accepts nothing.
    CannedConversation{"silent close", "", false},
    CannedConversation{"no log-in", "220 hi\r\n331 password\r\n", false}));

TEST(FTPControlCommandTest, SendsTheCommandInTheDestinationDirectory)
{
    CannedReplyServer canned("220 hi\r\n331 pw\r\n230 in\r\n250 cwd\r\n250 deleted\r\n221 bye\r\n");
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1/My Show/public"), QStringLiteral("u"), QStringLiteral("p"));
    record->setPort(canned.port());
    FTPClient client;
    client.setTimeout(5s);
    EXPECT_TRUE(client.deleteFileNamed(QStringLiteral("old folder"), record.get()));
    EXPECT_EQ(QString::fromLatin1(canned.received()).toStdString(),
              "USER u\r\nPASS p\r\nCWD My Show/public\r\nRMD old folder\r\nQUIT\r\n");
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
