// The upload view model without a transport: its texts, how the FTP and SoundCloud reports move
// it, and how (and when) it tells its screen.
#include "UploadRecording.h"
#include "http/HTTPSession.h"
#include "support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

namespace airlark::test {
namespace {

// The texts as the user reads them, spelt here in UTF-8 bytes.
const QString Uploading = QString::fromUtf8("Uploading\xE2\x80\xA6");
const QString ClickUploadToBegin = QString::fromUtf8("Click \xE2\x80\x98Upload\xE2\x80\x99 to begin");
const QString Uploaded = QString::fromUtf8("\xF0\x9F\x8E\x89 Uploaded \xF0\x9F\x8E\x89");

std::shared_ptr<UploadPodcastViewModel> makeViewModel(PodcastHost host = PodcastHost::Libsyn)
{
    return UploadPodcastViewModel::create(QUrl::fromLocalFile(QStringLiteral("/nowhere/Episode 1.mp3")), 7,
                                          host, QStringLiteral("Episode 1"), std::nullopt, {}, std::nullopt);
}

// A real session and a task that is never started, for the progress callback's first arguments.
struct IdleTask
{
    std::shared_ptr<HTTPSession> session =
        HTTPSession::create(HTTPSessionConfiguration::defaultSessionConfiguration(), {});
    std::shared_ptr<HTTPSessionTask> task =
        session->dataTaskWithRequest(HTTPRequest(QUrl(QStringLiteral("http://127.0.0.1:9/"))));
};

IdleTask& idle()
{
    // Kept to the end of the process, like the sessions the application makes.
    static IdleTask* const idle = new IdleTask;
    return *idle;
}
HTTPSession& anySession()
{
    return *idle().session;
}
HTTPSessionTask& anyTask()
{
    return *idle().task;
}

class UploadPodcastViewModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        drainMainQueue();
        viewModel = makeViewModel();
        viewModel->setDelegate(&delegate);
    }

    void TearDown() override
    {
        drainMainQueue();
        EXPECT_FALSE(delegate.offMainThread);
    }

    std::shared_ptr<UploadPodcastViewModel> viewModel;
    RecordingUploadDelegate delegate;
};

TEST_F(UploadPodcastViewModelTest, AFreshViewModelInvitesToUpload)
{
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Unstarted);
    EXPECT_EQ(viewModel->uploadProgress(), 0);
    EXPECT_EQ(viewModel->uploadButtonText(), QStringLiteral("Upload"));
    EXPECT_TRUE(viewModel->uploadButtonEnabled());
    EXPECT_EQ(viewModel->statusText(), ClickUploadToBegin);
    EXPECT_FALSE(viewModel->failureReasonFromServer());
    EXPECT_TRUE(viewModel->transferredText().isEmpty());
    EXPECT_EQ(viewModel->fileName(), QStringLiteral("Episode 1.mp3"));
}

struct StateTexts
{
    UploadPodcastState state;
    const char* buttonText;
    bool buttonEnabled;
    QString statusText;
};

class UploadPodcastStateTextsTest : public ::testing::TestWithParam<StateTexts>
{
};

TEST_P(UploadPodcastStateTextsTest, EachStateHasItsTexts)
{
    const auto viewModel = makeViewModel();
    viewModel->setUploadState(GetParam().state);
    EXPECT_EQ(viewModel->uploadButtonText(), QString::fromUtf8(GetParam().buttonText));
    EXPECT_EQ(viewModel->uploadButtonEnabled(), GetParam().buttonEnabled);
    EXPECT_EQ(viewModel->statusText(), GetParam().statusText);
    EXPECT_EQ(static_cast<int>(GetParam().state), static_cast<int>(viewModel->uploadState()));
    drainMainQueue();
}

INSTANTIATE_TEST_SUITE_P(
    States, UploadPodcastStateTextsTest,
    ::testing::Values(StateTexts{UploadPodcastState::Unstarted, "Upload", true, ClickUploadToBegin},
                      StateTexts{UploadPodcastState::InProgress, "Uploading\xE2\x80\xA6", false, Uploading},
                      StateTexts{UploadPodcastState::Successful, "Done", true, Uploaded},
                      StateTexts{UploadPodcastState::Failed, "Upload failed", false,
                                 QStringLiteral("Upload failed")}));

TEST(UploadPodcastStateValues, AreStoredAsZeroToThree)
{
    EXPECT_EQ(static_cast<int>(UploadPodcastState::Unstarted), 0);
    EXPECT_EQ(static_cast<int>(UploadPodcastState::InProgress), 1);
    EXPECT_EQ(static_cast<int>(UploadPodcastState::Successful), 2);
    EXPECT_EQ(static_cast<int>(UploadPodcastState::Failed), 3);
}

