#include "MonitorRecording.h"

#include "ftp/FTPDestinationString.h"
#include "publish/LibsynFTPClientFactory.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace airlark {
namespace {

using test::LibsynServerEnvironment;
using test::RecordingMonitorDelegate;

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

QString libsynHost()
{
    return LibsynServerEnvironment::server().host();
}

TEST(LibsynFTPServerSettingTest, DefaultsToLibsynAndFollowsTheEnvironment)
{
    EXPECT_EQ(LibsynFTPServerSetting::DefaultHost, QStringLiteral("ftp-lax.libsyn.com"));
    EXPECT_EQ(LibsynFTPServerSetting::DefaultPort, 21);
    EXPECT_EQ(LibsynFTPServerSetting::current().host, libsynHost());
    EXPECT_EQ(LibsynFTPServerSetting::current().port, LibsynServerEnvironment::server().port());
}

struct DestinationCase
{
    const char* name;
    QString username;
    LibsynAccountFeedType feedType;
    QString directory; // after the host
};

void PrintTo(const DestinationCase& c, std::ostream* os)
{
    *os << c.name;
}

class LibsynDestinationTest : public ::testing::TestWithParam<DestinationCase>
{
};

TEST_P(LibsynDestinationTest, BuildsTheAccountDirectoryAndLogsInWithTheEmail)
{
    const auto& c = GetParam();
    const QString expected = libsynHost() + c.directory;
    EXPECT_EQ(LibsynFTPClientFactory::destinationFor(c.username, c.feedType), expected);

    auto monitor = LibsynFTPClientFactory().makeClient(c.username, QStringLiteral("pw"), QStringLiteral("me@example.com"),
                                                       c.feedType, std::make_shared<RecordingMonitorDelegate>());
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->server()->destination(), expected);
    EXPECT_EQ(monitor->server()->username(), QStringLiteral("me@example.com"));
    EXPECT_EQ(monitor->server()->password(), QStringLiteral("pw"));
    EXPECT_EQ(monitor->server()->port(), LibsynServerEnvironment::server().port());
    EXPECT_TRUE(monitor->manager());
}

INSTANTIATE_TEST_SUITE_P(
    FeedTypes, LibsynDestinationTest,
    ::testing::Values(DestinationCase{"external", QStringLiteral("U"), LibsynAccountFeedType::External, QStringLiteral("/U/public")},
                      DestinationCase{"libsyn", QStringLiteral("U"), LibsynAccountFeedType::Libsyn, QStringLiteral("/U/quickcast")},
                      DestinationCase{"spaced", QStringLiteral("My Show"), LibsynAccountFeedType::Libsyn,
                                      QStringLiteral("/My Show/quickcast")}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

QStringList& capturedWarnings()
{
    static QStringList warnings;
    return warnings;
}

TEST(LibsynFTPClientFactoryTest, RefusesUndefinedFeedTypeWithoutStopping)
{
    capturedWarnings().clear();
    const auto previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        capturedWarnings().append(message);
    });
    const auto monitor = LibsynFTPClientFactory().makeClient(QStringLiteral("U"), QStringLiteral("pw"),
                                                             QStringLiteral("me@example.com"),
                                                             LibsynAccountFeedType::Undefined,
                                                             std::make_shared<RecordingMonitorDelegate>());
    qInstallMessageHandler(previous);
    EXPECT_FALSE(monitor);
    EXPECT_TRUE(capturedWarnings().contains(QStringLiteral("Feed type cannot be Undefined")));
    EXPECT_EQ(LibsynFTPClientFactory::destinationFor(QStringLiteral("U"), LibsynAccountFeedType::Undefined), std::nullopt);
}

// Libsyn's FTP log-in name is the e-mail address; the user name only names the folder.
TEST(LibsynFTPClientFactoryTest, LogsInWithTheEmailNotTheUserName)
{
    struct Case
    {
        QString username;
        QString email;
        bool accepted;
    };
    const Case cases[] = {
        {QStringLiteral("myshow"), LibsynServerEnvironment::Email, true},
        {LibsynServerEnvironment::Email, QStringLiteral("myshow"), false},
    };
    for (const auto& c : cases) {
        auto delegate = std::make_shared<RecordingMonitorDelegate>();
        std::weak_ptr<FTPTransferMonitor> monitor = test::started(LibsynFTPClientFactory().makeClient(
            c.username, LibsynServerEnvironment::Password, c.email, LibsynAccountFeedType::Libsyn, delegate), [&](FTPTransferMonitor& m) { m.logIn(); });
        ASSERT_TRUE(test::waitUntilReleased(monitor));
        EXPECT_EQ(delegate->logIns, std::vector<bool>{c.accepted}) << qPrintable(c.username);
    }
}

TEST(LibsynFTPClientFactoryTest, UploadsIntoTheFolderOfAUserNameWithASpace)
{
    auto& server = LibsynServerEnvironment::server();
    ASSERT_TRUE(server.makeDirectory(QStringLiteral("My Show/public")));
    const auto destination = LibsynFTPClientFactory::destinationFor(QStringLiteral("My Show"), LibsynAccountFeedType::External);
    ASSERT_TRUE(destination);
    const auto url = FTPDestinationString::ftpURLForPort(*destination, 21);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toString(QUrl::FullyEncoded), QStringLiteral("ftp://") + libsynHost() + QStringLiteral("/My%20Show/public"));

    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("E.mp3"));
    const QByteArray bytes = test::mp3Bytes(1);
    ASSERT_TRUE(test::writeFile(path, bytes));
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    std::weak_ptr<FTPTransferMonitor> monitor = test::started(LibsynFTPClientFactory().makeClient(QStringLiteral("My Show"), LibsynServerEnvironment::Password,
                                            LibsynServerEnvironment::Email, LibsynAccountFeedType::External, delegate), [&](FTPTransferMonitor& m) { m.uploadFile(QUrl::fromLocalFile(path)); });
    ASSERT_TRUE(test::waitUntilReleased(monitor));
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.back().reason, FTPUploadFailureReason::None);
    EXPECT_EQ(server.fileContents(QStringLiteral("My Show/public/E.mp3")), bytes);
}

} // namespace
} // namespace airlark
