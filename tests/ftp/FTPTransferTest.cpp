#include "ftp/FTPClient.h"
#include "ftp/FTPListingParser.h"
#include "support/FtpTestServer.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace airlark {
namespace {

using namespace std::chrono_literals;
using test::LogCapture;

QByteArray randomBytes(qsizetype size, quint32 seed = 7)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    for (qsizetype i = size / 4 * 4; i < size; ++i)
        bytes[i] = static_cast<char>(i);
    return bytes;
}

// Records the chunks reported and runs a hook on each report (on the transfer thread).
class RecordingDelegate : public FTPClientDelegate
{
public:
    void ftpManagerUploadProgressDidChange(const QVariantMap& progress) override { record(progress); }
    void ftpManagerDownloadProgressDidChange(const QVariantMap& progress) override { record(progress); }

    std::vector<quint64> chunks() const
    {
        std::lock_guard lock(mutex_);
        return chunks_;
    }
    std::function<void(const QVariantMap&)> hook;

private:
    void record(const QVariantMap& progress)
    {
        {
            std::lock_guard lock(mutex_);
            chunks_.push_back(progress.value(QStringLiteral("bytesProcessed")).toULongLong());
        }
        if (hook)
            hook(progress);
    }
    mutable std::mutex mutex_;
    std::vector<quint64> chunks_;
};

class FTPTransferTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        ASSERT_TRUE(local.isValid());
        client.setTimeout(10s);
        client.setDelegate(&delegate);
    }

    std::shared_ptr<FTPServer> record(const QString& directory = QString()) const
    {
        return server.record(directory);
    }

    QUrl writeLocalFile(const QString& name, const QByteArray& contents) const
    {
        QFile file(QDir(local.path()).filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(contents), contents.size());
        return QUrl::fromLocalFile(file.fileName());
    }

    test::FtpTestServer server;
    QTemporaryDir local;
    RecordingDelegate delegate;
    FTPClient client;
};

// The file is read straight into curl's 256 KiB upload buffer, one read per buffer, with progress
// reported per chunk.
TEST_F(FTPTransferTest, UploadsFilesInChunksOfCurlsBuffer)
{
    const struct {
        qsizetype size;
        std::vector<quint64> chunks;
    } cases[] = {{0, {}}, {70000, {70000}}, {600000, {262144, 262144, 75712}}};
    for (const auto& c : cases) {
        RecordingDelegate recorder;
        client.setDelegate(&recorder);
        const QString name = QStringLiteral("file-%1.mp3").arg(c.size);
        const QByteArray contents = randomBytes(c.size);
        ASSERT_TRUE(client.uploadFile(writeLocalFile(name, contents), record().get())) << c.size;
        EXPECT_TRUE(QFileInfo::exists(server.pathInHome(name)));
        EXPECT_EQ(server.fileContents(name), contents);
        EXPECT_EQ(recorder.chunks(), c.chunks);
        EXPECT_FALSE(client.progress().has_value());
    }
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::None);
}

TEST_F(FTPTransferTest, UploadsFiftyMegabytesWhileAnotherThreadReadsProgress)
{
    const QByteArray contents = randomBytes(50 * 1000 * 1000);
    const QUrl file = writeLocalFile(QStringLiteral("long episode.mp3"), contents);
    std::atomic<bool> done{false};
    bool result = false;
    std::thread upload([&] {
        result = client.uploadFile(file, record().get());
        done = true;
    });
    float last = 0.0f;
    int readings = 0;
    while (!done) {
        if (const std::optional<QVariantMap> progress = client.progress()) {
            const float fraction = progress->value(QStringLiteral("progress")).toFloat();
            EXPECT_GE(fraction, last);
            EXPECT_LE(fraction, 1.0f);
            EXPECT_EQ(progress->value(QStringLiteral("fileSize")).toULongLong(), quint64(contents.size()));
            last = fraction;
            ++readings;
        }
        (void)client.failureReason();
        std::this_thread::sleep_for(1ms);
    }
    upload.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(server.fileContents(QStringLiteral("long episode.mp3")), contents);
    EXPECT_FALSE(client.progress().has_value());
}

