// Runs where the credential store cannot keep a password: the Secret Service's default collection
// is locked, as a screen lock leaves it. (With no Secret Service at all the pane takes the same
// path; the store's own test covers that refusal.)
#include "LibsynPaneFixture.h"

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace airlark {
namespace {

using test::LibsynPaneTest;
using test::LibsynServerEnvironment;

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

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

TEST_F(LibsynPaneTest, PasswordThatCannotBeStoredKeepsTheWindowOpen)
{
    AddPodcastHostViewController& window = presentLibsyn();
    fill(QStringLiteral("myshow"), LibsynServerEnvironment::Password);
    logIn();
    ASSERT_TRUE(addEnabled());
    ASSERT_TRUE(lockKeyring());

    for (int press = 1; press <= 2; ++press) {
        window.addButton()->click();
        ASSERT_TRUE(test::waitFor([this] { return addEnabled(); })) << "Add can be pressed again";
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(libsynPane_->statusLabel()->text().startsWith(
            QStringLiteral("The password could not be saved in the keyring: ")));
        EXPECT_TRUE(Account::selectAll(*database).empty())
            << "no account without its password, press " << press;
    }
}

} // namespace
} // namespace airlark
