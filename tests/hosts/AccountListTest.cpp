// Step 3's account list through its real widgets, over a real store and the session's keyring.
#include "hosts/SoundCloudAPIClient.h"
#include "hosts/SoundCloudEndpoints.h"
#include "hosts/ui/SelectPodcastHostViewController.h"
#include "store/CredentialStore.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace airlark {
namespace {

struct AccountChange
{
    const char* name;
    int row;        // 0: the Libsyn account, 1: the SoundCloud account
    int key;        // F2 renames, Delete asks first
    QString answer; // the new name, or the confirmation's button
    QStringList after;
    bool itemKept; // the account's credential item is still in the keyring
};

class AccountListTest : public test::StoreTest, public ::testing::WithParamInterface<AccountChange>
{
protected:
    QStringList rows() const
    {
        QStringList shown;
        for (int row = 0; row < screen->tableView()->model()->rowCount(); ++row)
            shown << screen->tableView()->model()->index(row, 0).data().toString();
        return shown;
    }

    void SetUp() override
    {
        StoreTest::SetUp();
        database.emplace(openWithTables());
        screen.emplace(SelectPodcastHostViewController::Providers{
            {}, {}, [this](const AccountQueryResult& account) { rechecked = account; }});
    }

    std::optional<Database> database;
    std::optional<AccountQueryResult> rechecked;
    std::optional<SelectPodcastHostViewController> screen;
};

// Each row says what tells the account apart; the chosen one is renamed or deleted from the
// keyboard, and deleting it removes its secret from the keyring too.
TEST_P(AccountListTest, RenamesAndDeletesTheChosenAccountWithItsSecret)
{
    const AccountChange& change = GetParam();
    const qint64 libsyn =
        Account::createAccount(*database, QStringLiteral("lark-show"), QStringLiteral("Libsyn"),
                               LibsynAccountFeedType::External, QStringLiteral("ada@example.com"))
            ->id;
    const qint64 soundCloud =
        Account::createAccount(*database, QStringLiteral("Ada"), QStringLiteral("SoundCloud"),
                               LibsynAccountFeedType::Libsyn, std::nullopt)
            ->id;
    ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), libsyn, QStringLiteral("pa55")));
    const QString tokensService = SoundCloudAPIClient::keychainService(SoundCloudEndpoints::current());
    ASSERT_FALSE(CredentialStore::updateData({{QStringLiteral("access_token"), QStringLiteral("t")},
                                              {QStringLiteral("username"), QStringLiteral("ada-sc")}},
                                             QString::number(soundCloud), tokensService));
    const Account::CredentialItem items[] = {Account::passwordItem(QStringLiteral("Libsyn"), libsyn),
                                             {QString::number(soundCloud), tokensService}};
    screen->show();
    ASSERT_TRUE(test::waitFor([this] {
        return rows() == QStringList{"lark-show\u2014Libsyn\nExternal feed \u00b7 ada@example.com",
                                     "Ada\u2014SoundCloud\nada-sc"};
    })) << rows().join(u'|').toStdString();
    EXPECT_TRUE(screen->noteLabel()->isHidden());

    QTableView* table = screen->tableView();
    table->selectRow(change.row);
    table->activateWindow();
    table->setFocus();
    QTest::keyClick(table, Qt::Key(change.key));
    if (change.key == Qt::Key_F2 && change.row == 0) {
        ASSERT_TRUE(rechecked) << "a Libsyn name is its show folder: it changes through a new check";
        EXPECT_EQ(rechecked->email, QStringLiteral("ada@example.com"));
    } else if (change.key == Qt::Key_F2) {
        auto* editor = table->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, change.answer);
        QTest::keyClick(editor, Qt::Key_Return);
    } else {
        auto* box = screen->findChild<QMessageBox*>(QStringLiteral("deleteConfirmation"));
        ASSERT_TRUE(box);
        EXPECT_NE(box->defaultButton(), box->findChild<QPushButton*>(QStringLiteral("deleteButton")));
        box->findChild<QPushButton*>(change.answer)->click();
    }
    QStringList names;
    EXPECT_TRUE(test::waitFor([&] {
        names.clear();
        for (const auto& account : Account::selectAll(*database))
            names << account.displayName;
        return names == change.after && rows().size() == change.after.size();
    })) << names.join(u',').toStdString();
    const auto item = CredentialStore::readData(items[change.row].userAccount, items[change.row].service);
    EXPECT_EQ(item ? std::optional<CredentialStoreError::Code>() : item.error().code,
              change.itemKept ? std::nullopt : std::optional(CredentialStoreError::Code::NotFound));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, AccountListTest,
    ::testing::Values(
        AccountChange{"RenameSoundCloud", 1, Qt::Key_F2, "Ada's Larks", {"lark-show", "Ada's Larks"}, true},
        AccountChange{"RenameLibsynChecksItAgain", 0, Qt::Key_F2, {}, {"lark-show", "Ada"}, true},
        AccountChange{"DeleteLibsyn", 0, Qt::Key_Delete, "deleteButton", {"Ada"}, false},
        AccountChange{"DeleteSoundCloud", 1, Qt::Key_Delete, "deleteButton", {"lark-show"}, false},
        AccountChange{"KeepAfterAll", 0, Qt::Key_Delete, "keepButton", {"lark-show", "Ada"}, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace airlark
