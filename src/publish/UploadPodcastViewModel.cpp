#include "publish/UploadPodcastViewModel.h"

#include "hosts/LibsynFTPServer.h"
#include "hosts/SoundCloudAPIClient.h"
#include "hosts/SoundCloudAPIClientCredentials.h"
#include "platform/MainQueue.h"
#include "publish/LibsynFTPClientFactory.h"
#include "publish/LibsynUploadFailureText.h"
#include "publish/SoundCloudTrackUpload.h"
#include "store/Account.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QVariantList>
#include <QVariantMap>
#include <QtDebug>
#include <algorithm>
#include <cmath>

namespace airlark {

namespace {

const QString UploadText = QStringLiteral("Upload");
const QString UploadingText = QStringLiteral("Uploading\u2026");
const QString DoneText = QStringLiteral("Done");
const QString UploadFailedText = QStringLiteral("Upload failed");
const QString ClickUploadToBeginText = QStringLiteral("Click \u2018Upload\u2019 to begin");
const QString UploadedText = QStringLiteral("\U0001F389 Uploaded \U0001F389");
const QString ServerErrorText = QStringLiteral("Server error");
const QString UnencryptedText = QStringLiteral(" (the connection is not encrypted)");

// A decoded JSON value as a dictionary, whichever way the decoder wrapped it.
std::optional<QVariantMap> dictionary(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QJsonObject>())
        return value.toJsonObject().toVariantMap();
    if (value.metaType() == QMetaType::fromType<QJsonValue>() && value.toJsonValue().isObject())
        return value.toJsonValue().toObject().toVariantMap();
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return value.toMap();
    return std::nullopt;
}

std::optional<QVariantList> array(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QJsonArray>())
        return value.toJsonArray().toVariantList();
    if (value.metaType() == QMetaType::fromType<QJsonValue>() && value.toJsonValue().isArray())
        return value.toJsonValue().toArray().toVariantList();
    if (value.metaType() == QMetaType::fromType<QVariantList>())
        return value.toList();
    return std::nullopt;
}

QString dataSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

} // namespace

std::shared_ptr<UploadPodcastViewModel>
UploadPodcastViewModel::create(QUrl fileURL, qint64 userIdentifier, PodcastHost host,
                               std::optional<QString> title, std::optional<QUrl> artworkURL, QStringList tags,
                               std::optional<QString> episodeDescription)
{
    return std::shared_ptr<UploadPodcastViewModel>(
        new UploadPodcastViewModel(std::move(fileURL), userIdentifier, host, std::move(title),
                                   std::move(artworkURL), std::move(tags), std::move(episodeDescription)));
}

UploadPodcastViewModel::UploadPodcastViewModel(QUrl fileURL, qint64 userIdentifier, PodcastHost host,
                                               std::optional<QString> title, std::optional<QUrl> artworkURL,
                                               QStringList tags, std::optional<QString> episodeDescription)
    : fileURL_(std::move(fileURL)), userIdentifier_(userIdentifier), host_(host), title_(std::move(title)),
      artworkURL_(std::move(artworkURL)), tags_(std::move(tags)),
      episodeDescription_(std::move(episodeDescription)),
      libsynFTPClientFactory_(std::make_shared<LibsynFTPClientFactory>())
{
}

UploadPodcastViewModel::~UploadPodcastViewModel() = default;

void UploadPodcastViewModel::setUploadProgress(int uploadProgress)
{
    uploadProgress_.store(uploadProgress);
    scheduleStatusNotification();
}

void UploadPodcastViewModel::setUploadState(UploadPodcastState uploadState)
{
    uploadState_.store(uploadState);
    scheduleStatusNotification();
}

std::optional<QString> UploadPodcastViewModel::failureReasonFromServer() const
{
    std::lock_guard lock(failureReasonMutex_);
    return failureReasonFromServer_;
}

void UploadPodcastViewModel::setFailureReasonFromServer(QString reason)
{
    std::lock_guard lock(failureReasonMutex_);
    failureReasonFromServer_ = std::move(reason);
}

void UploadPodcastViewModel::scheduleStatusNotification()
{
    // The report runs after the current callback has returned; a view model that is gone by then
    // reports nothing.
    MainQueue::async([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (self && self->delegate_)
            self->delegate_->uploadPodcastViewModelUploadStatusDidChange(*self);
    });
}

QString UploadPodcastViewModel::uploadButtonText() const
{
    switch (uploadState()) {
    case UploadPodcastState::Unstarted:
        return UploadText;
    case UploadPodcastState::InProgress:
        return UploadingText;
    case UploadPodcastState::Successful:
        return DoneText;
    case UploadPodcastState::Failed:
        break;
    }
    return UploadFailedText;
}

