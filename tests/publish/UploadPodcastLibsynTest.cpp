// The upload view model's Libsyn path on real parts: the account in a real SQLite store, its
// password in the real Secret Service, a real MP3 file and a real (plain) FTP server on loopback,
// which can take the file slowly and refuse it after the data. The screens' side of the same rules,
// and a confirmed upload, are driven end to end in tests/e2e.
#include "UploadRecording.h"
#include "store/Account.h"
#include "support/FtpTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <utility>

namespace airlark::test {
namespace {

const QString ShowName = QStringLiteral("Weekly Show");
const QString Uploaded = QString::fromUtf8("\xF0\x9F\x8E\x89 Uploaded \xF0\x9F\x8E\x89");

struct UploadCase
{
    const char* name;
    LibsynAccountFeedType feedType; // names the show's folder on the server, /public or /quickcast
    bool missingFile;               // the episode is not there when the upload starts
    bool missingRow;                // the account's row is gone
    QString status;                 // how the last status line begins (a failure's)
    qint64 keepBytes = -1;          // the server cuts every stored file to this many bytes
    QByteArray alreadyThere = {};   // a file of the episode's name on the server before (and after)
    bool cancelWhileLoggingIn = false;
};

class UploadPodcastLibsynTest : public StoreTest, public ::testing::WithParamInterface<UploadCase>
{
protected:
    // One port for the process, as Libsyn's address is read once, on first use; each case's server
    // comes up on it. It takes the file slowly and then refuses it (552, after the data) for going
    // beyond its quota, or keeps only part of it, or greets late.
    static void SetUpTestSuite()
    {
        server = new FtpTestServer;
        qputenv("AIRLARK_LIBSYN_FTP_HOST", "127.0.0.1");
        qputenv("AIRLARK_LIBSYN_FTP_PORT", QByteArray::number(server->port()));
        qputenv("AIRLARK_LIBSYN_FTP_SECURITY", "none");
    }
    static void TearDownTestSuite() { delete server; }

    void SetUp() override
    {
        StoreTest::SetUp();
        FtpTestServer::Options options;
        options.quotaBytes = GetParam().keepBytes < 0 ? 1000 : -1;
        options.readLimit = 200000;
        options.keepBytes = GetParam().keepBytes;
        options.greetingDelayMs = GetParam().cancelWhileLoggingIn ? 3000 : 0;
        options.port = server->port();
        delete std::exchange(server, nullptr);
        server = new FtpTestServer(options);
        ASSERT_TRUE(folder.isValid() && server->isRunning());
        const bool external = GetParam().feedType == LibsynAccountFeedType::External;
        remotePath =
            ShowName + QLatin1String(external ? "/public/Episode 3.mp3" : "/quickcast/Episode 3.mp3");
        ASSERT_TRUE(server->makeDirectory(QFileInfo(remotePath).path()));
        if (!GetParam().alreadyThere.isEmpty()) {
            ASSERT_TRUE(writeFile(server->pathInHome(remotePath), GetParam().alreadyThere));
        }
        if (!GetParam().missingFile) {
            ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("Episode 3.mp3")),
                                  repeatedMp3Bytes(std::chrono::seconds(30), 128)));
        }
        const Database database = openWithTables();
        ASSERT_TRUE(spreadAccountIdentifiers(database));
        auto created = Account::createAccount(database, ShowName, QStringLiteral("Libsyn"),
                                              GetParam().feedType, server->user());
        ASSERT_TRUE(created.hasValue());
        accountId = created.value().id + (GetParam().missingRow ? 100 : 0);
        ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), accountId, server->password()));
    }

    // Runs every task already queued for the main thread.
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    static inline FtpTestServer* server = nullptr;
    QTemporaryDir folder;
    QString remotePath;
    qint64 accountId = 0;
};

// A confirmed upload is proved end to end; here, "Uploaded" never shows on the way to a failure:
// the status is sampled throughout, both as the screen hears it and between its reports. What the
// upload wrote is gone afterwards, and a file it never wrote to is as it was.
TEST_P(UploadPodcastLibsynTest, NeverShowsUploadedForAFileTheServerDidNotConfirm)
{
    const UploadCase& c = GetParam();
    const QString path = folder.filePath(QStringLiteral("Episode 3.mp3"));
    RecordingUploadDelegate delegate;
    auto viewModel =
        UploadPodcastViewModel::create(QUrl::fromLocalFile(path), accountId, PodcastHost::Libsyn,
                                       QStringLiteral("Episode 3"), std::nullopt, {}, std::nullopt);
    viewModel->setDelegate(&delegate);
    viewModel->beginUpload();
    if (c.cancelWhileLoggingIn) {
        // The account has been read and the connection made; the server has not greeted yet.
        ASSERT_TRUE(waitFor([&] { return viewModel->connectionIsUnencrypted(); }));
        viewModel->cancelUpload([] {});
    }
    QStringList sampled;
    ASSERT_TRUE(waitFor(
        [&] {
            sampled << viewModel->statusText();
            return !delegate.snapshots.empty() &&
                   delegate.snapshots.back().state > UploadPodcastState::InProgress;
        },
        std::chrono::seconds(60)));

    EXPECT_TRUE(viewModel->statusText().startsWith(c.status)) << qPrintable(viewModel->statusText());
    for (const auto& snapshot : delegate.snapshots)
        sampled << snapshot.statusText;
    EXPECT_FALSE(sampled.contains(Uploaded)) << "never Uploaded on the way to a failure";
    EXPECT_EQ(delegate.snapshots.back().buttonText, QStringLiteral("Retry"));
    if (c.feedType == LibsynAccountFeedType::External) {
        EXPECT_TRUE(sampled.contains(QString::fromUtf8("Finishing\xE2\x80\xA6")))
            << "every byte sent, the server's answer awaited";
    }
    EXPECT_FALSE(delegate.offMainThread);
    EXPECT_EQ(server->fileContents(remotePath), c.alreadyThere);
}

using Feed = LibsynAccountFeedType;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Outcomes, UploadPodcastLibsynTest, ::testing::Values(
    UploadCase{"refusedAfterTheData", Feed::External, false, false, "Upload failed: Libsyn refused the file after receiving it: "},
    UploadCase{"keptOnlyPartOfIt", Feed::External, false, false,
               "Upload failed: Libsyn holds 114.7 kB of 480.0 kB: the upload was cut short", 112 * 1024},
    UploadCase{"cancelledWhileLoggingIn", Feed::Libsyn, false, false, "Upload cancelled: nothing was sent to Libsyn", -1,
               "last week's episode", true},
    UploadCase{"missingFile", Feed::Libsyn, true, false,
               "Upload failed: The episode file \u201cEpisode 3.mp3\u201d is missing or cannot be read"},
    UploadCase{"missingAccountRow", Feed::Libsyn, false, true,
               "Upload failed: The Libsyn account cannot be read from Airlark\u2019s database: add it again"},
    UploadCase{"noFeedType", Feed::Undefined, false, false, "Upload failed: The Libsyn account has no feed type: add it again"}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

} // namespace
} // namespace airlark::test
