#include "publish/UploadPodcastViewModel.h"

#include "ftp/FTPCurlHandle.h"
#include "hosts/LibsynFTPServer.h"
#include "hosts/LibsynHelpPage.h"
#include "hosts/SoundCloudAPIClient.h"
#include "hosts/SoundCloudAPIClientCredentials.h"
#include "http/HTTPError.h"
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
#include <chrono>
#include <cmath>

namespace airlark {

namespace {

// Looked up in the user's language each time they are shown: the translation is installed after
// these are defined.
QString shown(const char* text)
{
    return QCoreApplication::translate("UploadPodcastViewModel", text);
}

const char* const UploadText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Upload");
const char* const UploadingText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Uploading\u2026");
const char* const DoneText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Done");
const char* const UploadFailedText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Upload failed");
const char* const RetryText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Retry");
const char* const FinishingText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Finishing\u2026");
const char* const StoppingText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Stopping\u2026");
const char* const UploadCancelledText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Upload cancelled");
const char* const ClickUploadToBeginText =
    QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Click \u2018Upload\u2019 to begin");
const char* const UploadedText =
    QT_TRANSLATE_NOOP("UploadPodcastViewModel", "\U0001F389 Uploaded \U0001F389");
const char* const ServerErrorText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "Server error");
const char* const UnencryptedText =
    QT_TRANSLATE_NOOP("UploadPodcastViewModel", " (the connection is not encrypted)");
const char* const NothingSentText = QT_TRANSLATE_NOOP("UploadPodcastViewModel", "nothing was sent to Libsyn");

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
    return shownDataSize(bytes);
}

// "1 h 05 min", "3 min 07 s", "42 s": as precise as a wait of that length needs.
QString duration(std::chrono::seconds time)
{
    const qint64 seconds = time.count();
    if (seconds >= 3600)
        return QCoreApplication::translate("UploadPodcastViewModel", "%1 h %2 min")
            .arg(seconds / 3600)
            .arg((seconds % 3600) / 60, 2, 10, QLatin1Char('0'));
    if (seconds >= 60)
        return QCoreApplication::translate("UploadPodcastViewModel", "%1 min %2 s")
            .arg(seconds / 60)
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QCoreApplication::translate("UploadPodcastViewModel", "%1 s").arg(seconds);
}

} // namespace

// What the background read of a Libsyn account found: the row and the password, or why not.
struct LibsynAccountAccess
{
    std::optional<AccountQueryResult> row;
    std::optional<Account::Credential> credential;
    std::optional<QString> failure;
};

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

void UploadPodcastViewModel::setFailureReasonFromServer(std::optional<QString> reason)
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

bool UploadPodcastViewModel::canRetry() const
{
    const auto state = uploadState();
    return state == UploadPodcastState::Failed || state == UploadPodcastState::Cancelled;
}

QString UploadPodcastViewModel::uploadButtonText() const
{
    switch (uploadState()) {
    case UploadPodcastState::Unstarted:
        return shown(UploadText);
    case UploadPodcastState::InProgress:
        return shown(UploadingText);
    case UploadPodcastState::Successful:
        return shown(DoneText);
    case UploadPodcastState::Failed:
    case UploadPodcastState::Cancelled:
        break;
    }
    return shown(RetryText);
}

bool UploadPodcastViewModel::uploadButtonEnabled() const
{
    return uploadState() != UploadPodcastState::InProgress;
}

QString UploadPodcastViewModel::statusText() const
{
    QString ended = shown(UploadFailedText);
    switch (uploadState()) {
    case UploadPodcastState::Unstarted:
        return shown(ClickUploadToBeginText);
    case UploadPodcastState::InProgress:
        if (stopping_)
            return shown(StoppingText);
        // Every byte has left, but only the host's answer says it took the file.
        if (uploadProgress() >= 100)
            return shown(FinishingText);
        return unencrypted_ ? shown(UploadingText) + shown(UnencryptedText) : shown(UploadingText);
    case UploadPodcastState::Successful:
        // A success with a reason is one whose confirmation could not be read.
        return failureReasonFromServer().value_or(shown(UploadedText));
    case UploadPodcastState::Cancelled:
        ended = shown(UploadCancelledText);
        break;
    case UploadPodcastState::Failed:
        break;
    }
    if (const auto reason = failureReasonFromServer())
        return ended % QStringLiteral(": ") % *reason;
    if (uploadState() == UploadPodcastState::Cancelled && nothingSent_)
        return ended % QStringLiteral(": ") % shown(NothingSentText);
    return ended;
}

