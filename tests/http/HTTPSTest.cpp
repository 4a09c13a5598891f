// HTTPS goes through the same session layer; these tests make sure the server's certificate is
// really checked. `openssl s_server` stands in for the TLS server on loopback.
#include "HttpTestSupport.h"
#include "http/HTTPSessionManager.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace airlark;
using namespace airlark::test;
using namespace std::chrono_literals;

namespace {

class HTTPSTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        if (openssl.isEmpty())
            GTEST_SKIP() << "openssl is not installed";
        ASSERT_TRUE(dir.isValid());
        const int made = QProcess::execute(
            openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                      QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                      dir.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"), certificate(),
                      QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                      QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                      QStringLiteral("subjectAltName=IP:127.0.0.1")});
        ASSERT_EQ(made, 0);
        writeFile(dir, QStringLiteral("hello.txt"), "hello over TLS");

        server.setWorkingDirectory(dir.path());
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(openssl, {QStringLiteral("s_server"), QStringLiteral("-WWW"), QStringLiteral("-accept"),
                               QStringLiteral("127.0.0.1:0"), QStringLiteral("-cert"), certificate(),
                               QStringLiteral("-key"), dir.filePath(QStringLiteral("key.pem"))});
        ASSERT_TRUE(server.waitForStarted(5000));
        const QRegularExpression accept(QStringLiteral("ACCEPT 127\\.0\\.0\\.1:(\\d+)"));
        QByteArray output;
        ASSERT_TRUE(waitFor(
            [&] {
                output += server.readAll();
                const auto match = accept.match(QString::fromLatin1(output));
                if (match.hasMatch())
                    port = match.captured(1).toUShort();
                return port != 0;
            },
            10s))
            << output.constData();
    }

    void TearDown() override
    {
        if (server.state() != QProcess::NotRunning) {
            server.kill();
            server.waitForFinished(5000);
        }
    }

    QString certificate() const { return dir.filePath(QStringLiteral("cert.pem")); }

    // The body as plain bytes: s_server labels every file text/plain.
    std::pair<QVariant, std::optional<HTTPError>> get(const HTTPSessionConfiguration& configuration)
    {
        auto manager = HTTPSessionManager::create(configuration);
        manager->setResponseSerializer(std::make_shared<HTTPResponseSerializer>());
        bool done = false;
        QVariant object;
        std::optional<HTTPError> error;
        HTTPRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1/hello.txt").arg(port)));
        manager
            ->dataTaskWithRequest(request,
                                  [&](const auto&, const QVariant& o, const std::optional<HTTPError>& e) {
                                      object = o;
                                      error = e;
                                      done = true;
                                  })
            ->resume();
        EXPECT_TRUE(waitFor([&] { return done; }, 20s));
        return {object, error};
    }

    QTemporaryDir dir;
    QProcess server;
    quint16 port = 0;
};

TEST_F(HTTPSTest, TrustedCertificateGivesTheBody)
{
    HTTPSessionConfiguration configuration;
    configuration.certificateAuthorityFile = certificate();
    const auto [object, error] = get(configuration);
    EXPECT_FALSE(error.has_value()) << qPrintable(error->description());
    EXPECT_EQ(object.toByteArray(), QByteArray("hello over TLS"));
}

TEST_F(HTTPSTest, UntrustedCertificateFailsTheRequest)
{
    const auto [object, error] = get(HTTPSessionConfiguration::defaultSessionConfiguration());
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->is(HTTPURLErrorDomain, HTTPErrorCode::ServerCertificateUntrusted))
        << qPrintable(error->description());
    EXPECT_FALSE(object.isValid());
}

} // namespace