bool UploadPodcastViewModel::uploadButtonEnabled() const
{
    const auto state = uploadState();
    return state == UploadPodcastState::Unstarted || state == UploadPodcastState::Successful;
}

QString UploadPodcastViewModel::statusText() const
{
    switch (uploadState()) {
    case UploadPodcastState::Unstarted:
        return ClickUploadToBeginText;
    case UploadPodcastState::InProgress:
        return unencrypted_ ? UploadingText + UnencryptedText : UploadingText;
    case UploadPodcastState::Successful:
        return UploadedText;
    case UploadPodcastState::Failed:
        break;
    }
    if (const auto reason = failureReasonFromServer())
        return UploadFailedText % QStringLiteral(": ") % *reason;
    return UploadFailedText;
}

QString UploadPodcastViewModel::transferredText() const
{
    const qint64 expected = bytesExpected();
    if (uploadState() != UploadPodcastState::InProgress || expected <= 0)
        return {};
    return QCoreApplication::translate("UploadPodcastViewModel", "%1 of %2")
        .arg(dataSize(std::clamp<qint64>(bytesSent(), 0, expected)), dataSize(expected));
}

QString UploadPodcastViewModel::accountText() const
{
    if (!accountText_) {
        const QString hostName = storedText(host_);
        QString name;
        if (const auto database = Database::open()) {
            if (const auto row = Account::find(*database, userIdentifier_))
                name = row->displayName;
        }
        accountText_ = name.isEmpty() ? hostName : name % QStringLiteral("\u2014") % hostName;
    }
    return *accountText_;
}

void UploadPodcastViewModel::setLibsynFTPClientFactory(std::shared_ptr<const LibsynFTPClientFactory> factory)
{
    libsynFTPClientFactory_ = std::move(factory);
}

