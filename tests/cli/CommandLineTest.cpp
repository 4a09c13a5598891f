#include "hosts/SoundCloudAPIClient.h"
#include "hosts/SoundCloudAPIClientCredentials.h"
#include "hosts/SoundCloudEndpoints.h"
#include "platform/ApplicationIdentity.h"
#include "store/Account.h"
#include "store/ID3Template.h"
#include "support/HttpStandIn.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

using namespace airlark;
using namespace airlark::test;
using namespace std::chrono_literals;

namespace {

const auto* const libsynEnvironment = ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment);

struct Outcome
{
    int status = -1;
    QString out, err;
};

class CommandLine : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        standIn = new HttpStandIn;
        standIn->soundCloud();
        const std::optional<Database> database = Database::open();
        ASSERT_TRUE(database && !database->createTables());
        ID3TemplateQueryBuilder weekly(*database, QStringLiteral("Weekly"));
        weekly.tags.album = QStringLiteral("The Show");
        ASSERT_TRUE(weekly.insert());
        const auto add = [&](const char* name, const char* host, const QString& email = {}) {
            return Account::createAccount(*database, QString::fromUtf8(name), QString::fromUtf8(host),
                                          LibsynAccountFeedType::Libsyn, email)
                .value()
                .id;
        };
        for (const auto& [name, password] : {std::pair{"Showcast", LibsynServerEnvironment::Password},
                                             std::pair{"Wrong", QStringLiteral("not the password")}})
            Account::savePassword(QStringLiteral("Libsyn"),
                                  add(name, "Libsyn", LibsynServerEnvironment::Email), password);
        add("Twin", "SoundCloud");
        add("TWIN", "SoundCloud");
        const SoundCloudEndpoints endpoints{standIn->url({}), standIn->url(QStringLiteral("/authorize")),
                                            standIn->url(QStringLiteral("/oauth/token"))};
        const auto storeTokens = [&](qint64 id, qint64 expiresAt,
                                     const QString& refresh = QStringLiteral("r")) {
            CredentialStore::updateData(
                {{"access_token", "a"}, {"refresh_token", refresh}, {"expires_at", expiresAt}},
                QString::number(id), SoundCloudAPIClient::keychainService(endpoints));
        };
        storeTokens(add("Cloud", "SoundCloud"), QDateTime::currentSecsSinceEpoch() + 3600);
        storeTokens(add("Expired", "SoundCloud"), 1000);
        // Expired, with a refresh token the stand-in issued: the next use refreshes it.
        storeTokens(add("Shared", "SoundCloud"), 1000,
                    standIn->soundCloud({{"issue", true}}).value(QStringLiteral("refresh_token")).toString());
        writeFile(SoundCloudAPIClientCredentials::userFilePath(),
                  R"({"client_id": "standin-client-id", "client_secret": "standin-client-secret",
                      "redirect_uri": "http://127.0.0.1:1/callback"})");
        LibsynServerEnvironment::server().makeDirectory(QStringLiteral("Showcast/quickcast"));
    }
    static void TearDownTestSuite() { delete standIn; }

    // An episode in a fresh folder: a real MP3 (named `name`), or a WAV the tag writer refuses.
    QString episode(bool mp3 = true, const QString& name = QStringLiteral("ep.mp3"))
    {
        const QString path = folder.filePath(mp3 ? name : QStringLiteral("ep.wav"));
        EXPECT_TRUE(writeFile(path, mp3 ? mp3Bytes() : wavBytes()));
        return path;
    }

    // The real executable, with no display and no Qt platform, bounded in time; `during` runs
    // once it has started.
    static Outcome airlark(const QStringList& arguments,
                           const QList<QPair<QString, QString>>& environment = {},
                           const std::function<void(QProcess&)>& during = {})
    {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            variables.remove(QString::fromLatin1(name));
        variables.insert(QStringLiteral("AIRLARK_SOUNDCLOUD_API_URL"), standIn->url({}).toString());
        variables.insert(QStringLiteral("AIRLARK_SOUNDCLOUD_TOKEN_URL"),
                         standIn->url(QStringLiteral("/oauth/token")).toString());
        for (const auto& [name, value] : environment)
            variables.insert(name, value);
        QProcess process;
        process.setProcessEnvironment(variables);
        process.start(binaryPath(QStringLiteral("src/app/airlark")), arguments);
        EXPECT_TRUE(process.waitForStarted(10000));
        if (during)
            during(process);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "airlark " << arguments.join(QLatin1Char(' ')).toStdString() << " did not end";
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    static inline HttpStandIn* standIn = nullptr;
    QTemporaryDir folder;
};

