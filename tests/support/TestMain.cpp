// Entry point of every test executable: a QApplication on the offscreen platform, with private
// data, config and cache directories so that no test touches the developer's own files.
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // CTest also runs the executable to list its tests, outside any display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/airlark-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    airlark::test::usePrivateDirectories(home.path());

    QApplication app(argc, argv);
    airlark::test::applyTestApplicationIdentity();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
