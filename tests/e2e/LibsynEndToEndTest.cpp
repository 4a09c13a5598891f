// The whole workflow to a Libsyn account, as a user runs it: a template with artwork, an MP3
// file dropped on step 1, its tags saved in step 2, a Libsyn account added through the pane (its
// log-in checked against the FTP server), and the upload, over implicit TLS as Libsyn's default is.
// Real widgets (offscreen), a real FTP server, the real Secret Service, a real SQLite store and real
// MP3 files.
#include "WorkflowDriver.h"
#include "metadata/TagReader.h"
#include "platform/MainQueue.h"
#include "publish/UploadRecording.h"
#include "store/Account.h"
#include "store/CredentialStore.h"
#include "store/Database.h"
#include "support/LibsynTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace airlark::test {
namespace {

const QString Uploaded = QString::fromUtf8("\xF0\x9F\x8E\x89 Uploaded \xF0\x9F\x8E\x89");

const auto* const libsynEnvironment =
    ::testing::AddGlobalTestEnvironment(new LibsynServerEnvironment(FTPSecurity::ImplicitTLS));

FtpTestServer& libsyn()
{
    return LibsynServerEnvironment::server();
}

class LibsynEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(libsyn().isRunning() || LibsynServerEnvironment::restart());
        // Once per process: the store lives as long as the process's shared screens.
        static const bool spread = [] {
            const auto database = Database::open();
            return database && !database->createTables() && spreadAccountIdentifiers(*database);
        }();
        ASSERT_TRUE(spread);
        driver = std::make_unique<WorkflowDriver>();
    }

    void TearDown() override
    {
        driver.reset();
        // A test that throttled or killed the server leaves a plain one for the next.
        if (throttled || !libsyn().isRunning()) {
            EXPECT_TRUE(LibsynServerEnvironment::restart());
        }
    }

    // Steps 1 and 2 for a new episode file; ends on step 3.
    void tagEpisode(const QString& podcast, const QString& fileName, const QString& title,
                    const QByteArray& audio = mp3Bytes(2))
    {
        episodePath = driver->path(fileName);
        ASSERT_TRUE(
            driver->tagEpisode(podcast, episodePath, audio, title, QStringLiteral("Notes for ") + title));
    }

    // A Libsyn account for `folder`, added through the pane; selected on step 3.
    void addAndChooseAccount(const QString& folder)
    {
        ASSERT_TRUE(libsyn().makeDirectory(folder + QStringLiteral("/quickcast")));
        ASSERT_TRUE(driver->addLibsynAccount(folder, LibsynAccountFeedType::Libsyn,
                                             LibsynServerEnvironment::Email,
                                             LibsynServerEnvironment::Password));
        ASSERT_TRUE(driver->chooseAccount(folder + QStringLiteral("\u2014Libsyn")));
    }

    // A failed upload offers Retry and Back, and names its cause.
    void expectFailed(const QString& reason)
    {
        EXPECT_EQ(driver->uploadStatus(), QStringLiteral("Upload failed: ") + reason);
        EXPECT_EQ(driver->nextTitle(), QStringLiteral("Retry"));
        EXPECT_TRUE(driver->next().isEnabled());
        EXPECT_TRUE(driver->workflow().backButton()->isEnabled());
    }

    // Step 1 as after a fresh start: no stale title from step 4 on its Next button.
    void expectStep1Normal()
    {
        ASSERT_TRUE(waitFor([&] { return driver->visible() == &WorkflowDriver::step1(); }));
        QTest::qWait(300); // a late report from the upload must not relabel step 1
        EXPECT_EQ(driver->workflow().currentStep(), 0);
        EXPECT_EQ(driver->nextTitle(), QStringLiteral("Next"));
        EXPECT_TRUE(waitFor([] { return MainQueue::runningBackgroundThreads() == 0; }))
            << "no transfer thread is left working";
    }

    // A 24 MB episode to a server that takes 2 MB/s, stopped or cut once it is under way.
    void startSlowUpload(const QString& folder, const QString& fileName)
    {
        throttled = true;
        ASSERT_TRUE(LibsynServerEnvironment::restart(2 * 1024 * 1024));
        tagEpisode(folder, fileName, QStringLiteral("Songs"),
                   repeatedMp3Bytes(std::chrono::minutes(25), 128));
        addAndChooseAccount(folder);
        ASSERT_TRUE(driver->startUpload());
        const auto& step4 = WorkflowDriver::step4();
        ASSERT_TRUE(
            waitFor([&] { return step4.progressIndicator()->value() > 0; }, std::chrono::seconds(20)));
        ASSERT_LT(step4.progressIndicator()->value(), 100) << "the upload ended before it could be stopped";
    }

    std::unique_ptr<WorkflowDriver> driver;
    QString episodePath;
    bool throttled = false;
};

