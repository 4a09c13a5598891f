// Step 3's account list against a store that another program (the sqlite3 shell) holds.
#include "hosts/ui/SelectPodcastHostViewController.h"
#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace airlark {
namespace {

struct LockCase
{
    const char* name;
    int heldMilliseconds; // the store's busy time-out is 5 s
    bool failsFirst;
};

class AccountListLockTest : public test::StoreTest, public ::testing::WithParamInterface<LockCase>
{
};

// The list is read off the main thread, which keeps handling events while the lock is waited
// out; a lock held past the time-out says so in place of the list and leaves the file as it is,
// and Try Again reads it once it is free. A new account reloads the list, and the selection stays
// with its account.
TEST_P(AccountListLockTest, WaitsForTheStoreWithoutFreezing)
{
    const LockCase& c = GetParam();
    const Database database = openWithTables();
    const qint64 first = Account::createAccount(database, QStringLiteral("Weekly"), QStringLiteral("Libsyn"),
                                                LibsynAccountFeedType::Libsyn, std::nullopt)
                             ->id;
    const QString file = databasePath();
    QProcess holder;
    holder.start(QStringLiteral("sqlite3"), {file});
    holder.write("BEGIN EXCLUSIVE;\nSELECT 'held';\n");
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    const QByteArray before = test::readFile(file);
    QTimer::singleShot(c.heldMilliseconds, [&holder] { holder.closeWriteChannel(); });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);

    SelectPodcastHostViewController step({});
    SelectPodcastHostViewModel& model = step.viewModel();
    EXPECT_EQ(step.noteLabel()->text(), QStringLiteral("Reading the accounts\u2026"));
    ASSERT_TRUE(test::waitFor([&] { return !model.isReadingAccounts(); }));
    EXPECT_GT(ticks, c.heldMilliseconds / 100) << "the window kept handling events";
    EXPECT_EQ(model.accountsFailure().has_value(), c.failsFirst);
    if (c.failsFirst) {
        EXPECT_TRUE(step.noteLabel()->text().startsWith(QStringLiteral("Airlark cannot read its accounts")));
        EXPECT_FALSE(step.tryAgainButton()->isHidden());
        EXPECT_EQ(step.tableView()->model()->rowCount(), 0);
        EXPECT_EQ(test::readFile(file), before);
        ASSERT_TRUE(test::waitFor([&] { return holder.state() == QProcess::NotRunning; }));
        step.tryAgainButton()->click();
        ASSERT_TRUE(test::waitFor([&] { return !model.isReadingAccounts(); }));
    }
    EXPECT_TRUE(step.noteLabel()->isHidden());
    EXPECT_TRUE(step.tryAgainButton()->isHidden());
    ASSERT_EQ(step.tableView()->model()->rowCount(), 1);

    step.tableView()->selectRow(0);
    ASSERT_TRUE(Account::createAccount(database, QStringLiteral("Daily"), QStringLiteral("SoundCloud"),
                                       LibsynAccountFeedType::Libsyn, std::nullopt));
    ASSERT_TRUE(test::waitFor([&] { return step.tableView()->model()->rowCount() == 2; }));
    EXPECT_EQ(model.selectedAccountID(), first);
    EXPECT_TRUE(model.canAdvance());
    EXPECT_TRUE(test::waitFor([&] { return holder.state() == QProcess::NotRunning; }));
}

INSTANTIATE_TEST_SUITE_P(Holders, AccountListLockTest,
                         ::testing::Values(LockCase{"releasedInTime", 1000, false},
                                           LockCase{"heldPastTheTimeOut", 7000, true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace airlark
