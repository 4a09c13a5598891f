// Runs where the credential store cannot keep a password: with the session bus pointing at nothing,
// or (AIRLARK_LOCKED_KEYRING) with the Secret Service's default collection locked, as a screen
// lock leaves it.
#include "LibsynPaneFixture.h"
#include "support/StandardOutputCapture.h"
#include "support/TestEnvironment.h"

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace airlark {
namespace {

using test::LibsynPaneTest;
using test::LibsynServerEnvironment;

#ifdef AIRLARK_LOCKED_KEYRING
bool lockKeyring()
{
    QDBusInterface service(QStringLiteral("org.freedesktop.secrets"),
                           QStringLiteral("/org/freedesktop/secrets"),
                           QStringLiteral("org.freedesktop.Secret.Service"));
    const QDBusReply<QDBusObjectPath> collection =
        service.call(QStringLiteral("ReadAlias"), QStringLiteral("default"));
    return collection.isValid() &&
           service.call(QStringLiteral("Lock"),
                        QVariant::fromValue(QList<QDBusObjectPath>{collection.value()}))
                   .type() == QDBusMessage::ReplyMessage;
}
#else
const bool unreachableSessionBus = test::requestUnreachableSessionBus();
#endif
const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

TEST_F(LibsynPaneTest, PasswordThatCannotBeStoredKeepsTheWindowOpen)
{
    auto* window = presentWindow();
    chooseLibsyn(*window);
    fill(LibsynServerEnvironment::Email, QStringLiteral("myshow"), LibsynServerEnvironment::Password);
    logIn();
    ASSERT_TRUE(addEnabled());
#ifdef AIRLARK_LOCKED_KEYRING
    ASSERT_TRUE(lockKeyring());
#endif

    for (int press = 1; press <= 2; ++press) {
        test::StandardOutputCapture output;
        window->addButton()->click();
        ASSERT_TRUE(test::waitFor([this] { return addEnabled(); })) << "Add can be pressed again";
        EXPECT_TRUE(output.release().contains(QStringLiteral("Error creating account")));
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(libsynPane_->statusLabel()->text().startsWith(
            QStringLiteral("The password could not be saved in the keyring: ")));
        EXPECT_TRUE(Account::selectAll(database()).empty())
            << "no account without its password, press " << press;
    }
}

} // namespace
} // namespace airlark