// --- FTP reports ---

struct FTPReportCase
{
    const char* label;
    std::vector<std::pair<int, FTPUploadFailureReason>> reports;
    UploadPodcastState state;
    int progress;
    QString statusText;
};

void PrintTo(const FTPReportCase& testCase, std::ostream* stream)
{
    *stream << testCase.label;
}

class UploadPodcastFTPReportTest : public ::testing::TestWithParam<FTPReportCase>
{
};

TEST_P(UploadPodcastFTPReportTest, MovesTheState)
{
    const auto viewModel = makeViewModel();
    viewModel->setUploadState(UploadPodcastState::InProgress);
    for (const auto& [percentage, reason] : GetParam().reports)
        viewModel->FTPUploadDidProgress(percentage, reason);
    EXPECT_EQ(viewModel->uploadState(), GetParam().state);
    EXPECT_EQ(viewModel->uploadProgress(), GetParam().progress);
    EXPECT_EQ(viewModel->statusText(), GetParam().statusText);
    drainMainQueue();
}

using R = FTPUploadFailureReason;
INSTANTIATE_TEST_SUITE_P(
    Reports, UploadPodcastFTPReportTest,
    ::testing::Values(
        FTPReportCase{
            "PartwayStaysInProgress", {{40, R::None}}, UploadPodcastState::InProgress, 40, Uploading},
        FTPReportCase{"CompleteIsSuccessful",
                      {{40, R::None}, {100, R::None}},
                      UploadPodcastState::Successful,
                      100,
                      Uploaded},
        FTPReportCase{"ServerErrorNamesIt",
                      {{100, R::ServerError}},
                      UploadPodcastState::Failed,
                      100,
                      QStringLiteral("Upload failed: Server error")},
        FTPReportCase{"TransferErrorIsPlain",
                      {{100, R::TransferError}},
                      UploadPodcastState::Failed,
                      100,
                      QStringLiteral("Upload failed")},
        FTPReportCase{"FailedMidwayKeepsItsPercentage",
                      {{30, R::None}, {55, R::TransferError}},
                      UploadPodcastState::Failed,
                      55,
                      QStringLiteral("Upload failed")},
        FTPReportCase{"ALaterSuccessWins",
                      {{100, R::TransferError}, {100, R::None}},
                      UploadPodcastState::Successful,
                      100,
                      Uploaded},
        // Ticks before the transfer has begun carry no news: no false failure, no full bar.
        FTPReportCase{"NoProgressInformationIsNoNews",
                      {{100, R::ProgressUnavailable}},
                      UploadPodcastState::InProgress,
                      0,
                      Uploading},
        FTPReportCase{"NoProgressInformationKeepsThePercentage",
                      {{20, R::None}, {100, R::ProgressUnavailable}, {60, R::None}},
                      UploadPodcastState::InProgress,
                      60,
                      Uploading},
        FTPReportCase{
            "ProgressOutOfRangeIsClamped", {{140, R::None}}, UploadPodcastState::InProgress, 100, Uploading}),
    [](const auto& testParam) { return std::string(testParam.param.label); });

// A TLS failure or a refusal reaches the user with the host and the reason.
TEST(LibsynUploadFailureTextTest, NamesTheHostAndTheReason)
{
    const struct
    {
        FTPFailure failure;
        QString text;
    } cases[] = {
        {{FTPFailureKind::CertificateRejected,
          QStringLiteral("ftp.example"),
          {},
          QStringLiteral("unknown issuer")},
         QStringLiteral("The certificate of ftp.example is not valid (unknown issuer): nothing was sent")},
        {{FTPFailureKind::TLSNotOffered, QStringLiteral("ftp.example"), {}, {}},
         QStringLiteral("ftp.example does not offer an encrypted connection: nothing was sent")},
        {{FTPFailureKind::RefusedFileAfterData,
          QStringLiteral("ftp.example"),
          QStringLiteral("552 Quota exceeded"),
          {}},
         QStringLiteral("Libsyn refused the file after receiving it: 552 Quota exceeded")},
    };
    for (const auto& c : cases) {
        const auto viewModel = makeViewModel();
        viewModel->FTPUploadDidProgress(37, FTPUploadFailureReason::ServerError, c.failure);
        EXPECT_EQ(viewModel->statusText(), QStringLiteral("Upload failed: ") + c.text);
        EXPECT_EQ(viewModel->uploadProgress(), 37);
        drainMainQueue();
    }
}

