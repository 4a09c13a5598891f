// No test may write to the developer's own keyring: every test executable runs only inside a
// private session and starts one of its own when it is not in one. Here this session stands for
// the developer's: the executable runs itself as a child in each environment below, and the child
// writes a credential item wherever it ends up running.
#include "store/CredentialStore.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <functional>

namespace airlark::test {
namespace {

// Runs only as the child (by hand it needs --gtest_also_run_disabled_tests).
TEST(PrivateSessionProbe, DISABLED_WritesACredentialItem)
{
    ASSERT_FALSE(CredentialStore::updateData({{QStringLiteral("password"), QStringLiteral("probe")}},
                                             qEnvironmentVariable("AIRLARK_PROBE_KEY"),
                                             QStringLiteral("Libsyn")));
}

struct ChildEnvironment
{
    // Changes the child's copy of this process's environment; `elsewhere` is an empty folder.
    std::function<void(QProcessEnvironment&, const QString& elsewhere)> change;
    bool insideThisSession;
};

class PrivateSessionGuardTest : public ::testing::TestWithParam<Case<ChildEnvironment>>
{
};

TEST_P(PrivateSessionGuardTest, ChildWritesHereOnlyWhenInsideThisSession)
{
    ASSERT_TRUE(insidePrivateSession());
    QTemporaryDir elsewhere;
    const QString key = QStringLiteral("Libsyn-guard-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AIRLARK_PROBE_KEY"), key);
    GetParam().value.change(environment, elsewhere.path());

    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=PrivateSessionProbe.*")});
    ASSERT_TRUE(child.waitForFinished(60'000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString()
                                   << child.readAllStandardError().toStdString();
    EXPECT_EQ(CredentialStore::loadData(key, QStringLiteral("Libsyn")).has_value(),
              GetParam().value.insideThisSession);
}

void removeSessionName(QProcessEnvironment& environment, const QString&)
{
    environment.remove(QStringLiteral("AIRLARK_TEST_SESSION"));
}

void nameAFolderOfAnotherBus(QProcessEnvironment& environment, const QString& elsewhere)
{
    QFile record(elsewhere + QStringLiteral("/bus-address"));
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write("unix:path=/nonexistent/another-bus");
    environment.insert(QStringLiteral("AIRLARK_TEST_SESSION"), elsewhere);
}

void moveTheDataFolderOut(QProcessEnvironment& environment, const QString& elsewhere)
{
    environment.insert(QStringLiteral("XDG_DATA_HOME"), elsewhere);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, PrivateSessionGuardTest,
    ::testing::Values(
        // The control: a child rightly inside this session writes here.
        Case<ChildEnvironment>{"inside this session", {[](auto&, const auto&) {}, true}},
        Case<ChildEnvironment>{"no session named", {removeSessionName, false}},
        Case<ChildEnvironment>{"a session folder of another bus", {nameAFolderOfAnotherBus, false}},
        Case<ChildEnvironment>{"data folder outside the session", {moveTheDataFolderOut, false}}));

} // namespace
} // namespace airlark::test
