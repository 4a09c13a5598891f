#pragma once

#include "support/FtpTestServer.h"

#include <gtest/gtest.h>

#include <memory>

namespace airlark::test {

// The local FTP server that stands in for Libsyn's for a whole test program. Airlark reads the
// Libsyn server's host and port once per process, so one server serves every test of the program.
// Register it once per test program, at namespace scope:
//
//   static const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);
//
// Its one user logs in with an e-mail address, as Libsyn's FTP log-in does.
class LibsynServerEnvironment : public ::testing::Environment
{
public:
    static inline const QString Email = QStringLiteral("host@example.com");
    static inline const QString Password = QStringLiteral("ftp pass word");

    void SetUp() override;
    void TearDown() override;

    // The running server; only between SetUp and TearDown.
    static FtpTestServer& server();
};

} // namespace airlark::test