// --- SoundCloud reports ---

struct ByteCase
{
    qint64 sent;
    qint64 expected;
    int percentage;
};

class UploadPodcastSoundCloudProgressTest : public ::testing::TestWithParam<ByteCase>
{
};

TEST_P(UploadPodcastSoundCloudProgressTest, IsTheTruncatedShareAndLeavesTheState)
{
    const auto viewModel = makeViewModel(PodcastHost::SoundCloud);
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel->soundCloudUploadDidProgress(anySession(), anyTask(), 1, GetParam().sent, GetParam().expected);
    EXPECT_EQ(viewModel->uploadProgress(), GetParam().percentage);
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::InProgress);
    drainMainQueue();
}

INSTANTIATE_TEST_SUITE_P(Shares, UploadPodcastSoundCloudProgressTest,
                         ::testing::Values(ByteCase{1, 3, 33}, ByteCase{2, 3, 66}, ByteCase{3, 3, 100},
                                           ByteCase{0, 3, 0},
                                           // Nothing (or nonsense) expected shows 0 %, never a crash.
                                           ByteCase{5, 0, 0}, ByteCase{5, -1, 0}, ByteCase{0, 0, 0},
                                           // Never beyond the ends of the bar.
                                           ByteCase{7, 3, 100}, ByteCase{-4, 3, 0},
                                           ByteCase{5'000'000'000LL, 10'000'000'000LL, 50}));

TEST_F(UploadPodcastViewModelTest, SoundCloudProgressShowsBytesSentOfTheTotal)
{
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel->soundCloudUploadDidProgress(anySession(), anyTask(), 1000, 1'500'000, 3'000'000);
    EXPECT_EQ(viewModel->bytesSent(), 1'500'000);
    EXPECT_EQ(viewModel->bytesExpected(), 3'000'000);
    EXPECT_EQ(viewModel->transferredText(), QStringLiteral("1.5 MB of 3.0 MB"));
    viewModel->soundCloudUploadDidComplete(std::nullopt, QVariant(), std::nullopt);
    EXPECT_TRUE(viewModel->transferredText().isEmpty()) << "only while the upload runs";
}

struct CompletionCase
{
    const char* label;
    QVariant data;
    QString statusText;
};

void PrintTo(const CompletionCase& testCase, std::ostream* stream)
{
    *stream << testCase.label;
}

class UploadPodcastSoundCloudFailureTest : public ::testing::TestWithParam<CompletionCase>
{
};

QVariant errors(const QJsonArray& list)
{
    return QVariant::fromValue(QJsonObject{{QStringLiteral("errors"), list}});
}

QJsonObject message(const QJsonValue& text)
{
    return QJsonObject{{QStringLiteral("error_message"), text}};
}

TEST_P(UploadPodcastSoundCloudFailureTest, ShowsTheServersFirstMessageIfAny)
{
    const auto viewModel = makeViewModel(PodcastHost::SoundCloud);
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel->soundCloudUploadDidComplete(std::nullopt, GetParam().data,
                                           HTTPError(QStringLiteral("d"), 1, {}));
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Failed);
    EXPECT_EQ(viewModel->uploadProgress(), 100);
    EXPECT_EQ(viewModel->statusText(), GetParam().statusText);
    EXPECT_FALSE(viewModel->uploadButtonEnabled());
    drainMainQueue();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UploadPodcastSoundCloudFailureTest,
    ::testing::Values(
        CompletionCase{
            "FirstMessage",
            errors({message(QStringLiteral("Track title is too long")), message(QStringLiteral("second"))}),
            QStringLiteral("Upload failed: Track title is too long")},
        CompletionCase{
            "MapInsteadOfJson",
            QVariantMap{{QStringLiteral("errors"),
                         QVariantList{QVariantMap{{QStringLiteral("error_message"), QStringLiteral("m")}}}}},
            QStringLiteral("Upload failed: m")},
        CompletionCase{"EmptyErrors", errors({}), QStringLiteral("Upload failed")},
        CompletionCase{"NoAnswer", QVariant(), QStringLiteral("Upload failed")},
        CompletionCase{"AnswerIsAnArray", QVariant::fromValue(QJsonArray{message(QStringLiteral("m"))}),
                       QStringLiteral("Upload failed")},
        CompletionCase{
            "ErrorsIsNotAnArray",
            QVariant::fromValue(QJsonObject{{QStringLiteral("errors"), message(QStringLiteral("m"))}}),
            QStringLiteral("Upload failed")},
        CompletionCase{"FirstErrorIsNotADictionary", errors({QStringLiteral("m")}),
                       QStringLiteral("Upload failed")},
        CompletionCase{"MessageIsNotText", errors({message(42)}), QStringLiteral("Upload failed")},
        CompletionCase{"EmptyMessage", errors({message(QString())}), QStringLiteral("Upload failed: ")}),
    [](const auto& testParam) { return std::string(testParam.param.label); });

