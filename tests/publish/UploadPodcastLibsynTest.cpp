// The upload view model's Libsyn path on real parts: the account in a real SQLite store, its
// password in the real Secret Service, a real MP3 file and a real FTP server on loopback. Also
// every way an upload can fail to start, which must end in a failed state, not in "Uploading…".
#include "UploadRecording.h"
#include "hosts/LibsynFTPServer.h"
#include "publish/LibsynFTPClientFactory.h"
#include "store/Account.h"
#include "store/CredentialStore.h"
#include "store/Database.h"
#include "support/FtpTestServer.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark::test {
namespace {

const QString ShowName = QStringLiteral("Weekly Show");

// Libsyn's factory, aimed at the test server's port (the host comes from the environment).
class LoopbackLibsynFactory : public LibsynFTPClientFactory
{
public:
    explicit LoopbackLibsynFactory(quint16 port) : port_(port) {}

    std::shared_ptr<FTPTransferMonitor> makeClient(const QString& username, const QString& password,
                                                   const QString& email, LibsynAccountFeedType feedType,
                                                   std::shared_ptr<FTPTransferMonitorDelegate> delegate,
                                                   bool allowsUnencryptedFTP) const override
    {
        auto monitor = LibsynFTPClientFactory::makeClient(username, password, email, feedType,
                                                          std::move(delegate), allowsUnencryptedFTP);
        if (monitor)
            monitor->server()->setPort(port_);
        return monitor;
    }

private:
    quint16 port_;
};

class UploadPodcastLibsynTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Read once per process, on first use. The test servers here are plain pyftpdlib ones.
        qputenv("AIRLARK_LIBSYN_FTP_HOST", "127.0.0.1");
        qputenv("AIRLARK_LIBSYN_FTP_SECURITY", "none");
    }

    void SetUp() override
    {
        ASSERT_EQ(LibsynFTPServerSetting::current().host, QStringLiteral("127.0.0.1"));
        ASSERT_TRUE(dataHome.isValid() && folder.isValid());
        previousDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        ASSERT_TRUE(server.isRunning());
        ASSERT_TRUE(server.makeDirectory(ShowName + QStringLiteral("/quickcast")));
        episodePath = folder.filePath(QStringLiteral("Episode 3.mp3"));
        episode = mp3Bytes(3);
        ASSERT_TRUE(writeFile(episodePath, episode));
        auto database = Database::open();
        ASSERT_TRUE(database);
        ASSERT_FALSE(database->createTables());
        ASSERT_TRUE(spreadAccountIdentifiers(*database));
    }

    void TearDown() override
    {
        drainMainQueue();
        qputenv("XDG_DATA_HOME", previousDataHome);
    }

    // A Libsyn account row and, unless `password` is none, its password.
    qint64 addAccount(LibsynAccountFeedType feedType, const QString& email,
                      const std::optional<QString>& password)
    {
        auto database = Database::open();
        EXPECT_TRUE(database);
        auto created = Account::createAccount(*database, ShowName, QStringLiteral("Libsyn"), feedType, email);
        EXPECT_TRUE(created.hasValue());
        const qint64 id = created.hasValue() ? created.value().id : -1;
        if (password) {
            EXPECT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), id, *password));
        }
        return id;
    }

    std::shared_ptr<UploadPodcastViewModel> upload(qint64 accountId, const QString& path)
    {
        auto viewModel = UploadPodcastViewModel::create(
            QUrl::fromLocalFile(path), accountId, PodcastHost::Libsyn, QStringLiteral("Episode 3"),
            std::nullopt, {QStringLiteral("news")}, QStringLiteral("About it"));
        viewModel->setLibsynFTPClientFactory(std::make_shared<LoopbackLibsynFactory>(server.port()));
        viewModel->setDelegate(&delegate);
        viewModel->beginUpload();
        EXPECT_TRUE(waitFor([this] { return delegate.ended(); }, std::chrono::seconds(30)));
        return viewModel;
    }

    QString uploadedPath() const { return ShowName + QStringLiteral("/quickcast/Episode 3.mp3"); }

    FtpTestServer server;
    QTemporaryDir dataHome;
    QTemporaryDir folder;
    QByteArray previousDataHome;
    QString episodePath;
    QByteArray episode;
    RecordingUploadDelegate delegate;
};

