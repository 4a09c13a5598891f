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
    // QVariant, invalid for none); a failure has an error. Outcomes the answer alone does not say
    // (the account needs a new sign-in, an answer that is no track) have their error in
    // SoundCloudUploadErrorDomain, with the message to show as its description.
    virtual void soundCloudUploadDidComplete(const std::optional<HTTPResponse>& response,
                                             const QVariant& data, const std::optional<HTTPError>& error) = 0;
};

} // namespace airlark
