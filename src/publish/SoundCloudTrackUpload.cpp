#include "publish/SoundCloudTrackUpload.h"

#include "hosts/SoundCloudAPIClient.h"
#include "http/HTTPRequestSerializer.h"
#include "http/HTTPSessionManager.h"
#include "platform/StandardOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace airlark {

const QString SoundCloudNeedsNewSignInMessage =
    QStringLiteral("the SoundCloud sign-in has expired. Add the SoundCloud account again to reconnect it.");
const QString SoundCloudSigningFailedMessage = QStringLiteral(
    "the SoundCloud sign-in could not be renewed just now. Check the connection and try again.");

namespace {

// The last path component, as a file name: none for an empty path or the root.
QString lastPathComponent(const QUrl& url)
{
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString describe(const std::optional<HTTPResponse>& response)
{
    return response ? response->description() : QStringLiteral("nil");
}

QString describe(const QVariant& object)
{
    if (!object.isValid())
        return QStringLiteral("nil");
    if (object.canConvert<QJsonObject>() && object.typeId() == QMetaType::QJsonObject)
        return QString::fromUtf8(QJsonDocument(object.toJsonObject()).toJson(QJsonDocument::Compact));
    if (object.typeId() == QMetaType::QJsonArray)
        return QString::fromUtf8(QJsonDocument(object.toJsonArray()).toJson(QJsonDocument::Compact));
    return object.toString();
}

QString describe(const std::optional<HTTPError>& error)
{
    return error ? error->description() : QStringLiteral("nil");
}

void reportCompletion(const std::shared_ptr<SoundCloudAPIClientUploadDelegate>& delegate,
                      const std::optional<HTTPResponse>& response, const QVariant& object,
                      const std::optional<HTTPError>& error)
{
    standardOutputLine(QStringLiteral("bldfhjsa ") + describe(response) + QLatin1Char(' ') +
                       describe(object) + QLatin1Char(' ') + describe(error));
    if (delegate)
        delegate->soundCloudUploadDidComplete(response, object, error);
}

// Nothing was sent: the delegate hears why in the shape SoundCloud uses for its own errors, so
// that the upload step shows the reason instead of a bare failure.
void reportUnsigned(const std::shared_ptr<SoundCloudAPIClientUploadDelegate>& delegate,
                    OAuth2SigningError reason)
{
    const bool needsSignIn =
        reason == OAuth2SigningError::NotSignedIn || reason == OAuth2SigningError::NeedsNewSignIn;
    const QString message = needsSignIn ? SoundCloudNeedsNewSignInMessage : SoundCloudSigningFailedMessage;
    const QJsonObject body{
        {QStringLiteral("errors"), QJsonArray{QJsonObject{{QStringLiteral("error_message"), message}}}}};
    const HTTPError error(QString::fromLatin1(SoundCloudUploadErrorDomain),
                          needsSignIn ? SoundCloudUploadErrorCode::NeedsNewSignIn
                                      : SoundCloudUploadErrorCode::SigningFailed,
                          message);
    reportCompletion(delegate, std::nullopt, QVariant(body), error);
}

void send(const QUrl& target, const SoundCloudFileUploadEntity& entity, const QString& audioFileName,
          const QByteArray& authorization, const std::shared_ptr<SoundCloudAPIClientUploadDelegate>& delegate)
{
    const HTTPRequestSerializer serializer;
    HTTPError buildError;
    std::optional<HTTPRequest> request = serializer.multipartFormRequestWithMethod(
        QStringLiteral("POST"), target.toString(QUrl::FullyEncoded), entity.formFields(),
        [&](MultipartFormData& form) {
            // A part that cannot be appended is left out; the server's answer tells the result.
            if (!form.appendPartWithFileURL(entity.fileURL, QStringLiteral("track[asset_data]"),
                                            audioFileName, QStringLiteral("audio/mp3")))
                return;
            if (!entity.artworkURL)
                return;
            const QString artworkFileName = lastPathComponent(*entity.artworkURL);
            if (!artworkFileName.isEmpty())
                form.appendPartWithFileURL(*entity.artworkURL, QStringLiteral("track[artwork_data]"),
                                           artworkFileName, QStringLiteral("image/jpeg"));
        },
        &buildError);
    if (!request) {
        reportCompletion(delegate, std::nullopt, QVariant(), buildError);
        return;
    }
    request->setValueForHTTPHeaderField(QString::fromLatin1(authorization), QStringLiteral("Authorization"));

    // One manager per upload; it keeps itself alive until its task has reported.
    auto manager = HTTPSessionManager::create(HTTPSessionConfiguration::defaultSessionConfiguration());
    manager->setTaskDidSendBodyDataBlock([delegate](HTTPSession& session, HTTPSessionTask& task,
                                                    qint64 bytesSent, qint64 totalBytesSent,
                                                    qint64 totalBytesExpectedToSend) {
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
        [delegate](const std::optional<HTTPResponse>& response, const QVariant& object,
                   const std::optional<HTTPError>& error) {
            reportCompletion(delegate, response, object, error);
        });
    task->resume();
}

} // namespace

std::optional<SoundCloudAPIClientError> upload(SoundCloudAPIClient& client,
                                               const SoundCloudFileUploadEntity& entity,
                                               std::shared_ptr<SoundCloudAPIClientUploadDelegate> delegate)
{
    const QString audioFileName = lastPathComponent(entity.fileURL);
    if (audioFileName.isEmpty())
        return SoundCloudAPIClientError::FileURL;

    const QUrl target = client.apiURL(QStringLiteral("/tracks"));
    // The token may need a refresh first, so the request is built once it is signed.
    client.signedRequest(target, [target, entity, audioFileName,
                                  delegate = std::move(delegate)](const OAuth2SigningResult& signing) {
        if (!signing.request) {
            reportUnsigned(delegate, signing.error.value_or(OAuth2SigningError::NotSignedIn));
            return;
        }
        send(target, entity, audioFileName, signing.request->authorization, delegate);
    });
    return std::nullopt;
}

} // namespace airlark
