#include "platform/ApplicationIdentity.h"
#include "store/Account.h"
#include "store/ID3Template.h"
#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace airlark;
using namespace airlark::test;

namespace {

struct Outcome
{
    int status = -1;
    QString out, err;
};

Outcome run(const QString& program, const QStringList& arguments, const QString& folder = {})
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not end";
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The package is built and unpacked once: scripts/package.sh on this build folder, then dpkg -x
// into a folder that stands for the root of the system it is installed on.
class Package : public StoreTest
{
protected:
    static void SetUpTestSuite()
    {
        if (!hasDpkg())
            return;
        const Outcome built = run(QStringLiteral(AIRLARK_SOURCE_DIR "/scripts/package.sh"), {binaryPath({})});
        ASSERT_EQ(built.status, 0) << built.err.toStdString();
        deb = new QString(built.out.trimmed());
        root = new QTemporaryDir;
        ASSERT_EQ(run(QStringLiteral("dpkg"), {"-x", *deb, root->path()}).status, 0);
    }
    static void TearDownTestSuite()
    {
        delete deb;
        delete root;
    }

    void SetUp() override
    {
        if (!hasDpkg())
            GTEST_SKIP() << "dpkg-deb is not installed: no Debian package is built here";
        ASSERT_TRUE(deb) << "the package was not built";
        StoreTest::SetUp();
        // Two templates and two accounts, one name with a space and one with a quote in it.
        const Database database = openWithTables();
        for (const char* name : {"Weekly", "Bonus \"Live\" Show"})
            ASSERT_TRUE(ID3TemplateQueryBuilder(database, QString::fromUtf8(name)).insert());
        ASSERT_TRUE(Account::insert(database, QStringLiteral("My Show"), QStringLiteral("Libsyn"),
                                    LibsynAccountFeedType::Libsyn, QStringLiteral("me@example.org")));
        ASSERT_TRUE(Account::insert(database, QStringLiteral("Cloud"), QStringLiteral("SoundCloud"),
                                    LibsynAccountFeedType::Undefined, std::nullopt));
    }

    static bool hasDpkg() { return !QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty(); }
    static QString installed(const QString& path) { return root->filePath(path.mid(1)); }

    // What the installed bash completion offers for a command line whose last word is being typed,
    // run in `folder` with bash-completion's own functions loaded, as an interactive shell has them.
    static QStringList complete(const QStringList& words, const QString& folder)
    {
        const QString script = QStringLiteral(R"(
            source /usr/share/bash-completion/bash_completion
            source "$0"
            COMP_WORDS=("$@")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMP_LINE="${COMP_WORDS[*]}"
            COMP_POINT=${#COMP_LINE}
            _airlark "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf '%s\n' "${COMPREPLY[@]}")");
        const Outcome completed = run(
            QStringLiteral("bash"),
            QStringList{"-c", script, installed("/usr/share/bash-completion/completions/airlark")} + words,
            folder);
        EXPECT_EQ(completed.status, 0) << completed.err.toStdString();
        QStringList offered = completed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        offered.sort();
        return offered;
    }

    static inline QString* deb = nullptr;
    static inline QTemporaryDir* root = nullptr;
};

TEST_F(Package, HoldsTheDesktopIntegrationAndPassesDebiansChecks)
{
    const QString id = applicationIdentifier();
    const QString listing = run(QStringLiteral("dpkg-deb"), {"--contents", *deb}).out;
    QStringList expected{"/usr/bin/airlark",
                         "/usr/share/applications/" + id + ".desktop",
                         "/usr/share/metainfo/" + id + ".metainfo.xml",
                         "/usr/share/icons/hicolor/scalable/apps/" + id + ".svg",
                         "/usr/share/man/man1/airlark.1.gz",
                         "/usr/share/bash-completion/completions/airlark",
                         "/usr/share/airlark/translations/airlark.qm",
                         "/usr/share/doc/airlark/copyright",
                         "/usr/share/doc/airlark/changelog.gz"};
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id);
    for (const QString& path : expected)
        EXPECT_TRUE(listing.contains(QStringLiteral(" .") + path + QLatin1Char('\n'))) << path.toStdString();
    // Nothing outside /usr, and nothing of the build or the tests.
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(QStringLiteral(" ./usr/")) || line.endsWith(QStringLiteral(" ./")))
            << line.toStdString();

    // The PNGs are drawn at their size, and the libraries come from the binary's own needs.
    const QString icon48 = installed("/usr/share/icons/hicolor/48x48/apps/" + id + ".png");
    EXPECT_EQ(QImage(icon48).size(), QSize(48, 48));
    const QString depends = run(QStringLiteral("dpkg-deb"), {"--field", *deb, "Depends"}).out;
    for (const char* library :
         {"libqt6widgets6", "libqt6svg6", "libtag1v5", "libcurl4", "libqt6keychain1", "libsqlite3-0"})
        EXPECT_TRUE(depends.contains(QLatin1String(library))) << depends.toStdString();

