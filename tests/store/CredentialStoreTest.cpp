#include "store/CredentialStore.h"

#include "store/Account.h"
#include "support/LogCapture.h"
#include "support/StandardOutputCapture.h"
#include "support/StoreFixture.h"

#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QRandomGenerator>
#include <QUuid>

namespace airlark::test {
namespace {

class CredentialStoreTest : public StoreTest
{
protected:
    // Identifiers no other case has used: every case of this executable shares its session's keyring.
    static qint64 freshId() { return qint64(QRandomGenerator::global()->generate64() >> 20); }
};

// Each account reads its own item only, and saving again replaces it: the Secret Service then
// holds exactly one item for the account.
TEST_F(CredentialStoreTest, EachAccountHasOneItemThatSavingReplaces)
{
    const qint64 first = freshId();
    const qint64 second = freshId();
    const QString one = QString::fromUtf8("p\xC3\xA4ss \"w\xC3\xB6rd\" \xF0\x9F\x94\x91 ;--");
    ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), first, QStringLiteral("replaced")));
    ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), first, one));
    ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), second, QStringLiteral("two")));
    // Identifiers that share a prefix stay apart (7 is not 70).
    ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), first * 10, QStringLiteral("ten times")));
    EXPECT_EQ(Account::loadPassword(QStringLiteral("Libsyn"), first), one);
    EXPECT_EQ(Account::loadPassword(QStringLiteral("Libsyn"), second), QStringLiteral("two"));
    // The same identifier under another host is another item.
    EXPECT_FALSE(Account::loadPassword(QStringLiteral("SoundCloud"), first));

    using Attributes = QMap<QString, QString>;
    qDBusRegisterMetaType<Attributes>();
    QDBusInterface service(QStringLiteral("org.freedesktop.secrets"),
                           QStringLiteral("/org/freedesktop/secrets"),
                           QStringLiteral("org.freedesktop.Secret.Service"));
    const QDBusReply<QList<QDBusObjectPath>> unlocked = service.call(
        QStringLiteral("SearchItems"),
        QVariant::fromValue(Attributes{{QStringLiteral("user"), QStringLiteral("Libsyn-%1").arg(first)},
                                       {QStringLiteral("server"), QStringLiteral("Libsyn")}}));
    ASSERT_TRUE(unlocked.isValid()) << unlocked.error().message().toStdString();
    EXPECT_EQ(unlocked.value().size(), 1);
}

// Items that exist but hold no text "password" give no password.
TEST_F(CredentialStoreTest, AnItemWithoutATextPasswordLoadsNone)
{
    const QVariantMap items[] = {{},
                                 {{QStringLiteral("Password"), QStringLiteral("wrong key")}},
                                 {{QStringLiteral("password"), 42}},
                                 {{QStringLiteral("password"), QVariantList{QStringLiteral("a")}}},
                                 {{QStringLiteral("password"), QVariant()}}};
    for (const QVariantMap& item : items) {
        SCOPED_TRACE(&item - items);
        const qint64 id = freshId();
        const QString userAccount = Account::credentialUserAccount(QStringLiteral("Libsyn"), id);
        ASSERT_FALSE(CredentialStore::updateData(item, userAccount, QStringLiteral("Libsyn")));
        EXPECT_TRUE(CredentialStore::loadData(userAccount, QStringLiteral("Libsyn")));
        EXPECT_FALSE(Account::loadPassword(QStringLiteral("Libsyn"), id));
    }
}

TEST_F(CredentialStoreTest, PasswordNeverReachesTheDatabaseOrStandardOutputOrTheLog)
{
    const QString password =
        QStringLiteral("Zq9-unique-password-") + QUuid::createUuid().toString(QUuid::Id128);
    LogCapture log;
    StandardOutputCapture output;

    const Database database = openWithTables();
    const auto created =
        Account::createAccount(database, QStringLiteral("me"), QStringLiteral("Libsyn"),
                               LibsynAccountFeedType::Libsyn, QStringLiteral("me@example.org"));
    ASSERT_TRUE(created);
    ASSERT_FALSE(Account::savePassword(created->host, created->id, password));
    EXPECT_EQ(Account::loadPassword(created->host, created->id), password);

    EXPECT_FALSE(output.release().join(QLatin1Char('\n')).contains(password));
    EXPECT_FALSE(log.messages().join(QLatin1Char('\n')).contains(password));
    EXPECT_FALSE(anyFileContains(dataHome(), password.toUtf8()));
}

} // namespace
} // namespace airlark::test
