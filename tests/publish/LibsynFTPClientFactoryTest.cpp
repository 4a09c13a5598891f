// Libsyn's FTP rules (hosts) as the factory puts them together, against the local stand-in for
// Libsyn's server: explicit TLS, with plain FTP for an account that chooses it.
#include "publish/LibsynFTPClientFactory.h"

#include "ftp/FTPDestinationString.h"
#include "hosts/LibsynFTPServer.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

using test::LibsynServerEnvironment;

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

// The end of an upload, as the monitor reports it.
class FinishDelegate : public FTPTransferMonitorDelegate
{
public:
    void FTPUploadDidFinish(int, FTPUploadFailureReason reason, const FTPFailure&) override
    {
        finished = reason;
    }
    std::optional<FTPUploadFailureReason> finished;
};

struct DestinationCase
{
    const char* name;
    QString username;
    LibsynAccountFeedType feedType;
    bool unencrypted;
    QString directory; // after the host; empty: no client for this feed type
};

class LibsynDestinationTest : public ::testing::TestWithParam<DestinationCase>
{
};

// The e-mail logs in, the user name and feed type name the folder, and the files arrive there;
// the monitor is let go of once it has reported the end.
TEST_P(LibsynDestinationTest, UploadsIntoTheAccountsFolderAsTheEmail)
{
    const auto& c = GetParam();
    auto& server = LibsynServerEnvironment::server();
    auto delegate = std::make_shared<FinishDelegate>();
    auto monitor = LibsynFTPClientFactory().makeClient(c.username, LibsynServerEnvironment::Password,
                                                       LibsynServerEnvironment::Email, c.feedType, delegate,
                                                       c.unencrypted);
    if (c.directory.isEmpty()) {
        EXPECT_FALSE(monitor);
        return;
    }
    ASSERT_TRUE(monitor && server.makeDirectory(c.username + c.directory));
    EXPECT_EQ(monitor->server()->username(), LibsynServerEnvironment::Email);
    EXPECT_EQ(monitor->server()->security(), c.unencrypted ? FTPSecurity::None : FTPSecurity::ExplicitTLS);
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("E.mp3"));
    const QByteArray bytes = test::mp3Bytes(1);
    ASSERT_TRUE(test::writeFile(path, bytes));
    monitor->uploadFile(QUrl::fromLocalFile(path));
    const std::weak_ptr<FTPTransferMonitor> watched = monitor;
    monitor.reset();
    ASSERT_TRUE(test::waitFor([&] { return watched.expired(); }, std::chrono::seconds(30)));
    EXPECT_EQ(delegate->finished, FTPUploadFailureReason::None);
    EXPECT_EQ(server.fileContents(c.username + c.directory + QStringLiteral("/E.mp3")), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    FeedTypes, LibsynDestinationTest,
    ::testing::Values(DestinationCase{"external", QStringLiteral("U"), LibsynAccountFeedType::External, false,
                                      QStringLiteral("/public")},
                      DestinationCase{"spaced", QStringLiteral("My Show"), LibsynAccountFeedType::Libsyn,
                                      false, QStringLiteral("/quickcast")},
                      DestinationCase{"unencrypted", QStringLiteral("Plain"), LibsynAccountFeedType::Libsyn,
                                      true, QStringLiteral("/quickcast")},
                      DestinationCase{"undefined", QStringLiteral("U"), LibsynAccountFeedType::Undefined,
                                      false, QString()}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace airlark
