#pragma once

#include "support/FtpTestServer.h"

#include <gtest/gtest.h>
#include <memory>

namespace airlark::test {

// The local FTP server that stands in for Libsyn's for a whole test program: vsftpd offering
// explicit TLS (plain log-ins are accepted too, for accounts that choose plain FTP), or requiring
// implicit TLS as Libsyn's own default does. Airlark reads the Libsyn server's address once per
// process, so one server serves every test of the program and comes back on its port after a test
// stopped or killed it. Register it once per test program, at namespace scope:
//
//   static const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new
//   LibsynServerEnvironment);
class LibsynServerEnvironment : public ::testing::Environment
{
public:
    static inline const QString& Email = FtpTestServer::LocalUser;
    static inline const QString& Password = FtpTestServer::LocalPassword;

    explicit LibsynServerEnvironment(FTPSecurity security = FTPSecurity::ExplicitTLS)
    {
        security_ = security;
    }
    void SetUp() override
    {
        ASSERT_TRUE(startOn(0, 0)) << "the local FTP server did not start";
        qputenv("AIRLARK_LIBSYN_FTP_HOST", current_->host().toUtf8());
        qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(current_->port()));
        qputenv("AIRLARK_LIBSYN_FTP_SECURITY",
                security_ == FTPSecurity::ImplicitTLS ? "implicit" : "explicit");
    }
    void TearDown() override { current_.reset(); }

    // The running server; only between SetUp and TearDown.
    static FtpTestServer& server() { return *current_; }
    // Stops the server, or starts it again on its port with an empty home folder, taking uploads
    // at `readLimit` bytes per second (0: no limit).
    static void stop() { current_->stop(); }
    static bool restart(int readLimit = 0) { return startOn(current_->port(), readLimit); }

private:
    static bool startOn(quint16 port, int readLimit)
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

    static inline FTPSecurity security_ = FTPSecurity::ExplicitTLS;
    static inline std::unique_ptr<FtpTestServer> current_;
};

} // namespace airlark::test