TEST_F(FTPTransferTest, CreatesFoldersAndListsDirectoriesWithSpacesAndNonAsciiNames)
{
    const QString show = QStringLiteral("My Show/Épisodes été");
    ASSERT_TRUE(server.makeDirectory(show));
    ASSERT_TRUE(client.createNewFolder(QStringLiteral("Saison été"), record(show).get()));
    EXPECT_TRUE(QFileInfo(server.pathInHome(show + QStringLiteral("/Saison été"))).isDir());
    ASSERT_TRUE(client.uploadData(QByteArrayLiteral("show notes"), QStringLiteral("notes 100% #2.txt"),
                                  record(show).get()));
    EXPECT_EQ(server.fileContents(show + QStringLiteral("/notes 100% #2.txt")),
              QByteArrayLiteral("show notes"));

    const std::optional<QList<QVariantMap>> entries = client.contentsOfServer(record(show).get());
    ASSERT_TRUE(entries.has_value());
    QMap<QString, QVariantMap> byName;
    for (const QVariantMap& entry : *entries)
        byName.insert(entry.value(QLatin1String(FTPResourceKey::Name)).toString(), entry);
    ASSERT_EQ(byName.keys(),
              (QStringList{QStringLiteral("Saison été"), QStringLiteral("notes 100% #2.txt")}));
    EXPECT_EQ(byName.first().value(QLatin1String(FTPResourceKey::Type)).toInt(),
              int(FTPResourceType::Directory));
    EXPECT_EQ(byName.last().value(QLatin1String(FTPResourceKey::Size)).toLongLong(), 10);

    // The folder exists now: the server refuses to make it again.
    EXPECT_FALSE(client.createNewFolder(QStringLiteral("Saison été"), record(show).get()));
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::GeneralError);
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::RefusedCommand);
}

// Whole downloads are byte for byte in every security mode (FTPSecureTransferTest); here, their
// size reports and what a failure leaves.
TEST_F(FTPTransferTest, DownloadsReportTheSizeAndLeaveNothingBehindOnFailure)
{
    const QByteArray contents = randomBytes(3 * 1000 * 1000 + 17);
    ASSERT_TRUE(server.makeDirectory(QStringLiteral("feed")));
    ASSERT_TRUE(client.uploadData(contents, QStringLiteral("épisode.mp3"), record(QStringLiteral("feed")).get()));

    const QUrl directory = QUrl::fromLocalFile(local.path());
    std::atomic<quint64> reportedSize{0};
    delegate.hook = [&](const QVariantMap& progress) { reportedSize = progress.value(QStringLiteral("fileSize")).toULongLong(); };
    ASSERT_TRUE(
        client.downloadFile(QStringLiteral("épisode.mp3"), directory, record(QStringLiteral("feed")).get()));
    EXPECT_GT(delegate.chunks().size(), 1u);
    EXPECT_EQ(reportedSize.load(), quint64(contents.size()));

    EXPECT_FALSE(client.downloadFile(QStringLiteral("missing.mp3"), directory, record(QStringLiteral("feed")).get()));
    EXPECT_FALSE(QFileInfo::exists(QDir(local.path()).filePath(QStringLiteral("missing.mp3"))));

    // A failed download never touches a file of the same name that was already there.
    writeLocalFile(QStringLiteral("keep.mp3"), QByteArrayLiteral("precious"));
    EXPECT_FALSE(client.downloadFile(QStringLiteral("keep.mp3"), directory, record(QStringLiteral("feed")).get()));
    QFile kept(QDir(local.path()).filePath(QStringLiteral("keep.mp3")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArrayLiteral("precious"));
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    EXPECT_FALSE(client.downloadFile(QStringLiteral("../escape.mp3"), directory, record(QStringLiteral("feed")).get()));
}

TEST_F(FTPTransferTest, AnAbortedDownloadLeavesNoPartialFile)
{
    ASSERT_TRUE(client.uploadData(randomBytes(20 * 1000 * 1000), QStringLiteral("big.mp3"), record().get()));
    std::atomic<int> reports{0};
    delegate.hook = [&](const QVariantMap&) {
        if (++reports == 5)
            client.abort();
    };
    EXPECT_FALSE(client.downloadFile(QStringLiteral("big.mp3"), QUrl::fromLocalFile(local.path()), record().get()));
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::Aborted);
    EXPECT_GE(reports.load(), 5);
    EXPECT_TRUE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(FTPTransferTest, KeepsTheFailureReasonAcrossALaterSuccess)
{
    auto wrong = record();
    wrong->setPassword(QStringLiteral("wrong"));
    LogCapture log;
    EXPECT_FALSE(client.uploadData(QByteArrayLiteral("x"), QStringLiteral("a.mp3"), wrong.get()));
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::GeneralError);
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::LogInRefused);
    EXPECT_TRUE(log.contains(QStringLiteral("ftp stream failed: general stream error (check credentials?)")));
    EXPECT_FALSE(QFileInfo::exists(server.pathInHome(QStringLiteral("a.mp3"))));

    EXPECT_TRUE(client.uploadData(QByteArrayLiteral("x"), QStringLiteral("a.mp3"), record().get()));
    EXPECT_TRUE(client.streamSuccess());
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::GeneralError);
    EXPECT_FALSE(client.failureDetail().failed());
}

