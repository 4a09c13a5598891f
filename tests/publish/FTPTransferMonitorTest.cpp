#include "MonitorRecording.h"

#include "support/FtpTestServer.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace airlark {
namespace {

using test::RecordingMonitorDelegate;

// --- The tick rule and the reason mapping, over plain values. ---

struct TickCase
{
    const char* name;
    std::optional<QVariantMap> progress;
    FTPStreamFailureReason clientReason;
    FTPProgressReport expected;
};

void PrintTo(const TickCase& c, std::ostream* os)
{
    *os << c.name;
}

QVariantMap progressWith(const QVariant& fraction)
{
    return {{QStringLiteral("fileSize"), quint64(1000)}, {QStringLiteral("progress"), fraction}};
}

class ProgressTickTest : public ::testing::TestWithParam<TickCase>
{
};

TEST_P(ProgressTickTest, ReportsTruncatedPercentAndMappedReason)
{
    const auto& c = GetParam();
    EXPECT_EQ(progressReportFor(c.progress, c.clientReason), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ticks, ProgressTickTest,
                         ::testing::Values(TickCase{"half",
                                                    progressWith(0.5f),
                                                    FTPStreamFailureReason::None,
                                                    {50, FTPUploadFailureReason::None}},
                                           TickCase{"almost",
                                                    progressWith(0.999f),
                                                    FTPStreamFailureReason::None,
                                                    {99, FTPUploadFailureReason::None}},
                                           TickCase{"writeError",
                                                    progressWith(0.3f),
                                                    FTPStreamFailureReason::WriteError,
                                                    {30, FTPUploadFailureReason::TransferError}},
                                           TickCase{"generalError",
                                                    progressWith(0.7f),
                                                    FTPStreamFailureReason::GeneralError,
                                                    {70, FTPUploadFailureReason::ServerError}},
                                           TickCase{"noStream",
                                                    std::nullopt,
                                                    FTPStreamFailureReason::None,
                                                    {100, FTPUploadFailureReason::ProgressUnavailable}},
                                           TickCase{"noProgressKey",
                                                    QVariantMap{{QStringLiteral("fileSize"), quint64(10)}},
                                                    FTPStreamFailureReason::None,
                                                    {100, FTPUploadFailureReason::ProgressUnavailable}},
                                           TickCase{"progressNotANumber",
                                                    progressWith(QStringLiteral("0.5")),
                                                    FTPStreamFailureReason::None,
                                                    {100, FTPUploadFailureReason::ProgressUnavailable}}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// --- A real monitor over a real client against a local FTP server. ---

class FTPTransferMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.isRunning());
        ASSERT_TRUE(server_.makeDirectory(QStringLiteral("show/quickcast")));
        ASSERT_TRUE(files_.isValid());
    }

    std::shared_ptr<FTPTransferMonitor> makeMonitor(std::shared_ptr<FTPTransferMonitorDelegate> delegate,
                                                    const QString& password)
    {
        auto record = server_.record(QStringLiteral("show/quickcast"));
        record->setPassword(password);
        auto client = std::make_shared<FTPClient>();
        client->setTimeout(std::chrono::seconds(10));
        return FTPTransferMonitor::create(client, record, std::move(delegate));
    }

    QUrl episode(const QByteArray& bytes, const QString& name = QStringLiteral("episode.mp3"))
    {
        const QString path = files_.filePath(name);
        EXPECT_TRUE(test::writeFile(path, bytes));
        return QUrl::fromLocalFile(path);
    }

    test::FtpTestServer server_;
    QTemporaryDir files_;
};

TEST_F(FTPTransferMonitorTest, LogInReportsTheVerdictOnTheMainThread)
{
    for (const auto& [password, accepted] : {std::pair{server_.password(), true}, std::pair{QStringLiteral("wrong"), false}}) {
        auto delegate = std::make_shared<RecordingMonitorDelegate>();
        std::weak_ptr<FTPTransferMonitor> monitor = test::started(makeMonitor(delegate, password), [&](FTPTransferMonitor& m) { m.logIn(); });
        ASSERT_TRUE(test::waitUntilReleased(monitor));
        ASSERT_EQ(delegate->logIns, std::vector<bool>{accepted});
        EXPECT_EQ(delegate->logInFailures.back().kind,
                  accepted ? FTPFailureKind::None : FTPFailureKind::LogInRefused);
        EXPECT_FALSE(delegate->offMainThread);
    }
}

TEST_F(FTPTransferMonitorTest, SuccessfulUploadEndsWithOneFinalReportAndStopsPolling)
{
    const QByteArray bytes = test::repeatedMp3Bytes(std::chrono::minutes(20), 32); // about 4.8 MB
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    auto monitor = makeMonitor(delegate, server_.password());
    std::weak_ptr<FTPTransferMonitor> watched = monitor;
    monitor->uploadFile(episode(bytes));
    EXPECT_TRUE(monitor->isPollingProgress());
    monitor.reset(); // nobody keeps it: the upload must hold it

    ASSERT_TRUE(test::waitUntilReleased(watched));
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.back().percentage, 100);
    EXPECT_EQ(delegate->reports.back().reason, FTPUploadFailureReason::None);
    EXPECT_FALSE(delegate->offMainThread);
    for (const auto& report : delegate->reports) {
        EXPECT_GE(report.percentage, 0);
        EXPECT_LE(report.percentage, 100);
        EXPECT_TRUE(report.reason == FTPUploadFailureReason::None
                    || report.reason == FTPUploadFailureReason::ProgressUnavailable);
    }
    EXPECT_EQ(server_.fileContents(QStringLiteral("show/quickcast/episode.mp3")), bytes);