TEST_F(LibsynEndToEndTest, PublishesTheTaggedEpisodeIntoTheAccountsQuickcastFolder)
{
    tagEpisode(QStringLiteral("Lark Weekly"), QStringLiteral("Lark Weekly 1.mp3"), QStringLiteral("Wings"));
    addAndChooseAccount(QStringLiteral("larkweekly"));
    ASSERT_TRUE(driver->startUpload());
    EXPECT_FALSE(driver->workflow().backButton()->isEnabled());
    EXPECT_EQ(WorkflowDriver::step4().fileLabel()->text(), QStringLiteral("Lark Weekly 1.mp3"));
    EXPECT_EQ(WorkflowDriver::step4().accountLabel()->text(),
              QString::fromUtf8("larkweekly\xE2\x80\x94Libsyn"));

    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_EQ(driver->uploadStatus(), Uploaded);
    EXPECT_EQ(driver->nextTitle(), QStringLiteral("Done"));
    EXPECT_TRUE(driver->next().isEnabled());
    EXPECT_EQ(WorkflowDriver::step4().progressIndicator()->value(), 100);
    EXPECT_TRUE(WorkflowDriver::step4().transferredLabel()->text().contains(QStringLiteral(" sent in ")))
        << "the elapsed time when done";

    // The server holds the tagged file, byte for byte.
    const QByteArray local = readFile(episodePath);
    EXPECT_EQ(libsyn().fileContents(QStringLiteral("larkweekly/quickcast/Lark Weekly 1.mp3")), local);
    EXPECT_EQ(readTags(episodePath).title, QStringLiteral("Wings"));
    // Where it went, and a link to Libsyn's dashboard.
    const QString published = WorkflowDriver::step4().publishedLabel()->text();
    EXPECT_TRUE(published.contains(QStringLiteral("larkweekly/quickcast")) &&
                published.contains(QStringLiteral("href=\"https://four.libsyn.com/\"")));

    // Done: the next episode, in the same window, most likely of the same podcast.
    QTest::mouseClick(&driver->next(), Qt::LeftButton);
    EXPECT_TRUE(driver->window().isVisible());
    expectStep1Normal();
    const auto chosen = WorkflowDriver::step1().tableView()->selectionModel()->selectedRows();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front().data().toString(), QStringLiteral("Lark Weekly"));
}

// An episode of the same name already in the folder is never written over unasked: Keep (the
// default) leaves it as it was; Retry asks again, and Replace uploads.
TEST_F(LibsynEndToEndTest, AsksBeforeReplacingAnEpisodeAlreadyOnLibsyn)
{
    tagEpisode(QStringLiteral("Lark Daily"), QStringLiteral("Lark Daily 1.mp3"), QStringLiteral("Dawn"));
    addAndChooseAccount(QStringLiteral("larkdaily"));
    const QString remote = libsyn().pathInHome(QStringLiteral("larkdaily/quickcast/Lark Daily 1.mp3"));
    ASSERT_TRUE(writeFile(remote, "last week's episode"));
    ASSERT_TRUE(QFile::setPermissions(remote, QFile::Permissions(0x6666))); // vsftpd's user may replace it
    ASSERT_TRUE(driver->startUpload());
    ASSERT_TRUE(driver->answerReplaceQuestion(false));
    ASSERT_TRUE(driver->waitForUploadEnd());
    EXPECT_TRUE(driver->uploadStatus().startsWith(
        QStringLiteral("Upload failed: \u201cLark Daily 1.mp3\u201d is already on Libsyn (")))
        << driver->uploadStatus().toStdString();
    EXPECT_EQ(readFile(remote), "last week's episode");

    QTest::mouseClick(&driver->next(), Qt::LeftButton); // Retry
    ASSERT_TRUE(driver->answerReplaceQuestion(true));
    ASSERT_TRUE(waitFor([&] { return driver->uploadStatus() == Uploaded; }));
    EXPECT_EQ(readFile(remote), readFile(episodePath));
}

