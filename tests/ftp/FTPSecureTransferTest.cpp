// The client against real servers in each security mode: plain FTP (pyftpdlib), implicit and
// explicit TLS (vsftpd requiring TLS for the log-in and every data connection, with a certificate
// from the test's own CA).
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
#include <gtest/gtest.h>
#include <thread>

namespace airlark {
namespace {

using namespace std::chrono_literals;
using test::FtpTestServer;

const char* modeName(FTPSecurity security)
{
    switch (security) {
    case FTPSecurity::None:
        return "plain";
    case FTPSecurity::ImplicitTLS:
        return "implicit";
    case FTPSecurity::ExplicitTLS:
        break;
    }
    return "explicit";
}

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

class FTPSecurityModeTest : public ::testing::TestWithParam<FTPSecurity>
{
};

// The log-in, then upload, listing, download and delete: byte for byte, with every data connection
// encrypted when the log-in is (vsftpd refuses plain data connections here).
TEST_P(FTPSecurityModeTest, LogsInAndMovesFilesByteForByte)
{
    FtpTestServer server(serving(GetParam()));
    ASSERT_TRUE(server.isRunning());
    ASSERT_TRUE(server.makeDirectory(QStringLiteral("show/quickcast")));
    QTemporaryDir local;
    const QByteArray bytes = randomBytes(3 * 1000 * 1000 + 5);
    const QString path = QDir(local.path()).filePath(QStringLiteral("Épisode 1.mp3"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    FTPClient client;
    client.setTimeout(10s);
    const auto folder = server.record(QStringLiteral("show/quickcast"));
    auto wrong = server.record();
    wrong->setPassword(QStringLiteral("wrong"));
    EXPECT_FALSE(client.checkLogin(wrong.get()));
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::LogInRefused);
    EXPECT_TRUE(client.failureDetail().serverReply.startsWith(QStringLiteral("530")));

    ASSERT_TRUE(client.checkLogin(server.record().get()));
    ASSERT_TRUE(client.checkLoginAndDirectory(folder.get()));
    ASSERT_TRUE(client.uploadFile(QUrl::fromLocalFile(path), folder.get()));
    EXPECT_EQ(server.fileContents(QStringLiteral("show/quickcast/Épisode 1.mp3")), bytes);

    const auto entries = client.contentsOfServer(folder.get());
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 1);
    EXPECT_EQ(entries->first().value(QLatin1String(FTPResourceKey::Name)).toString(),
              QStringLiteral("Épisode 1.mp3"));

    const QString downloads = QDir(local.path()).filePath(QStringLiteral("down"));
    ASSERT_TRUE(QDir().mkpath(downloads));
    ASSERT_TRUE(
        client.downloadFile(QStringLiteral("Épisode 1.mp3"), QUrl::fromLocalFile(downloads), folder.get()));
    QFile downloaded(QDir(downloads).filePath(QStringLiteral("Épisode 1.mp3")));
    ASSERT_TRUE(downloaded.open(QIODevice::ReadOnly));
    EXPECT_EQ(downloaded.readAll(), bytes);

    EXPECT_TRUE(client.deleteFileNamed(QStringLiteral("Épisode 1.mp3"), folder.get()));
    EXPECT_FALSE(QFileInfo::exists(server.pathInHome(QStringLiteral("show/quickcast/Épisode 1.mp3"))));

    EXPECT_FALSE(client.checkLoginAndDirectory(server.record(QStringLiteral("show/public")).get()));
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::FolderMissing);
}

// Abort ends an upload at once even while the server takes its time, and the partial file can be
// deleted right after: what Cancel in the upload step needs.
TEST_P(FTPSecurityModeTest, AbortEndsAnUploadAtOnceAndThePartialFileCanBeDeleted)
{
    FtpTestServer server(serving(GetParam(), 1024 * 1024));
    ASSERT_TRUE(server.isRunning());
    QTemporaryDir local;
    const QString path = QDir(local.path()).filePath(QStringLiteral("long.mp3"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(randomBytes(30 * 1000 * 1000)) > 0);
    file.close();
    FTPClient client;
    client.setTimeout(10s);
    const auto record = server.record();
    std::atomic<qint64> endedAt{0};
    QElapsedTimer clock;
    clock.start();
    test::LogCapture log;
    std::thread upload([&] {
        EXPECT_FALSE(client.uploadFile(QUrl::fromLocalFile(path), record.get()));
        endedAt = clock.elapsed();
    });
    while (client.fileSizeProcessed() < 2 * 1000 * 1000 && clock.elapsed() < 20000)
        std::this_thread::sleep_for(10ms);
    const qint64 abortedAt = clock.elapsed();
    client.abort();
    upload.join();
    EXPECT_LT(endedAt - abortedAt, 1000);
    EXPECT_EQ(client.failureReason(), FTPStreamFailureReason::Aborted);
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::Aborted);
    EXPECT_FALSE(log.anyContains(QStringLiteral("ftp stream failed")));

    ASSERT_TRUE(QFileInfo::exists(server.pathInHome(QStringLiteral("long.mp3"))));
    EXPECT_TRUE(client.deleteFileNamed(QStringLiteral("long.mp3"), record.get()));
    EXPECT_FALSE(QFileInfo::exists(server.pathInHome(QStringLiteral("long.mp3"))));
}

INSTANTIATE_TEST_SUITE_P(Modes, FTPSecurityModeTest,
                         ::testing::Values(FTPSecurity::None, FTPSecurity::ImplicitTLS,
                                           FTPSecurity::ExplicitTLS),
                         [](const auto& testInfo) { return std::string(modeName(testInfo.param)); });

struct CertificateCase
{
    const char* name;
    FTPSecurity security;
    FtpTestServer::Certificate certificate;
};

class FTPCertificateTest : public ::testing::TestWithParam<CertificateCase>
{
};

// A certificate that does not verify ends the conversation before the log-in: the server's log
// shows no USER and no PASS.
TEST_P(FTPCertificateTest, IsRefusedBeforeTheLogIn)
{
    FtpTestServer::Options options = serving(GetParam().security);
    options.certificate = GetParam().certificate;
    FtpTestServer server(options);
    ASSERT_TRUE(server.isRunning());
    FTPClient client;
    client.setTimeout(10s);
    EXPECT_FALSE(client.checkLogin(server.record().get()));
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::CertificateRejected)
        << qPrintable(client.failureDetail().reason);
    EXPECT_EQ(client.failureDetail().host, server.host());
    EXPECT_FALSE(client.failureDetail().reason.isEmpty());
    EXPECT_FALSE(client.uploadData(QByteArrayLiteral("x"), QStringLiteral("x.mp3"), server.record().get()));
    EXPECT_EQ(client.failureDetail().kind, FTPFailureKind::CertificateRejected);

    const QByteArray log = server.protocolLog();
    EXPECT_TRUE(log.contains("CONNECT")) << "the server saw the connection";
    EXPECT_FALSE(log.contains("USER"));
    EXPECT_FALSE(log.contains("PASS"));
}

INSTANTIATE_TEST_SUITE_P(Certificates, FTPCertificateTest,
                         ::testing::Values(CertificateCase{"unknownIssuerImplicit", FTPSecurity::ImplicitTLS,
                                                           FtpTestServer::Certificate::UnknownIssuer},
                                           CertificateCase{"unknownIssuerExplicit", FTPSecurity::ExplicitTLS,
                                                           FtpTestServer::Certificate::UnknownIssuer},
                                           CertificateCase{"otherHostImplicit", FTPSecurity::ImplicitTLS,
                                                           FtpTestServer::Certificate::OtherHostName},
                                           CertificateCase{"otherHostExplicit", FTPSecurity::ExplicitTLS,
                                                           FtpTestServer::Certificate::OtherHostName}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace airlark
