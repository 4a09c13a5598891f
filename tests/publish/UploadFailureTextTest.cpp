// What a podcaster reads for each way an upload can fail, in process: Libsyn's FTP failures and
// SoundCloud's answers.
#include "publish/LibsynUploadFailureText.h"
#include "publish/SoundCloudTrackUpload.h"
#include "publish/UploadPodcastViewModel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace airlark {
namespace {

using K = FTPFailureKind;

struct LibsynFailure
{
    FTPFailure failure;
    QString text;
};

FTPFailure failure(K kind, const char* reply = "", const char* reason = "", qint64 serverSize = -1)
{
    return {kind,
            QStringLiteral("ftp.libsyn.example"),
            QString::fromUtf8(reply),
            QString::fromUtf8(reason),
            serverSize,
            {}};
}

TEST(UploadFailureTextTest, EachLibsynFailureSaysWhatHappenedAndWhatToDo)
{
    const QString host = QStringLiteral("ftp.libsyn.example");
    // clang-format off
    const LibsynFailure rows[] = {
        {failure(K::LogInRefused, "530 Login incorrect."), "Libsyn refused the log-in for ann@example.org: check the FTP password in your Libsyn account"},
        {failure(K::FolderMissing, "550 Failed to change directory."), "The folder ann/quickcast does not exist on Libsyn: check the show slug"},
        {failure(K::CannotConnect), "Cannot reach " + host + ": check the internet connection and try again"},
        {{K::ConnectionLost, {}, {}, {}, -1, {}}, "The connection to Libsyn was lost: try again"},
        {failure(K::TimedOut), host + " stopped answering: try again later"},
        {failure(K::ServerClosedSession, "421 Too many users"), host + " closed the connection (421 Too many users): try again later"},
        {failure(K::ServerClosedSession, "", "Connection died"), host + " closed the connection (Connection died): try again later"},
        {failure(K::RefusedFile, "553 Could not create file."), "Libsyn refused the file: 553 Could not create file."},
        {failure(K::RefusedFileAfterData, "552 Quota exceeded"), "Libsyn refused the file after receiving it: 552 Quota exceeded"},
        {failure(K::CertificateRejected, "", "self-signed certificate"), "The certificate of " + host + " is not valid (self-signed certificate): nothing was sent"},
        {failure(K::TLSHandshakeFailed, "", "handshake failure"), "No secure connection to " + host + " (handshake failure): nothing was sent"},
        {failure(K::TLSNotOffered), host + " does not offer an encrypted connection: nothing was sent"},
        {failure(K::LocalFileError), "The episode file could not be read, or changed while it was sent: try again"},
        {failure(K::Aborted), "The upload was cancelled"},
        {failure(K::AlreadyOnServer, "", "", 2'000'000), "\u201cep 1.mp3\u201d is already on Libsyn (" + shownDataSize(2'000'000) + ")"},
        {failure(K::IncompleteOnServer, "", "", 1'000'000), "Libsyn holds " + shownDataSize(1'000'000) + " of " + shownDataSize(3'000'000) + ": the upload was cut short"},
        {failure(K::SizeUnverified), "Libsyn did not say how much of the file it holds, so the upload cannot be confirmed: try again"},
        {failure(K::RefusedCommand, "550 Permission denied."), "Libsyn: 550 Permission denied."},
        {failure(K::Other), "Server error"},
    };
    // clang-format on
    for (const LibsynFailure& row : rows) {
        EXPECT_EQ(libsynUploadFailureText(row.failure, QStringLiteral("ann@example.org"),
                                          QStringLiteral("ann/quickcast"), QStringLiteral("ep 1.mp3"),
                                          3'000'000),
                  row.text)
            << ftpFailureKindName(row.failure.kind);
    }
}

TEST(UploadFailureTextTest, SoundCloudsOwnWordsAndItsWaitAreShown)
{
    const auto errors = [](const QJsonValue& first) {
        return QVariant(QJsonObject{{"errors", QJsonArray{first}}});
    };
    const std::pair<QVariant, std::optional<QString>> answers[] = {
        {errors(QJsonObject{{"error_message", "Track title is too long"}}), "Track title is too long"},
        {errors(QJsonObject{{"error_message", 422}}), std::nullopt},
        {errors(QStringLiteral("Track title is too long")), std::nullopt},
        {QVariant(QJsonObject{{"errors", QJsonArray{}}}), std::nullopt},
        {QVariant(QJsonArray{QJsonObject{{"error_message", "x"}}}), std::nullopt},
        {QVariant(), std::nullopt},
    };
    for (const auto& [answer, message] : answers)
        EXPECT_EQ(UploadPodcastViewModel::serverErrorMessage(answer), message)
            << answer.toString().toStdString();

    using std::chrono::seconds;
    for (const auto& [delay, text] : {std::pair{seconds(1), "SoundCloud asks to wait 1 minute"},
                                      std::pair{seconds(60), "SoundCloud asks to wait 1 minute"},
                                      std::pair{seconds(61), "SoundCloud asks to wait 2 minutes"},
                                      std::pair{seconds(0), "SoundCloud asks to wait 1 minute"}})
        EXPECT_EQ(soundCloudAskedToWaitMessage(delay), QString::fromUtf8(text)) << delay.count();
}

} // namespace
} // namespace airlark
