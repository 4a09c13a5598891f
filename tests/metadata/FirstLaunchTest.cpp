// The real `airlark` executable started with an empty data directory: it shows step 1 and its
// first template-list load creates its tables.
#include "TableStatements.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace airlark {
namespace {

TEST(FirstLaunchTest, AnEmptyDataDirectoryGetsTheDatabaseWithItsTables)
{
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("data"));
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess airlark;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    airlark.setProcessEnvironment(environment);
    airlark.setProcessChannelMode(QProcess::MergedChannels);
    airlark.start(test::binaryPath(QStringLiteral("src/app/airlark")), {});
    ASSERT_TRUE(airlark.waitForStarted(10000));

    const QString database = data + QStringLiteral("/org.airlark.Airlark/database.sqlite3");
    const bool created =
        test::waitFor([&] { return test::tableStatements(database).size() == 3; }, std::chrono::seconds(20));
    airlark.terminate();
    if (!airlark.waitForFinished(5000))
        airlark.kill();
    ASSERT_TRUE(created) << airlark.readAll().toStdString();
    EXPECT_EQ(test::tableStatements(database), test::expectedTableStatements());
}

} // namespace
} // namespace airlark
