// No test may write to the developer's own keyring: every test executable runs only inside a
// private session and starts one of its own when it is not in one. Here this session stands for
// the developer's: the executable runs itself as a child in each environment below, and the child
// writes a credential item wherever it ends up running.
#include "StoreFixture.h"
#include "store/CredentialStore.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <functional>
#include <iostream>

namespace airlark::test {
namespace {

const QString ProbeService = QStringLiteral("Libsyn");

// Runs only as the child (run by hand it needs --gtest_also_run_disabled_tests).
TEST(PrivateSessionProbe, DISABLED_WritesACredentialItem)
{
    const QString key = qEnvironmentVariable("AIRLARK_PROBE_KEY");
    ASSERT_FALSE(key.isEmpty());
    ASSERT_FALSE(CredentialStore::updateData({{QStringLiteral("password"), QStringLiteral("probe")}}, key,
                                             ProbeService));
    std::cout << "probe session: " << qgetenv("AIRLARK_TEST_SESSION").constData() << std::endl;
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

TEST_P(PrivateSessionGuardTest, WritesInThisSessionOnlyWhenInsideIt)
{
    ASSERT_TRUE(insidePrivateSession());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString key = QStringLiteral("Libsyn-guard-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AIRLARK_PROBE_KEY"), key);
    GetParam().value.change(environment, elsewhere.path());
    const bool staysHere = GetParam().value.insideThisSession;

    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=PrivateSessionProbe.*")});
    ASSERT_TRUE(child.waitForFinished(60'000)) << "the child did not finish";
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    ASSERT_EQ(child.exitCode(), 0) << output.toStdString() << child.readAllStandardError().toStdString();

    const qsizetype line = output.indexOf(QStringLiteral("probe session: "));
    ASSERT_NE(line, -1) << output.toStdString();
    const QString childSession = output.mid(line + 15).section(QLatin1Char('\n'), 0, 0);
    EXPECT_EQ(childSession == qEnvironmentVariable("AIRLARK_TEST_SESSION"), staysHere)
        << childSession.toStdString();
    EXPECT_EQ(CredentialStore::loadData(key, ProbeService).has_value(), staysHere);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, PrivateSessionGuardTest,
    ::testing::Values(
        // The control: a child rightly inside this session writes here.
        Case<ChildEnvironment>{"InsideThisSession", {[](QProcessEnvironment&, const QString&) {}, true}},
        Case<ChildEnvironment>{"NoSessionNamed",
                               {[](QProcessEnvironment& environment, const QString&) {
                                    environment.remove(QStringLiteral("AIRLARK_TEST_SESSION"));
                                },
                                false}},
        Case<ChildEnvironment>{"SessionFolderOfAnotherBus",
                               {[](QProcessEnvironment& environment, const QString& elsewhere) {
                                    QFile record(elsewhere + QStringLiteral("/bus-address"));
                                    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
                                    record.write("unix:path=/nonexistent/another-bus");
                                    environment.insert(QStringLiteral("AIRLARK_TEST_SESSION"), elsewhere);
                                },
                                false}},
        Case<ChildEnvironment>{"DataFolderOutsideTheSession",
                               {[](QProcessEnvironment& environment, const QString& elsewhere) {
                                    environment.insert(QStringLiteral("XDG_DATA_HOME"), elsewhere);
                                },
                                false}}));

} // namespace
} // namespace airlark::test
