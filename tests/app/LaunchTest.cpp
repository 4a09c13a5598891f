#include "AirlarkProcess.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace airlark;
using namespace std::chrono_literals;

namespace {

// Under a real X server the main window appears, titled Airlark, and the process stays up.
TEST(Launch, ShowsTheMainWindowUnderAnXServer)
{
    for (const char* tool : {"xvfb-run", "xwininfo"})
        ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            << tool << " is missing";
    test::RuntimeDirectory runtime;
    const QString script = QStringLiteral(R"(
        "$AIRLARK" 2>"$XDG_RUNTIME_DIR/airlark.log" &
        pid=$!
        found=0
        for attempt in $(seq 1 75); do
            if xwininfo -root -tree 2>/dev/null | grep -q '"Airlark": ("airlark"'; then found=1; break; fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.2
        done
        sleep 1
        kill -0 "$pid" 2>/dev/null && alive=1 || alive=0
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        echo "found=$found alive=$alive"
        [ "$found" = 1 ] && [ "$alive" = 1 ] || { cat "$XDG_RUNTIME_DIR/airlark.log"; exit 1; }
    )");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("AIRLARK"), test::AirlarkProcess::executable());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // xvfb-run -a picks a free display number, but a server started by another test at the same
    // moment can take it first; the X server then fails to start and another attempt is fair.
    QString output;
    int exitCode = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess xvfb;
        xvfb.setProcessEnvironment(environment);
        xvfb.setProcessChannelMode(QProcess::MergedChannels);
        xvfb.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"),
                                                QStringLiteral("-screen 0 1280x1024x24 -nolisten tcp"),
                                                QStringLiteral("bash"), QStringLiteral("-c"), script});
        ASSERT_TRUE(xvfb.waitForStarted(10000));
        const bool finished = test::waitFor([&] { return xvfb.state() == QProcess::NotRunning; }, 60s);
        if (!finished) {
            xvfb.kill();
            xvfb.waitForFinished(5000);
        }
        ASSERT_TRUE(finished) << "the X session did not end in time";
        output = QString::fromUtf8(xvfb.readAll());
        exitCode = xvfb.exitCode();
        if (!output.contains(QStringLiteral("Xvfb failed to start")))
            break;
    }
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("found=1 alive=1"))) << output.toStdString();
}

} // namespace
