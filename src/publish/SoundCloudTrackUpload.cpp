#include "publish/SoundCloudTrackUpload.h"

#include "hosts/SoundCloudAPIClient.h"
#include "http/HTTPRequestSerializer.h"
#include "http/HTTPSessionManager.h"
#include "platform/MainQueue.h"
#include "platform/StandardOutput.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace airlark {

const QString SoundCloudNeedsNewSignInMessage = QStringLiteral("Sign in to SoundCloud again");
const QString SoundCloudSigningFailedMessage = QStringLiteral(
    "The SoundCloud sign-in could not be renewed just now; check the connection and try again");
const QString SoundCloudNotATrackMessage =
    QStringLiteral("SoundCloud's answer did not describe the uploaded track");
const QString SoundCloudAnswerUnreadableMessage = QStringLiteral(
    "Uploaded, but SoundCloud's answer could not be read: check your tracks before uploading again");
const QString SoundCloudKeyringUnavailableMessage =
    QStringLiteral("The keyring is locked or unavailable, so the SoundCloud sign-in cannot be read: unlock "
                   "it and try again");

QString soundCloudAskedToWaitMessage(std::chrono::seconds delay)
{
    const auto minutes = std::max<qint64>(1, std::chrono::ceil<std::chrono::minutes>(delay).count());
    return minutes == 1 ? QStringLiteral("SoundCloud asks to wait 1 minute")
                        : QStringLiteral("SoundCloud asks to wait %1 minutes").arg(minutes);
}

void SoundCloudUploadHandle::cancel()
{
    if (cancelled_ || completed_)
        return;
    cancelled_ = true;
    // A running "/tracks" request reports its own cancellation; a sign-in renewal or the "/me"
    // request is not worth waiting for.
    if (const auto task = task_.lock(); task && task->state() != HTTPSessionTask::State::Completed)
        task->cancel();
    else if (reportCancel_)
        reportCancel_();
}

void SoundCloudUploadHandle::setTask(const std::shared_ptr<HTTPSessionTask>& task)
{
    task_ = task;
    if (cancelled_)
        task->cancel();
}

namespace {

// Above this size a dead token is looked for with "/me" first: sending the file once in vain
// would cost more than the extra request.
constexpr qint64 ProbeAboveBytes = 1024 * 1024;
// What a diagnostic line shows of one value the server chose.
constexpr qsizetype MaximumShownLength = 300;

// The last path component, as a file name: none for an empty path or the root.
QString lastPathComponent(const QUrl& url)
{
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A server's text on one line of the terminal: no control characters, and not a page long.
QString shown(QString text)
{
    for (QChar& character : text) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7F)
            character = QLatin1Char('?');
    }
    if (text.size() > MaximumShownLength)
        text = text.left(MaximumShownLength) + QChar(0x2026);
    return text;
}

// Without its header fields: a server may set a cookie, and a cookie can be a secret.
QString describe(const std::optional<HTTPResponse>& response)
{
    if (!response)
        return QStringLiteral("nil");
    return shown(QStringLiteral("<HTTPResponse: %1> { Status Code: %2 }")
                     .arg(response->URL.toString())
                     .arg(response->statusCode));
}

QString describe(const QVariant& object)
{
    if (!object.isValid())
        return QStringLiteral("nil");
    if (object.typeId() == QMetaType::QJsonObject)
        return shown(QString::fromUtf8(QJsonDocument(object.toJsonObject()).toJson(QJsonDocument::Compact)));
    if (object.typeId() == QMetaType::QJsonArray)
        return shown(QString::fromUtf8(QJsonDocument(object.toJsonArray()).toJson(QJsonDocument::Compact)));
    return shown(object.toString());
}

QString describe(const std::optional<HTTPError>& error)
{
    return error ? shown(error->description()) : QStringLiteral("nil");
}

// One upload, shared by its attempts (a second one after a renewed token).
struct Upload
{
    OAuth2Signer signer;
    QUrl target;
    SoundCloudFileUploadEntity entity;
    QString audioFileName;
    std::shared_ptr<SoundCloudAPIClientUploadDelegate> delegate;
    std::shared_ptr<SoundCloudUploadHandle> handle;
};

void reportCompletion(const Upload& upload, const std::optional<HTTPResponse>& response,
                      const QVariant& object, const std::optional<HTTPError>& error)
{
    if (!upload.handle->claimCompletion())
        return; // a cancel has been reported already
    standardOutputLine(QStringLiteral("bldfhjsa ") + describe(response) + QLatin1Char(' ') +
                       describe(object) + QLatin1Char(' ') + describe(error));
    if (upload.delegate)
        upload.delegate->soundCloudUploadDidComplete(response, object, error);
}

void reportFailure(const Upload& upload, int code, const QString& message)
{
    reportCompletion(upload, std::nullopt, QVariant(),
                     HTTPError(QString::fromLatin1(SoundCloudUploadErrorDomain), code, message));
}