QString UploadPodcastViewModel::transferredText() const
{
    Q_ASSERT(MainQueue::isMainThread());
    const qint64 expected = bytesExpected();
    const UploadPodcastState state = uploadState();
    if (state == UploadPodcastState::Successful && rate_.bytesTotal() > 0) {
        if (rate_.bytesSent() < rate_.bytesTotal()) // the confirmation ends the elapsed time
            rate_.addSample(TransferRateEstimator::Clock::now(), rate_.bytesTotal(), rate_.bytesTotal());
        const auto elapsed = std::chrono::ceil<std::chrono::seconds>(rate_.elapsed());
        return QCoreApplication::translate("UploadPodcastViewModel", "%1 sent in %2")
            .arg(dataSize(rate_.bytesTotal()), duration(elapsed));
    }
    if (state != UploadPodcastState::InProgress || expected <= 0)
        return {};
    const qint64 sent = std::clamp<qint64>(bytesSent(), 0, expected);
    rate_.addSample(TransferRateEstimator::Clock::now(), sent, expected);
    QString text = QCoreApplication::translate("UploadPodcastViewModel", "%1 of %2")
                       .arg(dataSize(sent), dataSize(expected));
    if (const auto speed = rate_.bytesPerSecond(); speed && sent < expected) {
        text += QCoreApplication::translate("UploadPodcastViewModel", " \u2014 %1/s")
                    .arg(dataSize(static_cast<qint64>(*speed)));
        if (const auto left = rate_.timeLeft())
            text += QCoreApplication::translate("UploadPodcastViewModel", ", %1 left").arg(duration(*left));
    }
    return text;
}

std::optional<QUrl> UploadPodcastViewModel::publishedPageURL() const
{
    if (uploadState() != UploadPodcastState::Successful)
        return std::nullopt;
    if (host_ == PodcastHost::Libsyn)
        return libsynDashboardURL();
    if (!publishedLocation_)
        return std::nullopt;
    const QUrl page(*publishedLocation_, QUrl::StrictMode);
    const bool web = page.scheme() == QLatin1String("https") || page.scheme() == QLatin1String("http");
    if (!page.isValid() || !web || page.host().isEmpty())
        return std::nullopt;
    return page;
}

QString UploadPodcastViewModel::publishedText() const
{
    const auto page = publishedPageURL();
    if (!page)
        return {};
    const QString href = page->toString(QUrl::FullyEncoded).toHtmlEscaped();
    if (host_ == PodcastHost::Libsyn) {
        return QCoreApplication::translate(
                   "UploadPodcastViewModel",
                   "In the folder \u201c%1\u201d \u2014 see it in <a href=\"%2\">Libsyn\u2019s "
                   "dashboard</a>")
            .arg(libsynFolder_.toHtmlEscaped(), href);
    }
    return QCoreApplication::translate("UploadPodcastViewModel", "Your track: <a href=\"%1\">%2</a>")
        .arg(href, page->toDisplayString().toHtmlEscaped());
}

QString UploadPodcastViewModel::accountText() const
{
    const QString hostName = storedText(host_);
    return accountName_.isEmpty() ? hostName : accountName_ % QStringLiteral("\u2014") % hostName;
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
        finish(UploadPodcastState::Failed,
               QCoreApplication::translate("UploadPodcastViewModel",
                                           "The episode file \u201c%1\u201d is missing or cannot be read")
                   .arg(fileName()));
        return;
    }
    // A line break would end the STOR command and start another: such a name is never sent.
    if (host_ == PodcastHost::Libsyn && !isSafeFTPText(fileName())) {
        QString visible = fileName();
        visible.replace(QLatin1Char('\r'), QChar(0x23CE)).replace(QLatin1Char('\n'), QChar(0x23CE));
        visible.replace(QChar(0), QChar(0xFFFD));
        finish(UploadPodcastState::Failed,
               QCoreApplication::translate("UploadPodcastViewModel",
                                           "The file name \u201c%1\u201d cannot be sent to Libsyn: it has a "
                                           "line break in it (\u23CE). Rename the file on one line and "
                                           "try again")
                   .arg(visible));
        return;
    }
    // The elapsed time counts from here: a small episode can be confirmed before the screen
    // has read any progress at all.
    rate_.addSample(TransferRateEstimator::Clock::now(), 0, file.size());
    if (host_ == PodcastHost::SoundCloud)
        beginSoundCloudUpload();
    else
        beginLibsynUpload();
}

void UploadPodcastViewModel::finish(UploadPodcastState state, std::optional<QString> reason)
{
    if (reason)
        qWarning("Upload of \"%s\" ended: %s", qPrintable(fileName()), qPrintable(*reason));
    setFailureReasonFromServer(std::move(reason));
    setUploadState(state);
    monitor_.reset();
    soundCloudUpload_.reset();
    for (auto& stopped : std::exchange(whenStopped_, {}))
        stopped();
}