struct Case
{
    QStringList arguments;
    int status;
    QString out, err;
    QJsonObject tracks = {}; // the stand-in's answer to a SoundCloud upload
    QString fileName = QStringLiteral("ep.mp3");
};

void expectRun(const Outcome& run, const Case& row)
{
    const std::string context = row.arguments.join(QLatin1Char(' ')).toStdString() +
                                "\nstdout: " + run.out.toStdString() + "\nstderr: " + run.err.toStdString();
    EXPECT_EQ(run.status, row.status) << context;
    EXPECT_TRUE(run.out.contains(row.out)) << context;
    EXPECT_TRUE(run.err.contains(row.err)) << context;
    EXPECT_FALSE(run.out.contains(LibsynServerEnvironment::Password) ||
                 run.err.contains(LibsynServerEnvironment::Password));
}

// Without a display the window cannot start, and it says so instead of crashing.
TEST_F(CommandLine, RunsWithoutADisplayAndListsWhatIsStoredNeverASecret)
{
    const QString tagged = folder.filePath(QStringLiteral("tagged.mp3"));
    ASSERT_TRUE(writeFile(tagged, readFile(episode())));
    ASSERT_EQ(airlark({"tag", "--template", "Weekly", "--title", "Episode 0", tagged}).status, 0);
    for (const Case& row : std::initializer_list<Case>{
             {{"--frobnicate"}, 2, "", "Unknown option 'frobnicate'"},
             {{}, 1, "", "needs a graphical session"},
             {{"templates"}, 0, "Weekly\tThe Show\t", ""},
             {{"templates", "--json"}, 0, R"("podcast": "The Show")", ""},
             {{"accounts"}, 0, "Showcast\tLibsyn\tLibsyn\nWrong\tLibsyn\tLibsyn\nTwin", ""},
             {{"accounts", "--json"}, 0, R"("host": "SoundCloud",)", ""},
             // An untitled episode fails its check; a tagged one passes with warnings.
             {{"check", "--json", episode()}, 6, R"("check": "title",)", ""},
             {{"check", "--json", tagged}, 0, R"("failed": false)", ""},
         }) {
        const Outcome run = airlark(row.arguments);
        expectRun(run, row);
        const bool json = row.arguments.contains(QStringLiteral("--json"));
        EXPECT_TRUE(!json || !QJsonDocument::fromJson(run.out.toUtf8()).isNull()) << run.out.toStdString();
    }
    // A second check of an unchanged file reads the first one's measurement back from the cache.
    const auto audio = [&] {
        return QJsonDocument::fromJson(airlark({"check", "--json", tagged}).out.toUtf8())
            .object()
            .value("audio");
    };
    ASSERT_TRUE(writeFile(tagged, readFile(tagged) + QByteArray(128, 0))); // a new file: trailing junk
    const QJsonValue measured = audio();
    EXPECT_TRUE(measured.isObject());
    EXPECT_EQ(audio(), measured);
}

TEST_F(CommandLine, TagWritesWhatTheWindowWould)
{
    writeFile(folder.filePath(QStringLiteral("notes.txt")), "Show notes \xe2\x80\x94 with links");
    const QStringList tag{"tag", "--template", "weekly", "--title", "Episode 1"};
    // clang-format off
    for (const Case& row : std::initializer_list<Case>{
             {tag + QStringList{"--description-file", folder.filePath("notes.txt"), "--genre", "Comedy", "--episode", "7", episode()}, 0, "", "Tagged"},
             {tag + QStringList{"--episode", "seven", episode()}, 3, "", "episode number"},
             {{"tag", "--template", "Nope", "--title", "T", episode()}, 2, "", "the stored ones are:\n  Weekly"},
             {{"tag", "--template", "Weekly", episode()}, 2, "", "--title"},
         }) { // clang-format on
        expectRun(airlark(row.arguments), row);
        if (row.status != 0)
            continue;
        TagLib::MPEG::File file(QFile::encodeName(row.arguments.last()).constData());
        ASSERT_TRUE(file.isValid() && file.tag());
        const TagLib::Tag& tags = *file.tag();
        EXPECT_EQ((std::vector<TagLib::String>{tags.title(), tags.album(), tags.comment(), tags.genre()}),
                  (std::vector<TagLib::String>{
                      "Episode 1", "The Show",
                      TagLib::String("Show notes — with links", TagLib::String::UTF8), "Comedy"}));
        EXPECT_EQ(tags.track(), 7u);
    }
}

