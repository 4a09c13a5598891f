#include "AirlarkProcess.h"

#include "platform/ApplicationIdentity.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace airlark::test {

AirlarkProcess::AirlarkProcess(const QString& runtimeDirectory) : runtimeDirectory_(runtimeDirectory) {}

AirlarkProcess::~AirlarkProcess()
{
    if (isRunning()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString AirlarkProcess::executable()
{
    return binaryPath(QStringLiteral("src/app/airlark"));
}

void AirlarkProcess::start(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory_);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform_);
    process_.setProcessEnvironment(environment);
    process_.setProgram(executable());
    process_.setArguments(arguments);
    process_.start();
    process_.waitForStarted(10000);
}

bool AirlarkProcess::waitForExit(std::chrono::milliseconds timeout)
{
    return waitFor([this] { return !isRunning(); }, timeout);
}

QString AirlarkProcess::standardError()
{
    standardError_ += QString::fromUtf8(process_.readAllStandardError());
    return standardError_;
}

bool AirlarkProcess::waitForStandardError(const QString& text, std::chrono::milliseconds timeout)
{
    return waitFor([this, &text] { return standardError().contains(text); }, timeout);
}

RuntimeDirectory::RuntimeDirectory() : directory_(QDir::tempPath() + QStringLiteral("/airlark-run-XXXXXX"))
{
    QFile::setPermissions(directory_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString RuntimeDirectory::socketPath() const
{
    return path() + QLatin1Char('/') + applicationIdentifier() + QStringLiteral(".socket");
}

} // namespace airlark::test
