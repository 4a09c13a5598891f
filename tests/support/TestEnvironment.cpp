#include "support/TestEnvironment.h"

#include "platform/ApplicationIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace airlark::test {

namespace {

// Set across the restart, so that a session that does not take stops the tests instead of
// restarting them again and again.
const char* const RestartedVariable = "AIRLARK_TEST_SESSION_RESTARTED";

bool unreachableSessionBusRequested = false;

} // namespace

bool insidePrivateSession()
{
    const QString root = QDir::cleanPath(qEnvironmentVariable("AIRLARK_TEST_SESSION"));
    if (root.isEmpty() || !QDir::isAbsolutePath(root))
        return false;
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    QFile record(root + QStringLiteral("/bus-address"));
    if (bus.isEmpty() || !record.open(QIODevice::ReadOnly) || record.readAll() != bus)
        return false;
    for (const char* variable :
         {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        if (!QDir::cleanPath(qEnvironmentVariable(variable)).startsWith(root + QLatin1Char('/')))
            return false;
    }
    return true;
}

std::optional<int> enterPrivateSession(char** argv)
{
    if (insidePrivateSession()) {
        qunsetenv(RestartedVariable);
        if (unreachableSessionBusRequested)
            qputenv("DBUS_SESSION_BUS_ADDRESS",
                    "unix:path=" + qgetenv("AIRLARK_TEST_SESSION") + "/nonexistent-session-bus");
        return std::nullopt;
    }
    if (qEnvironmentVariableIsSet(RestartedVariable)) {
        std::fprintf(stderr, "%s: the private test session did not start; no test runs\n", argv[0]);
        return 2;
    }
    const char* const script = AIRLARK_SOURCE_DIR "/scripts/with-test-session.sh";
    std::fprintf(stderr, "%s: not inside a private test session; starting one with %s\n", argv[0], script);
    qputenv(RestartedVariable, "1");
    const QByteArray executable =
        QFile::encodeName(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    std::vector<char*> arguments{const_cast<char*>(script), const_cast<char*>(executable.constData())};
    for (char** argument = argv + 1; *argument; ++argument)
        arguments.push_back(*argument);
    arguments.push_back(nullptr);
    execv(script, arguments.data());
    std::fprintf(stderr, "%s: cannot run %s: %s\n", argv[0], script, std::strerror(errno));
    return 2;
}

bool requestUnreachableSessionBus()
{
    return unreachableSessionBusRequested = true;
}

void applyTestApplicationIdentity()
{
    airlark::applyApplicationIdentity();
}

QString dataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') +
           airlark::applicationIdentifier();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

QString binaryPath(const QString& relative)
{
    return QStringLiteral(AIRLARK_BINARY_DIR "/") + relative;
}

namespace {
long long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf(field);
    return at < 0 ? 0 : text.mid(at + qstrlen(field)).trimmed().split(' ').first().toLongLong();
}
} // namespace

PeakMemoryGrowth::PeakMemoryGrowth()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // the high-water mark starts again from now
    before_ = statusKiB("VmRSS:");
}

long long PeakMemoryGrowth::mebibytes() const
{
    return (statusKiB("VmHWM:") - before_) / 1024;
}

} // namespace airlark::test