    // The timer went with the monitor: nothing follows the final report.
    const auto count = delegate->reports.size();
    QTest::qWait(350);
    EXPECT_EQ(delegate->reports.size(), count);
}

// A failure's last report carries the share actually sent, not a full bar, and what went wrong.
TEST_F(FTPTransferMonitorTest, RefusedLogInEndsWithServerErrorAndItsDetail)
{
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    std::weak_ptr<FTPTransferMonitor> monitor = test::started(makeMonitor(delegate, QStringLiteral("wrong")), [&](FTPTransferMonitor& m) { m.uploadFile(episode(test::mp3Bytes(1))); });
    ASSERT_TRUE(test::waitUntilReleased(monitor));
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.back().percentage, 0);
    EXPECT_EQ(delegate->reports.back().reason, FTPUploadFailureReason::ServerError);
    EXPECT_EQ(delegate->reports.back().failure.kind, FTPFailureKind::LogInRefused);
}

// The client refuses a file that does not exist before any transfer and records no reason; the
// upload failed all the same and must not end with None, which reads as success.
TEST_F(FTPTransferMonitorTest, UploadRefusedWithoutRecordedReasonEndsWithTransferError)
{
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    std::weak_ptr<FTPTransferMonitor> monitor = test::started(makeMonitor(delegate, server_.password()), [&](FTPTransferMonitor& m) { m.uploadFile(QUrl::fromLocalFile(files_.filePath(QStringLiteral("missing.mp3")))); });
    ASSERT_TRUE(test::waitUntilReleased(monitor));
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.back().percentage, 0);
    EXPECT_EQ(delegate->reports.back().reason, FTPUploadFailureReason::TransferError);
}

TEST(FTPTransferMonitorRefusingServerTest, FileRefusedByTheServerIsNoSuccess)
{
    test::FtpTestServer::Options options;
    options.refuseUploadsWithCode = 553;
    test::FtpTestServer server(options);
    ASSERT_TRUE(server.isRunning());
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(test::writeFile(path, test::mp3Bytes(1)));

    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    std::weak_ptr<FTPTransferMonitor> monitor =
        test::started(FTPTransferMonitor::create(std::make_shared<FTPClient>(), server.record(), delegate),
                      [&](FTPTransferMonitor& m) { m.uploadFile(QUrl::fromLocalFile(path)); });
    ASSERT_TRUE(test::waitUntilReleased(monitor));
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_EQ(delegate->reports.back().percentage, 100) << "all of it was sent, then refused";
    EXPECT_NE(delegate->reports.back().reason, FTPUploadFailureReason::None);
    EXPECT_EQ(delegate->reports.back().failure.kind, FTPFailureKind::RefusedFileAfterData);
    EXPECT_TRUE(delegate->reports.back().failure.serverReply.startsWith(QStringLiteral("553")));
}

// A server that accepts the connection and never answers keeps the client without a transfer
// stream: every tick reports 100 with ProgressUnavailable, until the final failure.
TEST(FTPTransferMonitorSilentServerTest, TicksWithoutTransferStreamReportProgressUnavailable)
{
    test::SilentTcpServer silent;
    ASSERT_TRUE(silent.isListening());
    QTemporaryDir files;
    // An empty file has no size to measure progress against either, whatever the client's state.
    const QString path = files.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(test::writeFile(path, QByteArray()));

    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1/show"), QStringLiteral("user"),
                                                   QStringLiteral("password"));
    record->setPort(silent.port());
    auto client = std::make_shared<FTPClient>();
    client->setTimeout(std::chrono::milliseconds(1500));
    auto delegate = std::make_shared<RecordingMonitorDelegate>();
    std::weak_ptr<FTPTransferMonitor> monitor = test::started(FTPTransferMonitor::create(client, record, delegate), [&](FTPTransferMonitor& m) { m.uploadFile(QUrl::fromLocalFile(path)); });
    ASSERT_TRUE(test::waitUntilReleased(monitor));

    ASSERT_GE(delegate->reports.size(), 4u) << "expected several ticks while the server kept silent";
    for (std::size_t i = 0; i + 1 < delegate->reports.size(); ++i) {
        EXPECT_EQ(delegate->reports[i].percentage, 100);
        EXPECT_EQ(delegate->reports[i].reason, FTPUploadFailureReason::ProgressUnavailable);
    }
    EXPECT_EQ(delegate->reports.back().percentage, 0);
    EXPECT_NE(delegate->reports.back().reason, FTPUploadFailureReason::None);
    EXPECT_NE(delegate->reports.back().reason, FTPUploadFailureReason::ProgressUnavailable);
    EXPECT_EQ(delegate->reports.back().failure.kind, FTPFailureKind::TimedOut);
    EXPECT_FALSE(delegate->offMainThread);
}

} // namespace
} // namespace airlark
