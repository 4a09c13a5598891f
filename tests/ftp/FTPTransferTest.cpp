// The client against real servers: plain FTP (pyftpdlib, which can refuse files after their data),
// and implicit and explicit TLS (vsftpd requiring TLS for the log-in and every data connection,
// with a certificate from the test process's own authority).
#include "ftp/FTPClient.h"
#include "support/FtpTestServer.h"
#include "support/LogCapture.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace airlark {
namespace {

using namespace std::chrono_literals;
using test::FtpTestServer;

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

FtpTestServer::Options serving(FTPSecurity security, int readLimit = 0)
{
    FtpTestServer::Options options;
    options.security = security;
    options.readLimit = readLimit;
    return options;
}

// Runs `hook` on the transfer thread at every upload progress report.
class HookDelegate : public FTPClientDelegate
{
public:
    void ftpManagerUploadProgressDidChange(const QVariantMap& progress) override { hook(progress); }
    std::function<void(const QVariantMap&)> hook = [](const QVariantMap&) {};
};

class FTPSecurityModeTest : public ::testing::TestWithParam<FTPSecurity>
{
protected:
    QTemporaryDir local;
    FTPClient client;
};

// The log-in and uploads of every size into a folder whose name means something in a URL, each
// confirmed and byte for byte, with every data connection encrypted when the log-in is (vsftpd
// refuses plain ones here and, as Debian sets it up, wants the log-in's TLS session reused). Over
// TLS 1.3 the end of the data connection once cost the file's tail in a third of these uploads.
TEST_P(FTPSecurityModeTest, LogsInAndUploadsEverySizeByteForByte)
{
    FtpTestServer server(serving(GetParam()));
    ASSERT_TRUE(server.isRunning());
    const QString folder = QStringLiteral("show/Épisodes 100% #2?");
    ASSERT_TRUE(server.makeDirectory(folder));
    client.setTimeout(10s);
    ASSERT_TRUE(client.checkLoginAndDirectory(server.record(folder).get()));
    int run = 0;
    for (const qsizetype size : {20 * 1000, 200 * 1000, 1000 * 1000, 10 * 1000 * 1000}) {
        const QByteArray bytes = randomBytes(size + 5);
        for (int repeat = 0; repeat < 3; ++repeat, ++run) {
            const QString name = QStringLiteral("Épisode %1.mp3").arg(run);
            const QString path = QDir(local.path()).filePath(name);
            ASSERT_TRUE(test::writeFile(path, bytes));
            EXPECT_TRUE(client.uploadFile(QUrl::fromLocalFile(path), server.record(folder).get()))
                << size << ": " << ftpFailureKindName(client.failureDetail().kind);
            EXPECT_EQ(server.fileContents(folder + QLatin1Char('/') + name), bytes) << size;
            QFile::remove(path);
        }
    }
    EXPECT_FALSE(client.failureDetail().failed());
    EXPECT_FALSE(client.progress().has_value()) << "no transfer, no progress";
}

// Abort ends an upload at once even while the server takes its time, and nothing is logged as a
// failure. Meanwhile another thread reads the progress, as the upload step's timer does.
TEST_P(FTPSecurityModeTest, AbortEndsAnUploadAtOnceWhileAnotherThreadReadsProgress)
{
    FtpTestServer server(serving(GetParam(), 1024 * 1024));
    ASSERT_TRUE(server.isRunning());
    const QString path = QDir(local.path()).filePath(QStringLiteral("long.mp3"));
    ASSERT_TRUE(test::writeFile(path, randomBytes(30 * 1000 * 1000)));
    client.setTimeout(10s);
    std::atomic<qint64> endedAt{0};
    QElapsedTimer clock;
    clock.start();
    test::LogCapture log;
    std::thread upload([&] {
        EXPECT_FALSE(client.uploadFile(QUrl::fromLocalFile(path), server.record().get()));
        endedAt = clock.elapsed();
    });
    float last = 0.0f;
    while (client.fileSizeProcessed() < 2 * 1000 * 1000 && clock.elapsed() < 20000) {
        if (const std::optional<QVariantMap> progress = client.progress()) {
            const float fraction = progress->value(QStringLiteral("progress")).toFloat();
            EXPECT_GE(fraction, last);
            EXPECT_EQ(progress->value(QStringLiteral("fileSize")).toLongLong(), 30 * 1000 * 1000);
            last = fraction;
        }
        std::this_thread::sleep_for(1ms);
    }
    const qint64 abortedAt = clock.elapsed();
    client.abort();
    upload.join();
    // Well under the client's 10 s time-out, with room for a loaded machine: an abort that waited
    // for the time-out (or for the server's side of the close) would take the whole 10 s.
    EXPECT_LT(endedAt - abortedAt, 5000);
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::Aborted);
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::Aborted);
    EXPECT_FALSE(log.anyContains(QStringLiteral("ftp stream failed")));
}