void UploadPodcastViewModel::cancelUpload(std::function<void()> stopped)
{
    Q_ASSERT(MainQueue::isMainThread());
    if (!isRunning()) {
        stopped();
        return;
    }
    whenStopped_.push_back(std::move(stopped));
    if (stopping_)
        return;
    stopping_ = true;
    scheduleStatusNotification();
    // Each transport reports its end as usual; a Libsyn account still being read ends when it arrives.
    if (monitor_)
        monitor_->cancel();
    else if (soundCloudUpload_)
        soundCloudUpload_->cancel();
}

void UploadPodcastViewModel::beginSoundCloudUpload()
{
    const SoundCloudAPIClientCredentials credentials(QString::number(userIdentifier_));
    SoundCloudAPIClient client(credentials);
    const SoundCloudFileUploadEntity entity(title_.value_or(QString()), fileURL_, artworkURL_, tags_,
                                            episodeDescription_);
    auto started = upload(client, entity, shared_from_this());
    if (!started) {
        finish(UploadPodcastState::Failed,
               QCoreApplication::translate("UploadPodcastViewModel",
                                           "SoundCloud cannot take a file without a name"));
        return;
    }
    soundCloudUpload_ = std::move(started).value();
}

void UploadPodcastViewModel::beginLibsynUpload()
{
    // The store may wait for another program's lock and the keyring for an unlock prompt: both are
    // read on a thread of their own, which holds this view model until it has reported.
    MainQueue::runInBackground([self = shared_from_this()] {
        LibsynAccountAccess access;
        const auto database = Database::open();
        access.row = database ? Account::find(*database, self->userIdentifier_) : std::nullopt;
        if (!access.row || !access.row->email || access.row->email->isEmpty() || !access.row->feedType) {
            access.failure =
                database
                    ? QCoreApplication::translate("UploadPodcastViewModel",
                                                  "The Libsyn account cannot be read from Airlark\u2019s "
                                                  "database: add it again")
                    : QCoreApplication::translate("UploadPodcastViewModel",
                                                  "Airlark\u2019s database cannot be opened, so the "
                                                  "account cannot be read");
        } else if (auto credential =
                       Account::loadCredential(storedText(PodcastHost::Libsyn), self->userIdentifier_)) {
            access.credential = std::move(credential).value();
        } else if (!credential.error().keyringUnavailable()) {
            access.failure =
                QCoreApplication::translate("UploadPodcastViewModel",
                                            "The password of the Libsyn account \u201c%1\u201d is not in the "
                                            "keyring: add the account again")
                    .arg(access.row->displayName);
        } else {
            access.failure =
                QCoreApplication::translate("UploadPodcastViewModel",
                                            "The keyring is locked or unavailable, so the password of "
                                            "\u201c%1\u201d cannot be read: unlock it and press Retry (%2)")
                    .arg(access.row->displayName, credential.error().message);
        }
        MainQueue::performOnMainThread(
            [self, access = std::move(access)] { self->libsynAccountDidArrive(access); });
    });
}

void UploadPodcastViewModel::libsynAccountDidArrive(const LibsynAccountAccess& access)
{
    if (stopping_) {
        nothingSent_ = true;
        finish(UploadPodcastState::Cancelled);
        return;
    }
    if (access.failure || !access.row || !access.credential) {
        signInFailed_ = access.row.has_value();
        finish(UploadPodcastState::Failed, access.failure);
        return;
    }
    const AccountQueryResult& row = *access.row;
    if (accountName_.isEmpty())
        accountName_ = row.displayName;
    monitor_ = libsynFTPClientFactory_
                   ? libsynFTPClientFactory_->makeClient(row.displayName, access.credential->password,
                                                         *row.email, *row.feedType, shared_from_this(),
                                                         access.credential->allowsUnencryptedFTP)
                   : nullptr;
    if (!monitor_) {
        finish(UploadPodcastState::Failed,
               QCoreApplication::translate("UploadPodcastViewModel",
                                           "The Libsyn account has no feed type: add it again"));
        return;
    }
    libsynEmail_ = *row.email;
    libsynFolder_ = LibsynFTPDestination::folderFor(row.displayName, *row.feedType).value_or(row.displayName);
    unencrypted_ = monitor_->server()->security() == FTPSecurity::None;
    bytesExpected_.store(QFileInfo(fileURL_.toLocalFile()).size());
    monitor_->uploadFile(fileURL_, replaceExisting_);
}