    const QString entry = installed("/usr/share/applications/" + id + ".desktop");
    const QString metainfo = installed("/usr/share/metainfo/" + id + ".metainfo.xml");
    for (const auto& [program, arguments] : std::initializer_list<std::pair<QString, QStringList>>{
             {"lintian", {"--fail-on", "error", *deb}},
             {"appstreamcli", {"validate", "--no-net", metainfo}},
             {"desktop-file-validate", {entry}},
             {"man", {"--warnings", "--local-file", installed("/usr/share/man/man1/airlark.1.gz")}},
         }) {
        const Outcome checked = run(program, arguments);
        EXPECT_EQ(checked.status, 0) << program.toStdString() << "\n"
                                     << checked.out.toStdString() << checked.err.toStdString();
        // Lintian's warnings are reviewed by hand; the manual page renders without any.
        if (program == QStringLiteral("man")) {
            EXPECT_EQ(checked.err, QString());
        }
    }
    const QByteArray desktop = readFile(entry);
    for (const QByteArray& line :
         QByteArrayList{"\nExec=/usr/bin/airlark %u\n", "\nIcon=" + id.toUtf8() + "\n"})
        EXPECT_TRUE(desktop.contains(line)) << desktop.toStdString();
}

TEST_F(Package, InstalledProgramRunsAndItsManualAndCompletionKnowEveryOption)
{
    const QString airlark = installed(QStringLiteral("/usr/bin/airlark"));
    const Outcome version = run(airlark, {"--version"});
    EXPECT_EQ(version.out, applicationName() + QLatin1Char(' ') + applicationVersion() + QLatin1Char('\n'));
    // The manual page, the AppStream entry and the changelog name the release the program is.
    const QString manual =
        run(QStringLiteral("man"), {"--local-file", installed("/usr/share/man/man1/airlark.1.gz")}).out;
    const QString changelog =
        run(QStringLiteral("gzip"), {"-dc", installed("/usr/share/doc/airlark/changelog.gz")}).out;
    const QString metainfo = QString::fromUtf8(
        readFile(installed("/usr/share/metainfo/" + applicationIdentifier() + ".metainfo.xml")));
    EXPECT_TRUE(manual.contains(QStringLiteral("Airlark ") + applicationVersion())) << manual.toStdString();
    EXPECT_TRUE(changelog.startsWith(QStringLiteral("airlark (%1) ").arg(applicationVersion())));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<release version=\"%1\"").arg(applicationVersion())));

    const Outcome templates = run(airlark, {"templates", "--json"});
    EXPECT_EQ(templates.status, 0) << templates.err.toStdString();
    EXPECT_TRUE(templates.out.contains(QStringLiteral(R"("name": "Bonus \"Live\" Show")")))
        << templates.out.toStdString();

    // Every command and option the help lists is in the manual page and is offered by the
    // completion. Qt's help lists one option a line ("  -h, --help  Show …", "  --json  Print …"),
    // and the commands with their options: "  tag --template NAME …", "  templates [--json] …".
    const QRegularExpression option(QStringLiteral("^\\s+(?:-[a-zA-Z], )?(--[a-z-]+)"),
                                    QRegularExpression::MultilineOption);
    const QRegularExpression command(QStringLiteral("^  ([a-z]+) +(?:\\[|--)"),
                                     QRegularExpression::MultilineOption);
    QStringList commands{QString()};
    const QStringList offeredCommands = complete({airlark, {}}, QDir::tempPath());
    for (auto match = command.globalMatch(run(airlark, {"--help"}).out); match.hasNext();) {
        commands << match.next().captured(1);
        EXPECT_TRUE(manual.contains(commands.last()) && offeredCommands.contains(commands.last()))
            << commands.last().toStdString();
    }
    EXPECT_GE(commands.size(), 5);
    for (const QString& name : commands) {
        const QStringList words = name.isEmpty() ? QStringList{} : QStringList{name};
        const Outcome help = run(airlark, words + QStringList{"--help"});
        ASSERT_EQ(help.status, 0) << help.err.toStdString();
        const QStringList offered =
            complete(QStringList{airlark} + words + QStringList{"--"}, QDir::tempPath());
        for (auto match = option.globalMatch(help.out); match.hasNext();) {
            const QString found = match.next().captured(1);
            EXPECT_TRUE(manual.contains(found)) << found.toStdString();
            EXPECT_TRUE(offered.contains(found)) << name.toStdString() << " " << found.toStdString();
        }
    }
}

TEST_F(Package, BashCompletesCommandsStoredNamesAndEpisodes)
{
    QTemporaryDir folder;
    for (const char* name : {"episode 12.mp3", "notes.txt"})
        ASSERT_TRUE(writeFile(folder.filePath(QString::fromUtf8(name)), "x"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("drafts")));
    const QString airlark = installed(QStringLiteral("/usr/bin/airlark"));
    struct Row
    {
        QStringList words;
        QStringList offered;
    };
    for (const Row& row : std::initializer_list<Row>{
             {{"pu"}, {"publish"}},
             {{"publish", "--acc"}, {"--account"}},
             {{"publish", "--account", ""}, {"Cloud", "My\\ Show"}},
             {{"publish", "--account", "my"}, {}},
             {{"tag", "--template", "B"}, {"Bonus\\ \\\"Live\\\"\\ Show"}},
             {{"tag", "--template", "\"Bo"}, {"Bonus \"Live\" Show"}},
             {{"publish", "--account", "Cloud", ""}, {"drafts", "episode 12.mp3"}},
             {{"tag", "--chapters", "n"}, {"notes.txt"}},
             {{"templates", "--"}, {"--help", "--json"}},
         }) {
        const QStringList offered = complete(QStringList{airlark} + row.words, folder.path());
        EXPECT_EQ(offered, row.offered) << row.words.join(QLatin1Char(' ')).toStdString();
    }
}

} // namespace
