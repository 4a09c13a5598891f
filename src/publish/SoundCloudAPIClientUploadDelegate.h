#pragma once

#include "http/HTTPError.h"
#include "http/HTTPResponse.h"

#include <QVariant>
#include <optional>

namespace airlark {

class HTTPSession;
class HTTPSessionTask;

// Receives the progress and the outcome of one SoundCloud track upload.
class SoundCloudAPIClientUploadDelegate
{
public:
    virtual ~SoundCloudAPIClientUploadDelegate() = default;

    // On the HTTP session's worker thread, not the main thread. The counts are bytes sent in
    // this step, sent so far, and expected in total, as the session reports them.
    virtual void soundCloudUploadDidProgress(HTTPSession& session, HTTPSessionTask& task, qint64 bytesSent,
                                             qint64 totalBytesSent, qint64 bytesExpectedToSend) = 0;

    // On the main thread, once. `data` is the decoded answer (a QJsonObject or QJsonArray in the
    // QVariant, invalid for none); a failure has an error. When the upload could not be signed
    // (the account needs a new sign-in), nothing was sent: there is no response, `data` holds
    // {"errors": [{"error_message": <why>}]} and the error is in SoundCloudUploadErrorDomain.
    virtual void soundCloudUploadDidComplete(const std::optional<HTTPResponse>& response,
                                             const QVariant& data, const std::optional<HTTPError>& error) = 0;
};

} // namespace airlark
