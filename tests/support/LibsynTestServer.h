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
    void SetUp() override;
    void TearDown() override { current_.reset(); }

    // The running server; only between SetUp and TearDown.
    static FtpTestServer& server() { return *current_; }
    // Stops the server, or starts it again on its port with an empty home folder, taking uploads
    // at `readLimit` bytes per second (0: no limit).
    static void stop() { current_->stop(); }
    static bool restart(int readLimit = 0) { return startOn(current_->port(), readLimit); }

private:
    static bool startOn(quint16 port, int readLimit);

    static inline FTPSecurity security_ = FTPSecurity::ExplicitTLS;
    static inline std::unique_ptr<FtpTestServer> current_;
};

} // namespace airlark::test