void reportCancelled(const Upload& upload)
{
    reportCompletion(upload, std::nullopt, QVariant(),
                     HTTPError(QString::fromLatin1(HTTPURLErrorDomain), HTTPErrorCode::Cancelled,
                               QStringLiteral("cancelled")));
}

void reportUnsigned(const Upload& upload, OAuth2SigningError reason, const OAuth2RefreshFailure& why)
{
    if (reason == OAuth2SigningError::NotSignedIn || reason == OAuth2SigningError::NeedsNewSignIn)
        reportFailure(upload, SoundCloudUploadErrorCode::NeedsNewSignIn, SoundCloudNeedsNewSignInMessage);
    else if (reason == OAuth2SigningError::CredentialStoreFailure)
        reportFailure(upload, SoundCloudUploadErrorCode::KeyringUnavailable,
                      SoundCloudKeyringUnavailableMessage);
    else if (why.retryAfter)
        reportFailure(upload, SoundCloudUploadErrorCode::AskedToWait,
                      soundCloudAskedToWaitMessage(*why.retryAfter));
    else
        reportFailure(upload, SoundCloudUploadErrorCode::SigningFailed,
                      why.reason.isEmpty() ? SoundCloudSigningFailedMessage
                                           : SoundCloudSigningFailedMessage + QStringLiteral(" (") +
                                                 shown(why.reason) + QLatin1Char(')'));
}

bool answeredHere(const Upload& upload, const std::optional<HTTPResponse>& response)
{
    const auto place = [](const QUrl& url) {
        return url.adjusted(QUrl::RemoveQuery | QUrl::StripTrailingSlash);
    };
    return response && place(response->URL) == place(upload.target);
}

// "Created" from "/tracks" itself: the track exists, whatever the body says.
bool createdHere(const Upload& upload, const std::optional<HTTPResponse>& response)
{
    return answeredHere(upload, response) && response->statusCode == 201;
}

// A success is SoundCloud's 2xx answer from "/tracks" itself, describing the track it made.
bool describesTheTrack(const Upload& upload, const std::optional<HTTPResponse>& response,
                       const QVariant& object)
{
    return answeredHere(upload, response) && response->statusCode / 100 == 2 &&
           object.typeId() == QMetaType::QJsonObject && object.toJsonObject().contains(QStringLiteral("id"));
}

// The "/tracks" request: the entity's text fields, its audio file and its artwork.
std::optional<HTTPRequest> trackRequest(const Upload& upload, HTTPError& buildError)
{
    const SoundCloudFileUploadEntity& entity = upload.entity;
    const HTTPRequestSerializer serializer;
    return serializer.multipartFormRequestWithMethod(
        QStringLiteral("POST"), upload.target.toString(QUrl::FullyEncoded), entity.formFields(),
        [&](MultipartFormData& form) {
            // A part that cannot be appended is left out; the server's answer tells the result.
            if (!form.appendPartWithFileURL(entity.fileURL, QStringLiteral("track[asset_data]"),
                                            upload.audioFileName, QStringLiteral("audio/mp3")))
                return;
            if (!entity.artworkURL)
                return;
            const QString artworkFileName = lastPathComponent(*entity.artworkURL);
            if (!artworkFileName.isEmpty())
                form.appendPartWithFileURL(*entity.artworkURL, QStringLiteral("track[artwork_data]"),
                                           artworkFileName, QStringLiteral("image/jpeg"));
        },
        &buildError);
}

void attempt(const std::shared_ptr<const Upload>& upload, const OAuth2SigningResult& signing, bool renewed);

// What the answer to "/tracks" means: a success, a token to renew once, or the failure to report.
void answered(const std::shared_ptr<const Upload>& upload, const OAuth2SignedRequest& rejected, bool renewed,
              const std::optional<HTTPResponse>& response, const QVariant& object,
              const std::optional<HTTPError>& error)
{
    if (upload->handle->isCancelled() && error) {
        reportCancelled(*upload);
        return;
    }
    if (response && response->statusCode == 401 && !upload->handle->isCancelled()) {
        if (renewed) {
            reportFailure(*upload, SoundCloudUploadErrorCode::NeedsNewSignIn,
                          SoundCloudNeedsNewSignInMessage);
            return;
        }
        upload->signer.renew(rejected,
                             [upload](const OAuth2SigningResult& again) { attempt(upload, again, true); });
        return;
    }
    if (response && response->statusCode == 429 && response->retryAfter()) {
        reportFailure(*upload, SoundCloudUploadErrorCode::AskedToWait,
                      soundCloudAskedToWaitMessage(*response->retryAfter()));
        return;
    }
    if (createdHere(*upload, response) && !describesTheTrack(*upload, response, object)) {
        // The track exists: saying the upload failed would invite a second one.
        reportCompletion(*upload, response, object,
                         HTTPError(QString::fromLatin1(SoundCloudUploadErrorDomain),
                                   SoundCloudUploadErrorCode::AnswerUnreadable,
                                   SoundCloudAnswerUnreadableMessage));
        return;
    }
    if (!error && !describesTheTrack(*upload, response, object)) {
        reportCompletion(*upload, response, object,
                         HTTPError(QString::fromLatin1(SoundCloudUploadErrorDomain),
                                   SoundCloudUploadErrorCode::NotATrack, SoundCloudNotATrackMessage));
        return;
    }
    reportCompletion(*upload, response, object, error);
}