TEST_F(UploadPodcastLibsynTest, PublishesTheFileIntoTheAccountsFolder)
{
    const qint64 id = addAccount(LibsynAccountFeedType::Libsyn, server.user(), server.password());
    const auto viewModel = upload(id, episodePath);

    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Successful);
    EXPECT_EQ(viewModel->uploadProgress(), 100);
    EXPECT_EQ(viewModel->statusText(), QString::fromUtf8("\xF0\x9F\x8E\x89 Uploaded \xF0\x9F\x8E\x89"));
    EXPECT_EQ(server.fileContents(uploadedPath()), episode) << "byte for byte, in <user name>/quickcast";
    EXPECT_EQ(viewModel->accountText(), QString::fromUtf8("Weekly Show\xE2\x80\x94Libsyn"));

    // The screen saw "Uploading…" first, never a failure on the way, and "Done" last.
    ASSERT_FALSE(delegate.snapshots.empty());
    EXPECT_EQ(delegate.snapshots.front().buttonText, QString::fromUtf8("Uploading\xE2\x80\xA6"));
    // This process's Libsyn stand-in speaks plain FTP, and the step says so while it runs.
    EXPECT_EQ(delegate.snapshots.front().statusText,
              QString::fromUtf8("Uploading\xE2\x80\xA6 (the connection is not encrypted)"));
    for (const auto& snapshot : delegate.snapshots)
        EXPECT_NE(snapshot.state, UploadPodcastState::Failed);
    EXPECT_EQ(delegate.snapshots.back().buttonText, QStringLiteral("Done"));
    EXPECT_TRUE(delegate.snapshots.back().buttonEnabled);
    EXPECT_FALSE(delegate.offMainThread);
}

// A failure says what went wrong and what to do, and the bar stays where the upload stopped.
TEST_F(UploadPodcastLibsynTest, AFailureSaysWhatToFix)
{
    const struct
    {
        LibsynAccountFeedType feedType;
        QString password;
        QString status;
    } cases[] = {
        {LibsynAccountFeedType::Libsyn, QStringLiteral("not the password"),
         QStringLiteral(
             "Upload failed: Libsyn refused the log-in for podcaster: check the FTP password in your "
             "Libsyn account")},
        {LibsynAccountFeedType::External, server.password(),
         QStringLiteral(
             "Upload failed: The folder Weekly Show/public does not exist on Libsyn: check the show slug")},
    };
    for (const auto& c : cases) {
        delegate.snapshots.clear();
        const auto viewModel = upload(addAccount(c.feedType, server.user(), c.password), episodePath);
        EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Failed);
        EXPECT_EQ(viewModel->statusText(), c.status);
        EXPECT_EQ(viewModel->uploadProgress(), 0);
        EXPECT_EQ(delegate.snapshots.back().buttonText, QStringLiteral("Upload failed"));
        EXPECT_FALSE(delegate.snapshots.back().buttonEnabled);
    }
    EXPECT_TRUE(server.fileContents(uploadedPath()).isEmpty());
}

// Uploads that cannot even start end as failures, never as an endless "Uploading…".
enum class Fault
{
    NoPassword,
    NoAccountRow,
    NoEmail,
    UndefinedFeedType,
    MissingFile,
    FolderInsteadOfFile,
    NoStore
};

struct FaultCase
{
    const char* label;
    Fault fault;
};

void PrintTo(const FaultCase& testCase, std::ostream* stream)
{
    *stream << testCase.label;
}

class UploadPodcastLibsynFaultTest : public UploadPodcastLibsynTest,
                                     public ::testing::WithParamInterface<FaultCase>
{
};

