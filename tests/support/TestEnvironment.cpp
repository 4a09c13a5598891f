#include "support/TestEnvironment.h"

#include "platform/ApplicationIdentity.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

namespace airlark::test {

void usePrivateDirectories(const QString& root)
{
    const auto make = [&root](const char* variable, const QString& name) {
        const QString path = root + QLatin1Char('/') + name;
        QDir().mkpath(path);
        qputenv(variable, QFile::encodeName(path));
        return path;
    };
    make("XDG_DATA_HOME", QStringLiteral("data"));
    make("XDG_CONFIG_HOME", QStringLiteral("config"));
    make("XDG_CACHE_HOME", QStringLiteral("cache"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = make("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
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

QString sourcePath(const QString& relative)
{
    return QStringLiteral(AIRLARK_SOURCE_DIR "/") + relative;
}

QString binaryPath(const QString& relative)
{
    return QStringLiteral(AIRLARK_BINARY_DIR "/") + relative;
}

} // namespace airlark::test
