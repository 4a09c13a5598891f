// Libsyn's FTP rules (hosts) as the factory puts them together, against the local stand-in for
// Libsyn's server: explicit TLS, with plain FTP for an account that chooses it.
#include "publish/LibsynFTPClientFactory.h"

#include "MonitorRecording.h"
#include "ftp/FTPDestinationString.h"
#include "hosts/LibsynFTPServer.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

using test::LibsynServerEnvironment;
using test::RecordingMonitorDelegate;

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

TEST(LibsynFTPServerSettingTest, DefaultsToImplicitTLSAndFollowsTheEnvironment)
{
    EXPECT_EQ(LibsynFTPServerSetting::DefaultHost, QStringLiteral("ftp-lax.libsyn.com"));
    EXPECT_EQ(LibsynFTPServerSetting{}.security, FTPSecurity::ImplicitTLS);
    EXPECT_EQ(LibsynFTPServerSetting{}.port, 990);
    EXPECT_EQ(LibsynFTPServerSetting::current().host, LibsynServerEnvironment::server().host());
    EXPECT_EQ(LibsynFTPServerSetting::current().port, LibsynServerEnvironment::server().port());
    EXPECT_EQ(LibsynFTPServerSetting::current().security, FTPSecurity::ExplicitTLS);
}

struct DestinationCase
{
    const char* name;
    QString username;
    LibsynAccountFeedType feedType;
    bool unencrypted;
    QString directory; // after the host
};

void PrintTo(const DestinationCase& c, std::ostream* os)
{
    *os << c.name;
}

class LibsynDestinationTest : public ::testing::TestWithParam<DestinationCase>
{
};

// The e-mail logs in, the user name and feed type name the folder, and the files arrive there.
TEST_P(LibsynDestinationTest, UploadsIntoTheAccountsFolderAsTheEmail)
{
    const auto& c = GetParam();
    auto& server = LibsynServerEnvironment::server();
    ASSERT_TRUE(server.makeDirectory(c.username + c.directory));
    EXPECT_EQ(LibsynFTPDestination::destinationFor(c.username, c.feedType),
              server.host() + QLatin1Char('/') + c.username + c.directory);

    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("E.mp3"));
    const QByteArray bytes = test::mp3Bytes(1);
    ASSERT_TRUE(test::writeFile(path, bytes));
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    auto monitor = LibsynFTPClientFactory().makeClient(c.username, LibsynServerEnvironment::Password,
                                                       LibsynServerEnvironment::Email, c.feedType, delegate,
                                                       c.unencrypted);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->server()->username(), LibsynServerEnvironment::Email);
    EXPECT_EQ(monitor->server()->security(), c.unencrypted ? FTPSecurity::None : FTPSecurity::ExplicitTLS);
    std::weak_ptr<FTPTransferMonitor> watched =
        test::started(monitor, [&](FTPTransferMonitor& m) { m.uploadFile(QUrl::fromLocalFile(path)); });
    monitor.reset();
    ASSERT_TRUE(test::waitUntilReleased(watched));
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.back().reason, FTPUploadFailureReason::None);
    EXPECT_EQ(server.fileContents(c.username + c.directory + QStringLiteral("/E.mp3")), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    FeedTypes, LibsynDestinationTest,
    ::testing::Values(DestinationCase{"external", QStringLiteral("U"), LibsynAccountFeedType::External, false,
                                      QStringLiteral("/public")},
                      DestinationCase{"libsyn", QStringLiteral("U"), LibsynAccountFeedType::Libsyn, false,
                                      QStringLiteral("/quickcast")},
                      DestinationCase{"spaced", QStringLiteral("My Show"), LibsynAccountFeedType::Libsyn,
                                      false, QStringLiteral("/quickcast")},
                      DestinationCase{"unencrypted", QStringLiteral("Plain"), LibsynAccountFeedType::Libsyn,
                                      true, QStringLiteral("/quickcast")}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(LibsynFTPClientFactoryTest, RefusesUndefinedFeedTypeAndLogsInWithTheEmailOnly)
{
    EXPECT_FALSE(LibsynFTPClientFactory().makeClient(
        QStringLiteral("U"), QStringLiteral("pw"), QStringLiteral("me@example.com"),
        LibsynAccountFeedType::Undefined, std::make_shared<RecordingMonitorDelegate>()));
    EXPECT_EQ(LibsynFTPDestination::destinationFor(QStringLiteral("U"), LibsynAccountFeedType::Undefined),
              std::nullopt);

    // The user name in the e-mail's place does not log in.
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    std::weak_ptr<FTPTransferMonitor> monitor =
        test::started(LibsynFTPClientFactory().makeClient(
                          LibsynServerEnvironment::Email, LibsynServerEnvironment::Password,
                          QStringLiteral("myshow"), LibsynAccountFeedType::Libsyn, delegate),
                      [&](FTPTransferMonitor& m) { m.logIn(); });
    ASSERT_TRUE(test::waitUntilReleased(monitor));
    EXPECT_EQ(delegate->logIns, std::vector<bool>{false});
}

} // namespace
} // namespace airlark
