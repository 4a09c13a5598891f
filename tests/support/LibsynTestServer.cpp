#include "support/LibsynTestServer.h"

namespace airlark::test {

namespace {

FTPSecurity security = FTPSecurity::ExplicitTLS;
std::unique_ptr<FtpTestServer> current;

bool startOn(quint16 port, int readLimit)
{
    current.reset();
    FtpTestServer::Options options;
    options.security = security;
    options.tlsOptional = security == FTPSecurity::ExplicitTLS;
    options.port = port;
    options.readLimit = readLimit;
    current = std::make_unique<FtpTestServer>(options);
    return current->isRunning();
}

} // namespace

LibsynServerEnvironment::LibsynServerEnvironment(FTPSecurity serverSecurity)
{
    security = serverSecurity;
}

void LibsynServerEnvironment::SetUp()
{
    ASSERT_TRUE(startOn(0, 0)) << "the local FTP server did not start";
    qputenv("AIRLARK_LIBSYN_FTP_HOST", current->host().toUtf8());
    qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(current->port()));
    qputenv("AIRLARK_LIBSYN_FTP_SECURITY", security == FTPSecurity::ImplicitTLS ? "implicit" : "explicit");
}

void LibsynServerEnvironment::TearDown()
{
    current.reset();
}

FtpTestServer& LibsynServerEnvironment::server()
{
    return *current;
}

void LibsynServerEnvironment::stop()
{
    current->stop();
}

bool LibsynServerEnvironment::restart(int readLimit)
{
    return startOn(current->port(), readLimit);
}

} // namespace airlark::test
