#pragma once

#include "platform/NotificationCenter.h"
#include "store/Account.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace airlark::test {

// Gives each test an empty store of its own (a fresh XDG_DATA_HOME with both tables).
class HostsTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    Database database() const;
    qint64 addAccount(const QString& displayName, const QString& host,
                      LibsynAccountFeedType feedType = LibsynAccountFeedType::Libsyn,
                      const std::optional<QString>& email = QStringLiteral("me@example.com"));

private:
    QTemporaryDir dataHome_;
    QByteArray previousDataHome_;
};

// Counts "availableAccountsDidChange" posts while it lives.
class AccountChangeCounter
{
public:
    AccountChangeCounter()
    {
        observation_.observe(this, Account::availableAccountsDidChangeNotificationName,
                             [this](const NotificationCenter::Notification&) { ++count_; });
    }
    int count() const { return count_; }

private:
    int count_ = 0;
    ScopedObservation observation_;
};

} // namespace airlark::test
