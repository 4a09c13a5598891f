#pragma once

#include "hosts/UploadDestination.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/ProgressNavigationControllerChild.h"
#include "store/Account.h"

#include <QTemporaryDir>
#include <QWidget>

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
    qint64 addPlaceholder();

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

// Step 4 as step 3 sees it: it records what it was handed.
class RecordingUploadStep : public QWidget, public ProgressNavigationControllerChild, public UploadDestination
{
public:
    NextStepAction nextStepAction() override { return NextStepAction::Right([] {}); }

    void setHost(std::optional<PodcastHost> value) override
    {
        host = value;
        ++handOffs;
    }
    void setUserIdentifier(std::optional<qint64> value) override { userIdentifier = value; }
    void setTags(const QStringList& value) override { tags = value; }
    void setAccountName(const QString& value) override { accountName = value; }

    std::optional<PodcastHost> host;
    QString accountName;
    std::optional<qint64> userIdentifier;
    QStringList tags;
    int handOffs = 0;
};

} // namespace airlark::test
