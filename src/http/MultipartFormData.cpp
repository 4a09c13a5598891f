#include "http/MultipartFormData.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>

namespace airlark {

namespace {

QString createMultipartFormBoundary()
{
    QRandomGenerator* random = QRandomGenerator::system();
    return QString::asprintf("Boundary+%08X%08X", random->generate(), random->generate());
}

HTTPError fileURLError(const QString& reason)
{
    return HTTPError(QString::fromLatin1(HTTPURLRequestSerializationErrorDomain),
                     HTTPErrorCode::RequestSerializationFailed, reason, reason);
}

} // namespace

MultipartFormData::MultipartFormData(HTTPRequest request, QStringConverter::Encoding encoding)
    : request_(std::move(request)), stringEncoding_(encoding), boundary_(createMultipartFormBoundary()),
      bodyStream_(std::make_shared<MultipartBodyStream>(encoding))
{
}

QString MultipartFormData::quotedParameterValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('"'), QLatin1String("%22"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("%0D"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("%0A"));
    return escaped;
}

bool MultipartFormData::appendPartWithFileURL(const QUrl& fileURL, const QString& name,
                                              const QString& fileName, const QString& mimeType,
                                              HTTPError* error)
{
    if (!fileURL.isLocalFile()) {
        if (error)
            *error = fileURLError(QStringLiteral("Expected URL to be a file URL"));
        return false;
    }
    const QFileInfo info(fileURL.toLocalFile());
    if (!info.exists()) {
        if (error)
            *error = fileURLError(QStringLiteral("File URL not reachable."));
        return false;
    }
    // A directory or a file we may not read would only fail once the upload is under way.
    if (!info.isFile() || !info.isReadable()) {
        if (error) {
            *error = HTTPError(
                QString::fromLatin1(HTTPInputStreamErrorDomain), HTTPErrorCode::StreamOpenFailed,
                QStringLiteral("The file “%1” couldn’t be opened.").arg(info.fileName()),
                info.isFile() ? QStringLiteral("Permission denied.") : QStringLiteral("It is not a file."));
        }
        return false;
    }

    HTTPHeaderFields headers;
    headers.setValue(QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"")
                         .arg(quotedParameterValue(name), quotedParameterValue(fileName)),
                     QStringLiteral("Content-Disposition"));
    headers.setValue(mimeType, QStringLiteral("Content-Type"));
    appendPart(std::move(headers), fileURL, static_cast<quint64>(info.size()));
    return true;
}

bool MultipartFormData::appendPartWithFileURL(const QUrl& fileURL, const QString& name, HTTPError* error)
{
    const QString fileName = fileURL.fileName();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QString mimeType =
        type.isValid() && !type.isDefault() ? type.name() : QStringLiteral("application/octet-stream");
    return appendPartWithFileURL(fileURL, name, fileName, mimeType, error);
}

void MultipartFormData::appendPartWithFormData(const QByteArray& data, const QString& name)
{
    HTTPHeaderFields headers;
    headers.setValue(QStringLiteral("form-data; name=\"%1\"").arg(quotedParameterValue(name)),
                     QStringLiteral("Content-Disposition"));
    appendPartWithHeaders(headers, data);
}

void MultipartFormData::appendPartWithHeaders(const HTTPHeaderFields& headers, const QByteArray& body)
{
    appendPart(headers, body, static_cast<quint64>(body.size()));
}

void MultipartFormData::appendPartWithInputStream(std::shared_ptr<HTTPInputStream> stream,
                                                  const QString& name, const QString& fileName,
                                                  quint64 length, const QString& mimeType)
{
    HTTPHeaderFields headers;
    headers.setValue(QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"")
                         .arg(quotedParameterValue(name), quotedParameterValue(fileName)),
                     QStringLiteral("Content-Disposition"));
    headers.setValue(mimeType, QStringLiteral("Content-Type"));
    appendPart(std::move(headers), std::move(stream), length);
}

void MultipartFormData::appendPart(HTTPHeaderFields headers, HTTPBodyPart::Body body, quint64 length)
{
    auto part = std::make_unique<HTTPBodyPart>();
    part->stringEncoding = stringEncoding_;
    part->boundary = boundary_;
    part->headers = std::move(headers);
    part->body = std::move(body);
    part->bodyContentLength = length;
    bodyStream_->appendHTTPBodyPart(std::move(part));
}

HTTPRequest MultipartFormData::requestByFinalizingMultipartFormData()
{
    if (bodyStream_->isEmpty())
        return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_.HTTPBodyStream = bodyStream_;
    request_.HTTPBody.clear();
    request_.setValueForHTTPHeaderField(QStringLiteral("multipart/form-data; boundary=%1").arg(boundary_),
                                        QStringLiteral("Content-Type"));
    request_.setValueForHTTPHeaderField(QString::number(bodyStream_->contentLength()),
                                        QStringLiteral("Content-Length"));
    return request_;
}

} // namespace airlark