TEST_F(CommandLine, PublishSaysWhereTheEpisodeWentOrWhyNot)
{
    const QStringList tag{"--template", "Weekly", "--title", "Episode 2"};
    const QJsonObject track = reply(
        201, {}, QJsonObject{{"id", 1234}, {"permalink_url", "https://soundcloud.com/standin/episode-2"}});
    const QStringList showcast{"publish", "--account", "Showcast", "--no-check"};
    const QStringList cloud{"publish", "--account", "Cloud", "--no-check"};
    // clang-format off
    for (const Case& row : std::initializer_list<Case>{
             {QStringList{"publish", "--account", "Showcast"} + tag, 0, "Showcast/quickcast/ep.mp3\n", "Tagged"},
             {showcast, 2, "", "it was left as it is (publish --replace replaces it)"},
             {showcast + QStringList{"--replace"}, 0, "Showcast/quickcast/ep.mp3\n", ""},
             {showcast, 5, "", "\u201cep\u23CE2.mp3\u201d cannot be sent to Libsyn", {}, QStringLiteral("ep\n2.mp3")},
             {cloud, 0, "https://soundcloud.com/standin/episode-2\n", "", track},
             {{"publish", "--account", "Cloud"}, 6, "", "the check found a failure, so nothing was uploaded"},
             {{"publish", "--account", "Wrong", "--no-check"}, 4, "", "Libsyn refused the log-in"},
             {{"publish", "--account", "Expired", "--no-check"}, 4, "", "sign in again in Airlark's window"},
             {cloud, 5, "", "SoundCloud asks to wait 2 minutes", reply(429, {{"Retry-After", "120"}})},
             {cloud, 0, "", "Uploaded, but SoundCloud's answer could not be read", page(201, "application/json", "{\"id\": 12")},
             {QStringList{"publish", "--account", "Showcast"} + tag, 3, "", "Unable to write ID3 tags."},
             {{"publish", "--account", "Nobody"}, 2, "", "no account is named \"Nobody\""},
             {{"publish", "--account", "twin"}, 2, "", "more than one account is named \"twin\""},
         }) { // clang-format on
        standIn->route("POST", QStringLiteral("/tracks"), row.tracks);
        const QString file = episode(row.status != 3, row.fileName);
        expectRun(airlark(row.arguments + QStringList{file}), row);
        if (row.status == 0 && row.out.startsWith(QStringLiteral("Showcast"))) {
            EXPECT_EQ(
                LibsynServerEnvironment::server().fileContents(QStringLiteral("Showcast/quickcast/ep.mp3")),
                readFile(file));
        }
    }
}

// SoundCloud's refresh tokens are single-use: two runs refreshing one expired sign-in at once share
// one refresh instead of one of them destroying it, and a third run needs no new sign-in.
TEST_F(CommandLine, TwoPublishRunsAtOnceKeepTheSignIn)
{
    standIn->route("POST", QStringLiteral("/tracks"), {});
    standIn->soundCloud({{"refresh_delay", 0.5}}); // the second run starts while the first refreshes
    const auto refreshRequests = [] {
        const QJsonArray requests = standIn->soundCloud().value(QStringLiteral("token_requests")).toArray();
        return std::ranges::count_if(requests, [](const QJsonValue& form) {
            return form[QStringLiteral("grant_type")] == QStringLiteral("refresh_token");
        });
    };
    const auto refreshes = refreshRequests();
    const QStringList publish{"publish", "--account", "Shared", "--no-check"};
    const Case published{publish, 0, "https://soundcloud.com/standin/track-1234\n", ""};
    const QString other = folder.filePath(QStringLiteral("other.mp3"));
    ASSERT_TRUE(writeFile(other, mp3Bytes()));
    Outcome second;
    expectRun(airlark(publish + QStringList{episode()}, {},
                      [&](QProcess&) { second = airlark(publish + QStringList{other}); }),
              published);
    expectRun(second, published);
    expectRun(airlark(publish + QStringList{episode()}), published);
    EXPECT_EQ(refreshRequests() - refreshes, 1) << "the second run used the first one's tokens";
    standIn->soundCloud({{"refresh_delay", 0}});
}