TEST_F(UploadPodcastViewModelTest, SoundCloudCompletionWithoutErrorIsASuccessEvenWithoutProgress)
{
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel->soundCloudUploadDidComplete(std::nullopt, QVariant(), std::nullopt);
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Successful);
    EXPECT_EQ(viewModel->uploadProgress(), 100);
    EXPECT_EQ(viewModel->statusText(), Uploaded);
}

// --- Reports to the screen ---

TEST_F(UploadPodcastViewModelTest, ReportsLaterOncePerWriteInOrder)
{
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel->FTPUploadDidProgress(100, FTPUploadFailureReason::None); // writes progress, then state
    EXPECT_TRUE(delegate.snapshots.empty()) << "reports are deferred to the main queue";
    drainMainQueue();
    ASSERT_EQ(delegate.snapshots.size(), 3u);
    // Each report reads the values as they are when it runs.
    for (const auto& snapshot : delegate.snapshots) {
        EXPECT_EQ(snapshot.state, UploadPodcastState::Successful);
        EXPECT_EQ(snapshot.buttonText, QStringLiteral("Done"));
        EXPECT_TRUE(snapshot.buttonEnabled);
    }
}

TEST_F(UploadPodcastViewModelTest, AnUnchangedValueIsReportedToo)
{
    viewModel->setUploadProgress(0);
    viewModel->setUploadState(UploadPodcastState::Unstarted);
    drainMainQueue();
    EXPECT_EQ(delegate.snapshots.size(), 2u);
}

TEST_F(UploadPodcastViewModelTest, ReportsBetweenWritesShowTheValuesOfTheirTime)
{
    viewModel->FTPUploadDidProgress(40, FTPUploadFailureReason::None);
    drainMainQueue();
    viewModel->FTPUploadDidProgress(100, FTPUploadFailureReason::ServerError);
    drainMainQueue();
    ASSERT_EQ(delegate.snapshots.size(), 3u);
    EXPECT_EQ(delegate.snapshots[0].progress, 40);
    EXPECT_EQ(delegate.snapshots[2].statusText, QStringLiteral("Upload failed: Server error"));
    EXPECT_EQ(delegate.snapshots[2].buttonText, QStringLiteral("Upload failed"));
}

TEST_F(UploadPodcastViewModelTest, WithoutADelegateChangesAreSilent)
{
    viewModel->setDelegate(nullptr);
    viewModel->setUploadState(UploadPodcastState::Successful);
    drainMainQueue();
    EXPECT_TRUE(delegate.snapshots.empty());
    EXPECT_EQ(viewModel->uploadState(), UploadPodcastState::Successful);
}

TEST_F(UploadPodcastViewModelTest, ADelegateClearedBeforeTheReportRunsHearsNothing)
{
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel->setDelegate(nullptr);
    drainMainQueue();
    EXPECT_TRUE(delegate.snapshots.empty());
}

TEST_F(UploadPodcastViewModelTest, AViewModelGoneBeforeTheReportRunsReportsNothing)
{
    viewModel->setUploadState(UploadPodcastState::InProgress);
    viewModel.reset();
    drainMainQueue();
    EXPECT_TRUE(delegate.snapshots.empty());
}

TEST_F(UploadPodcastViewModelTest, ProgressFromAWorkerThreadIsReportedOnTheMainThread)
{
    viewModel->setUploadState(UploadPodcastState::InProgress);
    constexpr int Reports = 2000;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        for (int sent = 1; sent <= Reports; ++sent)
            viewModel->soundCloudUploadDidProgress(anySession(), anyTask(), 1, sent, Reports);
        done = true;
    });
    // The screen reads while the worker writes.
    int lastSeen = 0;
    bool wentBackwards = false;
    while (!done) {
        const int now = viewModel->uploadProgress();
        wentBackwards = wentBackwards || now < lastSeen;
        lastSeen = now;
        QCoreApplication::processEvents();
    }
    worker.join();
    drainMainQueue();
    EXPECT_FALSE(wentBackwards);
    EXPECT_EQ(viewModel->uploadProgress(), 100);
    EXPECT_EQ(delegate.snapshots.size(), static_cast<size_t>(Reports + 1));
    EXPECT_FALSE(delegate.offMainThread);
}

} // namespace
} // namespace airlark::test