int UploadPodcastViewModel::percentage(qint64 totalBytesSent, qint64 bytesExpectedToSend)
{
    if (bytesExpectedToSend <= 0 || totalBytesSent <= 0)
        return 0;
    const double percent =
        std::trunc(static_cast<double>(totalBytesSent) / static_cast<double>(bytesExpectedToSend) * 100.0);
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

std::optional<QString> UploadPodcastViewModel::serverErrorMessage(const QVariant& data)
{
    const auto answer = dictionary(data);
    if (!answer)
        return std::nullopt;
    const auto errors = array(answer->value(QStringLiteral("errors")));
    if (!errors || errors->isEmpty())
        return std::nullopt;
    const auto first = dictionary(errors->first());
    if (!first)
        return std::nullopt;
    const QVariant message = first->value(QStringLiteral("error_message"));
    if (message.metaType() != QMetaType::fromType<QString>())
        return std::nullopt;
    return message.toString();
}

void UploadPodcastViewModel::beginUpload()
{
    Q_ASSERT(MainQueue::isMainThread());
    if (started_) {
        qWarning("An upload view model uploads once; ignoring a second start");
        return;
    }
    started_ = true;
    setUploadState(UploadPodcastState::InProgress);

    const QFileInfo file(fileURL_.toLocalFile());
    if (!fileURL_.isLocalFile() || !file.isFile() || !file.isReadable()) {
        failBeforeTransfer("the episode file is missing or cannot be read");
        return;
    }
    if (host_ == PodcastHost::SoundCloud)
        beginSoundCloudUpload();
    else
        beginLibsynUpload();
}

void UploadPodcastViewModel::cancelUpload()
{
    Q_ASSERT(MainQueue::isMainThread());
    if (!started_ || cancelRequested_ || uploadState() != UploadPodcastState::InProgress)
        return;
    cancelRequested_ = true;
    if (const auto monitor = monitor_.lock())
        monitor->cancelUpload();
    if (soundCloudCancellation_)
        soundCloudCancellation_->cancel();
}

void UploadPodcastViewModel::failBeforeTransfer(const char* why, bool atSignIn)
{
    signInFailed_ = atSignIn;
    qWarning("Upload of \"%s\" not started: %s", qPrintable(fileURL_.fileName()), why);
    setUploadState(UploadPodcastState::Failed);
}

void UploadPodcastViewModel::beginSoundCloudUpload()
{
    const SoundCloudAPIClientCredentials credentials(QString::number(userIdentifier_));
    SoundCloudAPIClient client(credentials);
    const SoundCloudFileUploadEntity entity(title_.value_or(QString()), fileURL_, artworkURL_, tags_,
                                            episodeDescription_);
    soundCloudCancellation_ = std::make_shared<SoundCloudUploadCancellation>();
    if (upload(client, entity, shared_from_this(), soundCloudCancellation_))
        failBeforeTransfer("SoundCloud refused the file's URL");
}

void UploadPodcastViewModel::beginLibsynUpload()
{
    const auto database = Database::open();
    if (!database) {
        failBeforeTransfer("the store cannot be opened");
        return;
    }
    const auto credential = Account::loadCredential(storedText(PodcastHost::Libsyn), userIdentifier_);
    const auto row = Account::find(*database, userIdentifier_);
    if (!credential) {
        failBeforeTransfer("the account's password is not in the keyring", true);
        return;
    }
    if (!row || !row->email || row->email->isEmpty() || !row->feedType) {
        failBeforeTransfer("the account, its e-mail address or its feed type cannot be read");
        return;
    }
    if (!accountText_)
        accountText_ = row->displayName % QStringLiteral("\u2014") % storedText(PodcastHost::Libsyn);
    const auto monitor = libsynFTPClientFactory_
                             ? libsynFTPClientFactory_->makeClient(
                                   row->displayName, credential->password, *row->email, *row->feedType,
                                   shared_from_this(), credential->allowsUnencryptedFTP)
                             : nullptr;
    if (!monitor) {
        failBeforeTransfer("no FTP connection can be made for the account's feed type");
        return;
    }
    libsynEmail_ = *row->email;
    libsynFolder_ =
        LibsynFTPDestination::folderFor(row->displayName, *row->feedType).value_or(row->displayName);
    unencrypted_ = monitor->server()->security() == FTPSecurity::None;
    monitor_ = monitor;
    bytesExpected_.store(QFileInfo(fileURL_.toLocalFile()).size());
    monitor->uploadFile(fileURL_);
}

void UploadPodcastViewModel::FTPUploadDidProgress(int percentage, FTPUploadFailureReason failureReason,
                                                  const FTPFailure& failure)
{
    Q_ASSERT(MainQueue::isMainThread());
    // The monitor reports "no progress information" on ticks that fall before the transfer has
    // begun (and for an empty file); its final report always carries the real outcome. Such a tick
    // is no news, least of all a failure, so the screen keeps showing the upload as it was.
    if (failureReason == FTPUploadFailureReason::ProgressUnavailable)
        return;

    const int percent = std::clamp(percentage, 0, 100);
    bytesSent_.store(bytesExpected() * percent / 100);
    setUploadProgress(percent);
    if (failureReason != FTPUploadFailureReason::None) {
        signInFailed_ = failure.kind == FTPFailureKind::LogInRefused;
        if (failure.failed())
            setFailureReasonFromServer(libsynUploadFailureText(failure, libsynEmail_, libsynFolder_));
        else if (failureReason == FTPUploadFailureReason::ServerError)
            setFailureReasonFromServer(ServerErrorText);
        setUploadState(UploadPodcastState::Failed);
        return;
    }
    if (percentage == 100) {
        publishedLocation_ = libsynFolder_ % QLatin1Char('/') % fileURL_.fileName();
        setUploadState(UploadPodcastState::Successful);
    }
}

void UploadPodcastViewModel::soundCloudUploadDidProgress(HTTPSession&, HTTPSessionTask&, qint64,
                                                         qint64 totalBytesSent, qint64 bytesExpectedToSend)
{
    bytesExpected_.store(std::max<qint64>(bytesExpectedToSend, 0));
    bytesSent_.store(std::max<qint64>(totalBytesSent, 0));
    setUploadProgress(percentage(totalBytesSent, bytesExpectedToSend));
}

void UploadPodcastViewModel::soundCloudUploadDidComplete(const std::optional<HTTPResponse>&,
                                                         const QVariant& data,
                                                         const std::optional<HTTPError>& error)
{
    setUploadProgress(100);
    if (!error) {
        if (const auto track = dictionary(data))
            publishedLocation_ =
                track->value(QStringLiteral("permalink_url"), track->value(QStringLiteral("uri"))).toString();
        setUploadState(UploadPodcastState::Successful);
        return;
    }
    signInExpired_ = error->is(SoundCloudUploadErrorDomain, SoundCloudUploadErrorCode::NeedsNewSignIn);
    signInFailed_ =
        signInExpired_ || error->is(SoundCloudUploadErrorDomain, SoundCloudUploadErrorCode::SigningFailed);
    // SoundCloud's own words first; else what the client found ("Sign in to SoundCloud again", a
    // redirect that was not followed, a connection that was lost).
    if (const auto message = serverErrorMessage(data))
        setFailureReasonFromServer(*message);
    else if (!error->localizedDescription.isEmpty())
        setFailureReasonFromServer(error->localizedDescription);
    setUploadState(UploadPodcastState::Failed);
}

} // namespace airlark
