#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>

namespace airlark::test {

// The built `airlark` executable run as a child process in a runtime directory of its own (so
// its single-instance socket meets no other test's), on the offscreen platform unless told
// otherwise. A process still running when this goes away is killed.
class AirlarkProcess
{
public:
    explicit AirlarkProcess(const QString& runtimeDirectory);
    ~AirlarkProcess();

    static QString executable();

    void setPlatform(const QString& platform) { platform_ = platform; }
    void start(const QStringList& arguments = {});
    bool waitForExit(std::chrono::milliseconds timeout);
    // Spins the event loop until the process's standard error holds `text` (or timeout).
    bool waitForStandardError(const QString& text, std::chrono::milliseconds timeout);
    QString standardError();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    int exitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }

private:
    QProcess process_;
    QString runtimeDirectory_;
    QString platform_ = QStringLiteral("offscreen");
    QString standardError_;
};

// A private runtime directory, mode 0700 as XDG requires.
class RuntimeDirectory
{
public:
    RuntimeDirectory();
    QString path() const { return directory_.path(); }
    QString socketPath() const;

private:
    QTemporaryDir directory_;
};

} // namespace airlark::test