struct RefusingServerCase
{
    qint64 quota;
    int refusalCode;
    const char* reply;
};

void PrintTo(const RefusingServerCase& c, std::ostream* out)
{
    *out << (c.refusalCode ? "reply " + std::to_string(c.refusalCode) : "quota " + std::to_string(c.quota));
}

class FTPRefusedUploadTest : public ::testing::TestWithParam<RefusingServerCase> {};

// The server takes the data, then refuses the file: over quota (552) or a bad name (553).
TEST_P(FTPRefusedUploadTest, AnUploadTheServerRefusesAfterTheDataFails)
{
    test::FtpTestServer::Options options;
    options.quotaBytes = GetParam().quota;
    options.refuseUploadsWithCode = GetParam().refusalCode;
    test::FtpTestServer refusing(options);
    ASSERT_TRUE(refusing.isRunning());
    FTPClient client;
    client.setTimeout(10s);
    EXPECT_FALSE(client.uploadData(randomBytes(70000), QStringLiteral("big.mp3"), refusing.record().get()));
    EXPECT_FALSE(client.streamSuccess());
    EXPECT_NE(client.failureReason(), FTPStreamFailureReason::None);
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::RefusedFileAfterData);
    EXPECT_TRUE(client.failureDetail().serverReply.startsWith(QLatin1String(GetParam().reply)))
        << qPrintable(client.failureDetail().serverReply);
}

INSTANTIATE_TEST_SUITE_P(Refusals, FTPRefusedUploadTest,
                         ::testing::Values(RefusingServerCase{1000, 0, "552"},
                                           RefusingServerCase{-1, 553, "553"}));

TEST_F(FTPTransferTest, ALocalFileThatShrinksOrVanishesMidUploadIsAReadError)
{
    const std::vector<std::function<bool(const QString&)>> changes{
        [](const QString& path) { return QFile::resize(path, 100000); },
        [](const QString& path) { return QFile::remove(path); },
    };
    for (const auto& change : changes) {
        const QUrl file = writeLocalFile(QStringLiteral("changing.mp3"), randomBytes(8 * 1000 * 1000));
        std::atomic<bool> changed{false};
        delegate.hook = [&](const QVariantMap&) {
            if (!changed.exchange(true)) {
                EXPECT_TRUE(change(file.toLocalFile()));
            }
        };
        EXPECT_FALSE(client.uploadFile(file, record().get()));
        EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::ReadError);
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::LocalFileError);
    }
}

} // namespace
} // namespace airlark
