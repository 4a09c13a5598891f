#include "ftp/FTPDestinationString.h"

#include "ftp/FTPClient.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace airlark {
namespace {

using test::LogCapture;

const QString PortWarning = QStringLiteral(
    "FTP client warning: there is possibly a port included in your destination url. "
    "Define the port in FTPServer.port instead.");

struct SplitCase
{
    const char* destination;
    const char* host;
    std::optional<const char*> directory;
};

void PrintTo(const SplitCase& c, std::ostream* out)
{
    *out << c.destination;
}

class DestinationSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(DestinationSplitTest, SplitsHostAndDirectory)
{
    const SplitCase& c = GetParam();
    const QString destination = QString::fromUtf8(c.destination);
    EXPECT_EQ(FTPDestinationString::fmhost(destination), QString::fromUtf8(c.host));
    const std::optional<QString> directory = FTPDestinationString::fmdir(destination);
    ASSERT_EQ(directory.has_value(), c.directory.has_value());
    if (directory) {
        EXPECT_EQ(*directory, QString::fromUtf8(*c.directory));
    }
}

INSTANTIATE_TEST_SUITE_P(Destinations, DestinationSplitTest, ::testing::Values(
    SplitCase{"ftp://H/D1/D2", "H", "D1/D2"},
    SplitCase{"H/D1/D2", "H", "D1/D2"},
    SplitCase{"H", "H", std::nullopt},
    SplitCase{"H/", "H", ""},
    SplitCase{"sftp://H/x://y", "H", "x://y"},
    SplitCase{"ftp.libsyn.com/My Show/public", "ftp.libsyn.com", "My Show/public"}));

TEST(FTPDestinationStringTest, WarnsOnlyWhenAColonComesBeforeTheFirstSlash)
{
    for (const auto& [destination, warns] :
         {std::pair{"ftp://H:2121/D", true}, std::pair{"H:2121", true}, std::pair{"H/D:x", false}}) {
        LogCapture log;
        EXPECT_EQ(FTPDestinationString::stringWithoutProtocol(QString::fromUtf8(destination))
                      .contains(QLatin1String("://")),
                  false);
        EXPECT_EQ(log.contains(PortWarning), warns) << destination;
    }
}

TEST(FTPDestinationStringTest, BuildsPercentEncodedURLsWithThePortOnlyWhenNotTheDefault)
{
    const struct {
        const char* destination;
        qint32 port;
        const char* url;
    } cases[] = {
        {"ftp.example.com/D E", 21, "ftp://ftp.example.com/D%20E"},
        {"ftp.example.com/D E", 2121, "ftp://ftp.example.com:2121/D%20E"},
        {"ftp.example.com", 21, "ftp://ftp.example.com"},
        {"ftp.example.com/", 21, "ftp://ftp.example.com"},
        {"ftp://ftp.example.com/a/b", 21, "ftp://ftp.example.com/a/b"},
        {"ftp.example.com/Épisodes/été", 21, "ftp://ftp.example.com/%C3%89pisodes/%C3%A9t%C3%A9"},
        {"ftp.example.com/100%/x#y?z", 21, "ftp://ftp.example.com/100%25/x%23y%3Fz"},
    };
    for (const auto& c : cases) {
        const std::optional<QUrl> url = FTPDestinationString::ftpURLForPort(QString::fromUtf8(c.destination), c.port);
        ASSERT_TRUE(url.has_value()) << c.destination;
        EXPECT_EQ(url->toString(QUrl::FullyEncoded).toStdString(), c.url) << c.destination;
    }
}

TEST(FTPDestinationStringTest, GivesNoURLForADestinationWithoutAHost)
{
    EXPECT_FALSE(FTPDestinationString::ftpURLForPort(QString(), 21).has_value());
    EXPECT_FALSE(FTPDestinationString::ftpURLForPort(QStringLiteral("/dir"), 21).has_value());
}

TEST(FTPServerCheckTest, EveryFailingCheckLogsAndNothingConnects)
{
    FTPClient client;
    {
        LogCapture log;
        EXPECT_FALSE(client.checkLogin(nullptr));
        EXPECT_TRUE(log.contains(QStringLiteral("FTP server check failed: server cannot be nil")));
    }
    FTPServer server;
    server.setDestination(QStringLiteral("127.0.0.1"));
    server.setPassword(QStringLiteral("p"));
    server.setPort(0);
    LogCapture log;
    EXPECT_FALSE(client.checkLogin(&server));
    EXPECT_FALSE(client.uploadData(QByteArrayLiteral("x"), QStringLiteral("x"), &server));
    EXPECT_FALSE(client.contentsOfServer(&server).has_value());
    EXPECT_TRUE(log.contains(QStringLiteral("FTP server check failed: username cannot be nil")));
    EXPECT_TRUE(log.contains(QStringLiteral("FTP server check failed: port cannot be negative")));
    EXPECT_FALSE(log.contains(QStringLiteral("FTP server check failed: destination cannot be nil")));
    EXPECT_FALSE(log.anyContains(QStringLiteral("connect")));
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::None);

    server.setUsername(QStringLiteral("u"));
    server.setPort(65536);
    EXPECT_FALSE(client.checkLogin(&server));
    EXPECT_TRUE(log.contains(QStringLiteral("FTP server check failed: port cannot be above 65535")));
}

} // namespace
} // namespace airlark