// The password gone from the keyring since the account was added. (How each FTP failure reads is
// the failure texts' table.)
TEST_F(LibsynEndToEndTest, AMissingPasswordNamesItsCauseAndOffersBack)
{
    const QString folder = QStringLiteral("failkeyring");
    tagEpisode(QStringLiteral("Wren keyring"), QStringLiteral("Wren 1.mp3"), QStringLiteral("Nests"));
    addAndChooseAccount(folder);
    const auto accounts = Account::selectAll(*Database::open());
    const auto added = std::ranges::find(accounts, folder, &AccountQueryResult::displayName);
    ASSERT_NE(added, accounts.end());
    ASSERT_FALSE(CredentialStore::updateData({}, QStringLiteral("Libsyn-%1").arg(added->id),
                                             QStringLiteral("Libsyn")));

    ASSERT_TRUE(driver->startUpload());
    ASSERT_TRUE(driver->waitForUploadEnd());
    expectFailed(QStringLiteral("The password of the Libsyn account \u201cfailkeyring\u201d is not in the "
                                "keyring: add the account again"));
    EXPECT_FALSE(QFileInfo::exists(libsyn().pathInHome(folder + QStringLiteral("/quickcast/Wren 1.mp3"))));
    // Back: another account can be chosen (Retry is the dropped connection's test).
    QTest::mouseClick(driver->workflow().backButton(), Qt::LeftButton);
    EXPECT_TRUE(driver->step3());
}

TEST_F(LibsynEndToEndTest, RetryAfterADroppedConnectionSendsTheWholeFileAgain)
{
    startSlowUpload(QStringLiteral("finchhour"), QStringLiteral("Finch 1.mp3"));
    const auto& step4 = WorkflowDriver::step4();
    EXPECT_TRUE(waitFor([&] { return step4.transferredLabel()->text().contains(QStringLiteral(" left")); }))
        << "bytes sent of the total, speed and time left while uploading: "
        << step4.transferredLabel()->text().toStdString();
    libsyn().kill();

    ASSERT_TRUE(driver->waitForUploadEnd(std::chrono::seconds(90)));
    // The part it sent cannot be removed from a server that is gone: the status says so.
    expectFailed(
        QStringLiteral("The connection to 127.0.0.1 was lost: try again; the part already sent could "
                       "not be removed from the folder finchhour/quickcast (Cannot reach 127.0.0.1: "
                       "check the internet connection and try again); remove \u201cFinch 1.mp3\u201d "
                       "in your Libsyn account"));
    EXPECT_LT(step4.progressIndicator()->value(), 100) << "the bar shows how far the upload got";

    ASSERT_TRUE(LibsynServerEnvironment::restart()); // full speed now
    ASSERT_TRUE(libsyn().makeDirectory(QStringLiteral("finchhour/quickcast")));
    QTest::mouseClick(&driver->next(), Qt::LeftButton);
    ASSERT_TRUE(driver->waitForUploadEnd(std::chrono::seconds(90)));
    EXPECT_EQ(driver->uploadStatus(), Uploaded);
    EXPECT_EQ(libsyn().fileContents(QStringLiteral("finchhour/quickcast/Finch 1.mp3")),
              readFile(episodePath));
}

