#include "support/LibsynTestServer.h"

namespace airlark::test {

namespace {

std::unique_ptr<FtpTestServer>& current()
{
    static std::unique_ptr<FtpTestServer> server;
    return server;
}

std::unique_ptr<FtpTestServer> startOn(quint16 port)
{
    FtpTestServer::Options options;
    options.security = FTPSecurity::ExplicitTLS;
    options.tlsOptional = true;
    options.port = port;
    return std::make_unique<FtpTestServer>(options);
}

} // namespace

void LibsynServerEnvironment::SetUp()
{
    current() = startOn(0);
    ASSERT_TRUE(current()->isRunning()) << "the local FTP server did not start";
    qputenv("AIRLARK_LIBSYN_FTP_HOST", current()->host().toUtf8());
    qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(current()->port()));
    qputenv("AIRLARK_LIBSYN_FTP_SECURITY", "explicit");
}

void LibsynServerEnvironment::TearDown()
{
    current().reset();
}

FtpTestServer& LibsynServerEnvironment::server()
{
    return *current();
}

void LibsynServerEnvironment::stop()
{
    current()->stop();
}

bool LibsynServerEnvironment::restart()
{
    const quint16 port = current()->port();
    current().reset();
    current() = startOn(port);
    return current()->isRunning();
}

} // namespace airlark::test