void UploadPodcastViewModel::FTPUploadDidProgress(int percentage, FTPUploadFailureReason failureReason,
                                                  const FTPFailure&)
{
    Q_ASSERT(MainQueue::isMainThread());
    // A tick before the transfer has begun carries no progress; a failure a tick sees is only
    // final once FTPUploadDidFinish says so.
    if (failureReason == FTPUploadFailureReason::ProgressUnavailable || !isRunning())
        return;
    const int percent = std::clamp(percentage, 0, 100);
    bytesSent_.store(bytesExpected() * percent / 100);
    setUploadProgress(percent);
}

void UploadPodcastViewModel::FTPUploadDidFinish(int percentage, FTPUploadFailureReason failureReason,
                                                const FTPFailure& failure)
{
    Q_ASSERT(MainQueue::isMainThread());
    const int percent = std::clamp(percentage, 0, 100);
    bytesSent_.store(bytesExpected() * percent / 100);
    setUploadProgress(percent);
    const bool confirmed = failureReason == FTPUploadFailureReason::None && percentage == 100;
    // Only a file this upload opened on the server is ever removed: before its STOR was accepted
    // the folder holds nothing of it, and a file of the same name there is someone else's.
    const bool wroteOnServer = monitor_->manager()->uploadReachedServer();
    if (stopping_) {
        if (!wroteOnServer) {
            nothingSent_ = true;
            finish(UploadPodcastState::Cancelled);
            return;
        }
        // Whatever reached the folder goes, the whole file too when it was complete before the
        // stop took hold: Libsyn would publish it.
        removeWrittenFileThenFinish(UploadPodcastState::Cancelled, std::nullopt);
        return;
    }
    if (confirmed) {
        publishedLocation_ = libsynFolder_ % QLatin1Char('/') % fileName();
        finish(UploadPodcastState::Successful);
        return;
    }
    signInFailed_ = failure.kind == FTPFailureKind::LogInRefused;
    std::optional<QString> reason;
    if (failure.failed())
        reason = libsynUploadFailureText(failure, libsynEmail_, libsynFolder_, fileName(), bytesExpected());
    else if (failureReason == FTPUploadFailureReason::ServerError)
        reason = shown(ServerErrorText);
    if (failure.kind == FTPFailureKind::AlreadyOnServer && reason)
        replaceQuestion_ =
            QCoreApplication::translate("UploadPodcastViewModel", "%1. Replace it?").arg(*reason);
    if (wroteOnServer)
        removeWrittenFileThenFinish(UploadPodcastState::Failed, std::move(reason));
    else
        finish(UploadPodcastState::Failed, std::move(reason));
}

void UploadPodcastViewModel::removeWrittenFileThenFinish(UploadPodcastState state,
                                                         std::optional<QString> reason)
{
    const QString folder = libsynFolder_;
    monitor_->removeUploadedFile([self = shared_from_this(), folder, state,
                                  reason = std::move(reason)](const FTPFailure& removal) {
        if (!removal.failed()) {
            self->finish(state, reason);
            return;
        }
        const QString why = libsynUploadFailureText(removal, self->libsynEmail_, folder);
        const QString left =
            QCoreApplication::translate("UploadPodcastViewModel",
                                        "the part already sent could not be removed from the folder %1 (%2); "
                                        "remove \u201c%3\u201d in your Libsyn account")
                .arg(folder, why, self->fileName());
        self->finish(state, reason ? *reason % QStringLiteral("; ") % left : left);
    });
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
    const bool unreadable =
        error && error->is(SoundCloudUploadErrorDomain, SoundCloudUploadErrorCode::AnswerUnreadable);
    if (!error || unreadable) {
        // The track exists now, even if a stop came too late to prevent it.
        if (const auto track = dictionary(data); track && !unreadable)
            publishedLocation_ =
                track->value(QStringLiteral("permalink_url"), track->value(QStringLiteral("uri"))).toString();
        setUploadProgress(100);
        finish(UploadPodcastState::Successful,
               unreadable ? std::optional(error->localizedDescription) : std::nullopt);
        return;
    }
    // The bar keeps the share that was sent.
    if (stopping_ && error->is(HTTPURLErrorDomain, HTTPErrorCode::Cancelled)) {
        finish(UploadPodcastState::Cancelled);
        return;
    }
    signInExpired_ = error->is(SoundCloudUploadErrorDomain, SoundCloudUploadErrorCode::NeedsNewSignIn);
    signInFailed_ =
        signInExpired_ || error->is(SoundCloudUploadErrorDomain, SoundCloudUploadErrorCode::SigningFailed);
    // SoundCloud's own words first; else what the client found ("Sign in to SoundCloud again", a
    // redirect that was not followed, a connection that was lost).
    std::optional<QString> reason = serverErrorMessage(data);
    if (!reason && !error->localizedDescription.isEmpty())
        reason = error->localizedDescription;
    finish(UploadPodcastState::Failed, std::move(reason));
}

} // namespace airlark