// Cancel and Quit during an upload ask first, abort it, and remove what reached the server.
class LibsynStopTest : public LibsynEndToEndTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(LibsynStopTest, AsksThenAbortsAndLeavesNoFileBehind)
{
    const bool quit = GetParam();
    startSlowUpload(QStringLiteral("larkstop"), QStringLiteral("Stop 1.mp3"));
    const auto stop = [&] {
        if (quit)
            driver->window().quit();
        else
            QTest::mouseClick(&driver->cancel(), Qt::LeftButton);
    };
    stop();
    ASSERT_TRUE(driver->answerStopQuestion(false)); // Continue: nothing changes
    EXPECT_EQ(driver->visible(), &WorkflowDriver::step4());
    EXPECT_TRUE(WorkflowDriver::step4().viewModel()->isRunning());

    stop();
    ASSERT_TRUE(driver->answerStopQuestion(true));
    if (quit) {
        EXPECT_TRUE(waitFor([&] { return !driver->window().isVisible(); }, std::chrono::seconds(30)));
        MainQueue::joinBackgroundThreads(); // what main does before it returns
    } else {
        expectStep1Normal();
    }
    EXPECT_EQ(MainQueue::runningBackgroundThreads(), 0);
    EXPECT_FALSE(QFileInfo::exists(libsyn().pathInHome(QStringLiteral("larkstop/quickcast/Stop 1.mp3"))))
        << "the part already sent is removed";
}

INSTANTIATE_TEST_SUITE_P(CancelOrQuit, LibsynStopTest, ::testing::Bool(),
                         [](const auto& row) { return row.param ? "Quit" : "Cancel"; });

struct LeaveWhileSaving
{
    const char* name;
    bool quit;           // Quit, else the window's close
    bool writingInPlace; // held once the write into the episode is under way, else just before
};

class TagSaveLeaveTest : public LibsynEndToEndTest, public ::testing::WithParamInterface<LeaveWhileSaving>
{
};

// Closing the window or quitting while step 2 saves asks first; a save stopped before it is final
// leaves the episode as it was, and one already writing into the file ends first: either way the
// episode is whole.
TEST_P(TagSaveLeaveTest, AsksAndLeavesAWholeEpisode)
{
    const LeaveWhileSaving& c = GetParam();
    // The first save gives the episode a padded tag, so that the second is written in place.
    tagEpisode(QStringLiteral("Robin"), QStringLiteral("Robin 1.mp3"), QStringLiteral("First"));
    QTest::mouseClick(&driver->cancel(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return driver->visible() == &WorkflowDriver::step1(); }));
    ASSERT_TRUE(driver->dropEpisode(episodePath));
    ASSERT_TRUE(driver->chooseTemplate(QStringLiteral("Robin")));
    ASSERT_TRUE(driver->goToStep2());
    const QByteArray before = readFile(episodePath);
    std::atomic<bool> reached = false;
    std::atomic<bool> release = false;
    const auto holdIf = [&](bool now) {
        reached = reached || now;
        for (int i = 0; now && i < 20000 && !release; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    };
    const ProbeForTest probe({[&] { holdIf(!c.writingInPlace); }, [&] { return holdIf(c.writingInPlace); }});
    QLineEdit* title = WorkflowDriver::step2().titleField();
    title->selectAll();
    QTest::keyClicks(title, QStringLiteral("Second"));
    QTest::mouseClick(&driver->next(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return reached.load(); }));

    if (c.quit)
        driver->window().quit();
    else
        driver->window().close();
    // The answer waits for a write that has become final, which ends once released.
    const std::jthread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        release = true;
    });
    ASSERT_TRUE(driver->answerStopQuestion(true));
    EXPECT_TRUE(waitFor([&] { return !driver->window().isVisible(); }));
    MainQueue::joinBackgroundThreads(); // what main does before it returns
    if (c.writingInPlace) {
        EXPECT_EQ(readTags(episodePath).title, QStringLiteral("Second"));
        EXPECT_EQ(readTagsWithMutagen(episodePath).title, QStringLiteral("Second"));
    } else {
        EXPECT_EQ(readFile(episodePath), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Moments, TagSaveLeaveTest,
                         ::testing::Values(LeaveWhileSaving{"QuitBeforeTheWrite", true, false},
                                           LeaveWhileSaving{"CloseDuringTheWrite", false, true}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace airlark::test