INSTANTIATE_TEST_SUITE_P(Modes, FTPSecurityModeTest,
                         ::testing::Values(FTPSecurity::None, FTPSecurity::ImplicitTLS,
                                           FTPSecurity::ExplicitTLS));

// A certificate that does not verify, by its issuer or its host name, ends the conversation before
// the log-in: the server's log shows the connection and no USER, no PASS.
TEST(FTPCertificateTest, IsRefusedBeforeTheLogIn)
{
    using C = FtpTestServer::Certificate;
    for (const auto& [security, certificate] : {std::pair{FTPSecurity::ImplicitTLS, C::UnknownIssuer},
                                                std::pair{FTPSecurity::ExplicitTLS, C::UnknownIssuer},
                                                std::pair{FTPSecurity::ImplicitTLS, C::OtherHostName},
                                                std::pair{FTPSecurity::ExplicitTLS, C::OtherHostName}}) {
        SCOPED_TRACE(testing::Message() << int(security) << " " << int(certificate));
        FtpTestServer::Options options = serving(security);
        options.certificate = certificate;
        FtpTestServer server(options);
        ASSERT_TRUE(server.isRunning());
        FTPClient client;
        client.setTimeout(10s);
        EXPECT_FALSE(client.checkLogin(server.record().get()));
        EXPECT_FALSE(
            client.uploadData(QByteArrayLiteral("x"), QStringLiteral("x.mp3"), server.record().get()));
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::CertificateRejected);
        EXPECT_EQ(client.failureDetail().host, server.host());
        const QByteArray log = server.protocolLog();
        EXPECT_TRUE(log.contains("CONNECT"));
        EXPECT_FALSE(log.contains("USER"));
        EXPECT_FALSE(log.contains("PASS"));
    }
}

// The server takes the data, then refuses the file: over quota (552) or a bad name (553).
TEST(FTPRefusedUploadTest, AnUploadTheServerRefusesAfterTheDataFails)
{
    for (const auto& [quota, code, reply] : {std::tuple{1000, 0, "552"}, std::tuple{-1, 553, "553"}}) {
        FtpTestServer::Options options;
        options.quotaBytes = quota;
        options.refuseUploadsWithCode = code;
        FtpTestServer server(options);
        ASSERT_TRUE(server.isRunning());
        FTPClient client;
        client.setTimeout(10s);
        EXPECT_FALSE(client.uploadData(randomBytes(70000), QStringLiteral("big.mp3"), server.record().get()));
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::RefusedFileAfterData);
        EXPECT_TRUE(client.failureDetail().serverReply.startsWith(QLatin1String(reply)));
    }
}

