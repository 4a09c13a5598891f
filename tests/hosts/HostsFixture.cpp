#include "HostsFixture.h"

#include "store/Database.h"

namespace airlark::test {

void HostsTest::SetUp()
{
    ASSERT_TRUE(dataHome_.isValid());
    previousDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome_.path().toUtf8());
    const auto opened = Database::open();
    ASSERT_TRUE(opened);
    ASSERT_FALSE(opened->createTables());
}

void HostsTest::TearDown()
{
    qputenv("XDG_DATA_HOME", previousDataHome_);
}

Database HostsTest::database() const
{
    auto opened = Database::open();
    EXPECT_TRUE(opened);
    return *opened;
}

qint64 HostsTest::addAccount(const QString& displayName, const QString& host, LibsynAccountFeedType feedType,
                             const std::optional<QString>& email)
{
    const auto created = Account::createAccount(database(), displayName, host, feedType, email);
    EXPECT_TRUE(created);
    return created ? created->id : -1;
}

} // namespace airlark::test
