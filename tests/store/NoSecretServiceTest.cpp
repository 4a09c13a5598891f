// Runs with DBUS_SESSION_BUS_ADDRESS pointing at a socket that does not exist: no Secret Service
// can be reached. Saving must fail and loading find nothing, with no plain-text fallback.
#include "store/Account.h"
#include "store/CredentialStore.h"
#include "support/LogCapture.h"
#include "support/StandardOutputCapture.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>

namespace airlark::test {
namespace {

const bool unreachableSessionBus = requestUnreachableSessionBus();

using NoSecretServiceTest = StoreTest;

TEST_F(NoSecretServiceTest, SavingFailsAndLoadingFindsNothingWithoutPlainTextFallback)
{
    ASSERT_TRUE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(QStringLiteral("nonexistent")))
        << "this test must run with an unreachable session bus";
    const QString password = QStringLiteral("never-written-anywhere-7f3a");
    LogCapture log;
    StandardOutputCapture output;

    const auto timeout = std::chrono::seconds(30); // a missing bus must fail fast, not time out
    const std::optional<CredentialStoreError> error =
        CredentialStore::updateData(QVariantMap{{QStringLiteral("password"), password}},
                                    QStringLiteral("Libsyn-1"), QStringLiteral("Libsyn"), timeout);
    ASSERT_TRUE(error);
    EXPECT_NE(error->code, CredentialStoreError::Code::TimedOut);
    EXPECT_FALSE(error->message.contains(password));

    EXPECT_TRUE(Account::savePassword(QStringLiteral("Libsyn"), 1, password));
    EXPECT_FALSE(CredentialStore::loadData(QStringLiteral("Libsyn-1"), QStringLiteral("Libsyn"), timeout));
    EXPECT_FALSE(Account::loadPassword(QStringLiteral("Libsyn"), 1));

    EXPECT_FALSE(output.release().join(QLatin1Char('\n')).contains(password));
    EXPECT_FALSE(log.messages().join(QLatin1Char('\n')).contains(password));

    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString directory = qEnvironmentVariable(variable);
        if (!directory.isEmpty()) {
            EXPECT_FALSE(anyFileContains(directory, password.toUtf8())) << variable;
        }
    }
    EXPECT_FALSE(anyFileContains(QDir::homePath() + QStringLiteral("/.config"), password.toUtf8()));
}

} // namespace
} // namespace airlark::test