void attempt(const std::shared_ptr<const Upload>& upload, const OAuth2SigningResult& signing, bool renewed)
{
    if (upload->handle->isCancelled())
        return; // reported by the cancel
    if (!signing.request) {
        reportUnsigned(*upload, signing.error.value_or(OAuth2SigningError::NotSignedIn),
                       signing.refreshFailure);
        return;
    }
    HTTPError buildError;
    std::optional<HTTPRequest> request = trackRequest(*upload, buildError);
    if (!request) {
        reportCompletion(*upload, std::nullopt, QVariant(), buildError);
        return;
    }
    request->setValueForHTTPHeaderField(QString::fromLatin1(signing.request->authorization),
                                        QStringLiteral("Authorization"));

    // One manager per upload; it keeps itself alive until its task has reported.
    auto manager = HTTPSessionManager::create(HTTPSessionConfiguration::defaultSessionConfiguration());
    manager->setTaskDidSendBodyDataBlock(
        [delegate = upload->delegate](HTTPSession& session, HTTPSessionTask& task, qint64 bytesSent,
                                      qint64 totalBytesSent, qint64 totalBytesExpectedToSend) {
            standardOutputLine(QStringLiteral("yeah progress %1 %2 %3")
                                   .arg(bytesSent)
                                   .arg(totalBytesSent)
                                   .arg(totalBytesExpectedToSend));
            if (delegate)
                delegate->soundCloudUploadDidProgress(session, task, bytesSent, totalBytesSent,
                                                      totalBytesExpectedToSend);
        });
    auto task = manager->uploadTaskWithStreamedRequest(
        *request, nullptr,
        [upload, rejected = *signing.request, renewed](const std::optional<HTTPResponse>& response,
                                                       const QVariant& object,
                                                       const std::optional<HTTPError>& error) {
            answered(upload, rejected, renewed, response, object, error);
        });
    task->resume();
    upload->handle->setTask(task);
}

} // namespace

Result<std::shared_ptr<SoundCloudUploadHandle>, SoundCloudAPIClientError>
upload(SoundCloudAPIClient& client, const SoundCloudFileUploadEntity& entity,
       std::shared_ptr<SoundCloudAPIClientUploadDelegate> delegate)
{
    const QString audioFileName = lastPathComponent(entity.fileURL);
    if (audioFileName.isEmpty())
        return SoundCloudAPIClientError::FileURL;

    auto handle = std::make_shared<SoundCloudUploadHandle>();
    const auto shared =
        std::make_shared<const Upload>(Upload{client.signer(), client.apiURL(QStringLiteral("/tracks")),
                                              entity, audioFileName, std::move(delegate), handle});
    handle->setCancelReporter([weak = std::weak_ptr<const Upload>(shared)] {
        // Later, as every outcome arrives: never inside the caller's cancel().
        if (auto upload = weak.lock())
            MainQueue::async([upload = std::move(upload)] { reportCancelled(*upload); });
    });
    const auto send = [shared](bool renewed) {
        // The token may need a refresh first, so the request is built once it is signed.
        shared->signer.sign(shared->target, [shared, renewed](const OAuth2SigningResult& signing) {
            attempt(shared, signing, renewed);
        });
    };
    if (QFileInfo(entity.fileURL.toLocalFile()).size() <= ProbeAboveBytes) {
        send(false);
        return handle;
    }
    SoundCloudAPIClient::get(
        shared->signer, client.apiURL(QStringLiteral("/me")), [shared, send](const SoundCloudAnswer& answer) {
            if (shared->handle->isCancelled())
                return; // reported by the cancel
            if (answer.signingError)
                reportUnsigned(*shared, *answer.signingError, answer.refreshFailure);
            else if (answer.result.retryAfter)
                reportFailure(*shared, SoundCloudUploadErrorCode::AskedToWait,
                              soundCloudAskedToWaitMessage(*answer.result.retryAfter));
            else if (answer.result.statusCode == 401)
                reportFailure(*shared, SoundCloudUploadErrorCode::NeedsNewSignIn,
                              SoundCloudNeedsNewSignInMessage);
            else
                send(answer.renewed); // anything but a refused token is for the upload to tell
        });
    return handle;
}

} // namespace airlark