TEST_P(UploadPodcastLibsynFaultTest, EndsFailedWithoutSendingAnything)
{
    qint64 id = 0;
    QString path = episodePath;
    switch (GetParam().fault) {
    case Fault::NoPassword:
        id = addAccount(LibsynAccountFeedType::Libsyn, server.user(), std::nullopt);
        // The keyring outlives each test's store: make sure no earlier test's item answers.
        ASSERT_FALSE(CredentialStore::updateData(
            {}, Account::credentialUserAccount(QStringLiteral("Libsyn"), id), QStringLiteral("Libsyn")));
        break;
    case Fault::NoAccountRow:
        id = addAccount(LibsynAccountFeedType::Libsyn, server.user(), server.password()) + 100;
        ASSERT_FALSE(Account::savePassword(QStringLiteral("Libsyn"), id, server.password()));
        break;
    case Fault::NoEmail:
        id = addAccount(LibsynAccountFeedType::Libsyn, QString(), server.password());
        break;
    case Fault::UndefinedFeedType:
        id = addAccount(LibsynAccountFeedType::Undefined, server.user(), server.password());
        break;
    case Fault::MissingFile:
        id = addAccount(LibsynAccountFeedType::Libsyn, server.user(), server.password());
        path = folder.filePath(QStringLiteral("gone.mp3"));
        break;
    case Fault::FolderInsteadOfFile:
        id = addAccount(LibsynAccountFeedType::Libsyn, server.user(), server.password());
        path = folder.path() + QLatin1Char('/');
        break;
    case Fault::NoStore: {
        id = addAccount(LibsynAccountFeedType::Libsyn, server.user(), server.password());
        // The data directory would have to be made below a plain file.
        const QString blocker = folder.filePath(QStringLiteral("plain-file"));
        ASSERT_TRUE(writeFile(blocker, "x"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker));
        break;
    }
    }

    const auto viewModel = upload(id, path);
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Failed);
    EXPECT_EQ(viewModel->statusText(), QStringLiteral("Upload failed"));
    ASSERT_GE(delegate.snapshots.size(), 2u);
    EXPECT_EQ(delegate.snapshots.back().buttonText, QStringLiteral("Upload failed"));
    EXPECT_FALSE(delegate.snapshots.back().buttonEnabled);
    EXPECT_TRUE(QDir(server.pathInHome(ShowName + QStringLiteral("/quickcast")))
                    .entryList(QDir::Files | QDir::NoDotAndDotDot)
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Faults, UploadPodcastLibsynFaultTest,
                         ::testing::Values(FaultCase{"NoPassword", Fault::NoPassword},
                                           FaultCase{"NoAccountRow", Fault::NoAccountRow},
                                           FaultCase{"NoEmail", Fault::NoEmail},
                                           FaultCase{"UndefinedFeedType", Fault::UndefinedFeedType},
                                           FaultCase{"MissingFile", Fault::MissingFile},
                                           FaultCase{"FolderInsteadOfFile", Fault::FolderInsteadOfFile},
                                           FaultCase{"NoStore", Fault::NoStore}),
                         [](const auto& testParam) { return std::string(testParam.param.label); });

TEST_F(UploadPodcastLibsynTest, ASoundCloudFileURLWithoutAFileNameEndsFailed)
{
    auto viewModel =
        UploadPodcastViewModel::create(QUrl::fromLocalFile(folder.path() + QLatin1Char('/')), 1,
                                       PodcastHost::SoundCloud, std::nullopt, std::nullopt, {}, std::nullopt);
    viewModel->setDelegate(&delegate);
    viewModel->beginUpload();
    ASSERT_TRUE(waitFor([this] { return delegate.ended(); }, std::chrono::seconds(10)));
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Failed);
    EXPECT_EQ(viewModel->statusText(), QStringLiteral("Upload failed"));
}

} // namespace
} // namespace airlark::test
