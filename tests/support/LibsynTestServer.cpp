#include "support/LibsynTestServer.h"

namespace airlark::test {

bool LibsynServerEnvironment::startOn(quint16 port, int readLimit)
{
    current_.reset();
    FtpTestServer::Options options;
    options.security = security_;
    options.tlsOptional = security_ == FTPSecurity::ExplicitTLS;
    options.port = port;
    options.readLimit = readLimit;
    current_ = std::make_unique<FtpTestServer>(options);
    return current_->isRunning();
}

void LibsynServerEnvironment::SetUp()
{
    ASSERT_TRUE(startOn(0, 0)) << "the local FTP server did not start";
    qputenv("AIRLARK_LIBSYN_FTP_HOST", current_->host().toUtf8());
    qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(current_->port()));
    qputenv("AIRLARK_LIBSYN_FTP_SECURITY", security_ == FTPSecurity::ImplicitTLS ? "implicit" : "explicit");
}

} // namespace airlark::test
