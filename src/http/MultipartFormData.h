#pragma once

#include "http/HTTPError.h"
#include "http/HTTPRequest.h"
#include "http/MultipartBodyStream.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QUrl>
#include <memory>

namespace airlark {

// The form builder handed to the construction block of
// HTTPRequestSerializer::multipartFormRequestWithMethod: collects the parts of one form.
class MultipartFormData
{
public:
    MultipartFormData(HTTPRequest request, QStringConverter::Encoding encoding);

    const HTTPRequest& request() const { return request_; }
    QStringConverter::Encoding stringEncoding() const { return stringEncoding_; }
    // "Boundary+XXXXXXXXYYYYYYYY" of two random 32-bit numbers, made once per form.
    const QString& boundary() const { return boundary_; }
    const std::shared_ptr<MultipartBodyStream>& bodyStream() const { return bodyStream_; }

    // A file part streamed from disk when the request is sent. Fails (false, and `error` when
    // given) for a URL that is not a file URL ("Expected URL to be a file URL") or a file that
    // cannot be reached ("File URL not reachable."); the form then goes on without the part.
    bool appendPartWithFileURL(const QUrl& fileURL, const QString& name, const QString& fileName,
                               const QString& mimeType, HTTPError* error = nullptr);
    // The same with the file name from the URL and the MIME type from its extension.
    bool appendPartWithFileURL(const QUrl& fileURL, const QString& name, HTTPError* error = nullptr);
    // A text field: "Content-Disposition: form-data; name="<name>"" and the data.
    void appendPartWithFormData(const QByteArray& data, const QString& name);
    void appendPartWithHeaders(const HTTPHeaderFields& headers, const QByteArray& body);
    // A part whose content is read from `stream`, which must produce exactly `length` bytes.
    void appendPartWithInputStream(std::shared_ptr<HTTPInputStream> stream, const QString& name,
                                   const QString& fileName, quint64 length, const QString& mimeType);

    // Ends building: marks the boundaries, sets the body stream, "Content-Type" and
    // "Content-Length". A form without parts leaves the request as it was.
    HTTPRequest requestByFinalizingMultipartFormData();

    // A value safe inside a quoted header parameter: '"', CR and LF are percent-escaped, so a
    // file name cannot end the parameter or start a header line of its own.
    static QString quotedParameterValue(const QString& value);

private:
    void appendPart(HTTPHeaderFields headers, HTTPBodyPart::Body body, quint64 length);

    HTTPRequest request_;
    QStringConverter::Encoding stringEncoding_;
    QString boundary_;
    std::shared_ptr<MultipartBodyStream> bodyStream_;
};

} // namespace airlark