// What was sent is removed, with DELE whatever the name (this one has no dot).
TEST_F(CommandLine, CtrlCMidUploadLeavesNothingOnTheServer)
{
    ASSERT_TRUE(LibsynServerEnvironment::restart(256 * 1024) &&
                LibsynServerEnvironment::server().makeDirectory(QStringLiteral("Showcast/quickcast")));
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("long")), repeatedMp3Bytes(5min, 128)));
    const QString onServer =
        LibsynServerEnvironment::server().pathInHome(QStringLiteral("Showcast/quickcast/long"));
    const Outcome run =
        airlark({"publish", "--account", "Showcast", "--no-check", folder.filePath(QStringLiteral("long"))},
                {}, [&](QProcess& process) {
                    EXPECT_TRUE(waitFor([&] { return QFileInfo(onServer).size() > 0; }, 20s));
                    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
                });
    expectRun(run, {{"publish"}, 130, "", "Cancelled: nothing of long is left on Showcast"});
    EXPECT_FALSE(QFileInfo::exists(onServer));
    LibsynServerEnvironment::restart();

    // On SoundCloud the request is cancelled while the stand-in, which never answers, still reads it.
    standIn->route("POST", QStringLiteral("/tracks"), QJsonObject{{"read_limit", 65536}, {"then", "stall"}});
    const auto uploads = [] {
        return std::ranges::count(standIn->requests(), QStringLiteral("/tracks"), &StandInRequest::path);
    };
    const auto uploadsBefore = uploads();
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("short.mp3")), repeatedMp3Bytes(50s, 128)));
    const Outcome cloud =
        airlark({"publish", "--account", "Cloud", "--no-check", folder.filePath(QStringLiteral("short.mp3"))},
                {}, [&](QProcess& process) {
                    EXPECT_TRUE(waitFor([&] { return uploads() > uploadsBefore; }, 20s));
                    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
                });
    expectRun(cloud, {{"publish"}, 130, "", "Cancelled: nothing of short.mp3 is left on Cloud"});
}

TEST_F(CommandLine, SharesTheDataDirectoryWithARunningWindow)
{
    QTemporaryDir runtime;
    const Outcome window = airlark(
        {}, {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime.path()}}, [&](QProcess& process) {
            EXPECT_FALSE(process.waitForFinished(1500)) << "the window runs";
            expectRun(airlark({"tag", "--template", "Weekly", "--title", "Episode 3", episode()}),
                      {{"tag"}, 0, "", "Tagged"});
            expectRun(airlark({"templates"}), {{"templates"}, 0, "Weekly\tThe Show\tEpisode 3", ""});
            EXPECT_EQ(process.state(), QProcess::Running);
            process.kill();
        });
    // Start-up writes only the workflow's own lines to standard output.
    for (const QString& line : window.out.split(QLatin1Char('\n')))
        EXPECT_TRUE(line.isEmpty() || line.startsWith(QStringLiteral("Set "))) << line.toStdString();
}

TEST(Install, TheDesktopEntryStartsTheInstalledBinaryAndValidates)
{
    QTemporaryDir prefix(QDir::tempPath() + QStringLiteral("/airlark prefix-XXXXXX"));
    // Both tools write what went wrong to the test's own output.
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("cmake"), {"--install", binaryPath({}), "--prefix", prefix.path()}),
        0);
    const QString entry = prefix.filePath(QStringLiteral("share/applications/") + applicationIdentifier() +
                                          QStringLiteral(".desktop"));
    EXPECT_EQ(QProcess::execute(QStringLiteral("desktop-file-validate"), {entry}), 0);
    const QByteArray exec = "\nExec=\"" + QFile::encodeName(prefix.filePath("bin/airlark")) + "\" %u\n";
    // The desktop hands "airlark:" URLs to the entry's program; the icon is installed under the entry's name.
    const QByteArray icon = "\nIcon=" + applicationIdentifier().toUtf8() + "\n";
    for (const QByteArray& line : QByteArrayList{exec, "\nMimeType=x-scheme-handler/airlark;\n", icon})
        EXPECT_TRUE(readFile(entry).contains(line)) << readFile(entry).toStdString();
    EXPECT_TRUE(QFileInfo(prefix.filePath(QStringLiteral("bin/airlark"))).isExecutable());
}

} // namespace
