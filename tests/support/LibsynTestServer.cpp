#include "support/LibsynTestServer.h"

namespace airlark::test {

namespace {

std::unique_ptr<FtpTestServer>& current()
{
    static std::unique_ptr<FtpTestServer> server;
    return server;
}

} // namespace

void LibsynServerEnvironment::SetUp()
{
    FtpTestServer::Options options;
    options.user = Email;
    options.password = Password;
    current() = std::make_unique<FtpTestServer>(options);
    ASSERT_TRUE(current()->isRunning()) << "the local FTP server did not start";
    qputenv("AIRLARK_LIBSYN_FTP_HOST", current()->host().toUtf8());
    qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(current()->port()));
}

void LibsynServerEnvironment::TearDown()
{
    current().reset();
}

FtpTestServer& LibsynServerEnvironment::server()
{
    return *current();
}

} // namespace airlark::test