// A server that kept only the first 112 KiB of the data yet answered 226, over plain FTP or TLS, is
// caught by its own count of the file's bytes. The short file is this upload's (its STOR was accepted), so it
// may go, with DELE whatever its name; an upload that may not replace it stops before STOR and says what is
// there.
TEST(FTPShortFileTest, AServerKeepingPartOfTheFileFailsTheUploadAndIsNotWrittenOverUnasked)
{
    {
        FtpTestServer::Options options;
        options.keepBytes = 112 * 1024;
        FtpTestServer server(options);
        ASSERT_TRUE(server.isRunning());
        QTemporaryDir local;
        const QString path = QDir(local.path()).filePath(QStringLiteral("episode12"));
        ASSERT_TRUE(test::writeFile(path, randomBytes(1000 * 1000)));
        FTPClient client;
        client.setTimeout(10s);
        EXPECT_FALSE(client.uploadFile(QUrl::fromLocalFile(path), server.record().get()));
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::IncompleteOnServer);
        EXPECT_EQ(client.failureDetail().serverSize, 112 * 1024);
        EXPECT_TRUE(client.uploadReachedServer());

        EXPECT_FALSE(client.uploadFile(QUrl::fromLocalFile(path), server.record().get(),
                                       FTPClient::ExistingFile::Keep));
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::AlreadyOnServer);
        EXPECT_EQ(client.failureDetail().serverSize, 112 * 1024);
        EXPECT_TRUE(client.failureDetail().serverTime.isValid());
        EXPECT_FALSE(client.uploadReachedServer());

        EXPECT_TRUE(client.deleteFileNamed(QStringLiteral("episode12"), server.record().get()));
        EXPECT_FALSE(QFileInfo::exists(server.pathInHome(QStringLiteral("episode12"))));
    }
    // The same over TLS, against a script: it takes the whole file and keeps the first 112 KiB.
    FtpTestServer::Options options;
    options.security = FTPSecurity::ExplicitTLS;
    options.script = {{"greeting", "220 scripted"}};
    options.keepBytes = 112 * 1024;
    FtpTestServer server(options);
    ASSERT_TRUE(server.isRunning());
    FTPClient client;
    client.setTimeout(10s);
    EXPECT_FALSE(
        client.uploadData(randomBytes(1000 * 1000), QStringLiteral("episode12"), server.record().get()));
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::IncompleteOnServer);
    EXPECT_EQ(client.failureDetail().serverSize, 112 * 1024);
    EXPECT_TRUE(client.uploadReachedServer());
}

class FTPLocalFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        client.setTimeout(10s);
        client.setDelegate(&delegate);
    }
    QString local(const QString& name) const { return QDir(folder.path()).filePath(name); }

    FtpTestServer server;
    QTemporaryDir folder;
    HookDelegate delegate;
    FTPClient client;
};

TEST_F(FTPLocalFileTest, ALocalFileThatShrinksOrVanishesMidUploadIsAReadError)
{
    for (const auto& change : std::vector<std::function<bool(const QString&)>>{
             [](const QString& path) { return QFile::resize(path, 100000); },
             [](const QString& path) { return QFile::remove(path); }}) {
        const QString path = local(QStringLiteral("changing.mp3"));
        ASSERT_TRUE(test::writeFile(path, randomBytes(8 * 1000 * 1000)));
        std::atomic<bool> changed{false};
        delegate.hook = [&](const QVariantMap&) {
            if (!changed.exchange(true)) {
                EXPECT_TRUE(change(path));
            }
        };
        EXPECT_FALSE(client.uploadFile(QUrl::fromLocalFile(path), server.record().get()));
        EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::ReadError);
        EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::LocalFileError);
    }
}

// Downloads are no part of publishing; what stays is that a failed one, or one that names a path
// outside the folder, leaves the local folder as it was.
TEST_F(FTPLocalFileTest, AFailedDownloadLeavesTheLocalFolderAsItWas)
{
    ASSERT_TRUE(test::writeFile(local(QStringLiteral("keep.mp3")), "precious"));
    const QUrl into = QUrl::fromLocalFile(folder.path());
    EXPECT_FALSE(client.downloadFile(QStringLiteral("keep.mp3"), into, server.record().get()));
    EXPECT_FALSE(client.downloadFile(QStringLiteral("../escape.mp3"), into, server.record().get()));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("keep.mp3")});
    EXPECT_EQ(test::readFile(local(QStringLiteral("keep.mp3"))), "precious");
    EXPECT_FALSE(QFileInfo::exists(QDir(folder.path()).filePath(QStringLiteral("../escape.mp3"))));
}

} // namespace
} // namespace airlark
