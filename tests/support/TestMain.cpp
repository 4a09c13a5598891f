// Entry point of every test executable: inside a private session only (see TestEnvironment.h), a
// QApplication on the offscreen platform.
#include "support/TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = airlark::test::enterPrivateSession(argv))
        return *status;

    // Real widgets, without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    airlark::test::applyTestApplicationIdentity();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
