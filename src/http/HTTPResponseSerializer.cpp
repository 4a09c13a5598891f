#include "http/HTTPResponseSerializer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace airlark {

namespace {

HTTPError serializationError(int code, const QString& description, const HTTPResponse& response,
                             const QByteArray& data)
{
    HTTPError error(QString::fromLatin1(HTTPURLResponseSerializationErrorDomain), code, description);
    error.failingURL = response.URL;
    error.response = std::make_shared<HTTPResponse>(response);
    error.data = data;
    return error;
}

QJsonValue removingNullValues(const QJsonValue& value)
{
    if (value.isArray()) {
        QJsonArray array;
        const QJsonArray source = value.toArray();
        for (const QJsonValue& element : source)
            array.append(removingNullValues(element));
        return array;
    }
    if (value.isObject()) {
        QJsonObject object;
        const QJsonObject source = value.toObject();
        for (auto it = source.constBegin(); it != source.constEnd(); ++it) {
            if (!it.value().isNull())
                object.insert(it.key(), removingNullValues(it.value()));
        }
        return object;
    }
    return value;
}

} // namespace

HTTPResponseSerializer::HTTPResponseSerializer()
{
    QSet<int> codes;
    for (int code = 200; code < 300; ++code)
        codes.insert(code);
    acceptableStatusCodes = codes;
}

bool HTTPResponseSerializer::validateResponse(const HTTPResponse* response, const QByteArray& data,
                                              std::optional<HTTPError>* error) const
{
    if (!response)
        return true;
    bool valid = true;
    std::optional<HTTPError> validationError;
    const QString mimeType = response->MIMEType();
    if (acceptableContentTypes && !acceptableContentTypes->contains(mimeType)) {
        if (!data.isEmpty() && response->URL.isValid()) {
            validationError = serializationError(
                HTTPErrorCode::CannotDecodeContentData,
                QStringLiteral("Request failed: unacceptable content-type: %1").arg(mimeType), *response,
                data);
        }
        valid = false;
    }
    if (acceptableStatusCodes && !acceptableStatusCodes->contains(response->statusCode) &&
        response->URL.isValid()) {
        HTTPError statusError =
            serializationError(HTTPErrorCode::BadServerResponse,
                               QStringLiteral("Request failed: %1 (%2)")
                                   .arg(HTTPResponse::localizedStringForStatusCode(response->statusCode))
                                   .arg(response->statusCode),
                               *response, data);
        if (validationError)
            statusError.underlyingError = std::make_shared<HTTPError>(*validationError);
        validationError = statusError;
        valid = false;
    }
    if (!valid && error)
        *error = validationError;
    return valid;
}

QVariant HTTPResponseSerializer::responseObjectForResponse(const HTTPResponse* response,
                                                           const QByteArray& data,
                                                           std::optional<HTTPError>* error) const
{
    if (!validateResponse(response, data, error))
        return {};
    return data;
}

JSONResponseSerializer::JSONResponseSerializer()
{
    acceptableContentTypes = QSet<QString>{QStringLiteral("application/json"), QStringLiteral("text/json"),
                                           QStringLiteral("text/javascript")};
}

namespace {

// The body as text in the answer's declared encoding (UTF-8 when it declares none or an unknown
// one); `decodingError` says when it does not decode.
QString decodedText(const HTTPResponse* response, const QByteArray& data,
                    std::optional<HTTPError>& decodingError)
{
    const QString encodingName = response ? response->textEncodingName() : QString();
    std::optional<QStringDecoder> decoder;
    if (!encodingName.isEmpty()) {
        decoder.emplace(encodingName.toLatin1().constData());
        if (!decoder->isValid())
            decoder.reset();
    }
    if (!decoder)
        decoder.emplace(QStringDecoder::Utf8);
    const QString text = (*decoder)(data);
    if (!decoder->hasError())
        return text;
    HTTPError failure(QString::fromLatin1(HTTPURLResponseSerializationErrorDomain),
                      HTTPErrorCode::CannotDecodeContentData,
                      QStringLiteral("Data failed decoding as a UTF-8 string"),
                      QStringLiteral("Could not decode string: %1").arg(text));
    if (response) {
        failure.failingURL = response->URL;
        failure.response = std::make_shared<HTTPResponse>(*response);
    }
    failure.data = data;
    decodingError = failure;
    return text;
}

// The JSON object or array in `text`; nothing for an empty body or a single space.
QVariant parsedJSON(const QString& text, bool removesKeysWithNullValues,
                    std::optional<HTTPError>& decodingError)
{
    const QByteArray utf8 = text == QLatin1String(" ") ? QByteArray() : text.toUtf8();
    if (utf8.isEmpty())
        return {};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        decodingError =
            HTTPError(QString::fromLatin1(HTTPJSONErrorDomain), parseError.error,
                      QStringLiteral("The data couldn’t be read because it isn’t in the correct format."),
                      QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset));
        return {};
    }
    if (document.isObject())
        return removesKeysWithNullValues ? QVariant(removingNullValues(document.object()).toObject())
                                         : QVariant(document.object());
    if (document.isArray())
        return removesKeysWithNullValues ? QVariant(removingNullValues(document.array()).toArray())
                                         : QVariant(document.array());
    return {};
}

} // namespace

QVariant JSONResponseSerializer::responseObjectForResponse(const HTTPResponse* response,
                                                           const QByteArray& data,
                                                           std::optional<HTTPError>* error) const
{
    std::optional<HTTPError> validationError;
    const bool valid = validateResponse(response, data, &validationError);
    if (!valid) {
        if (!error)
            return {};
        // An unacceptable type stops here; a bad status still decodes the body, so that the
        // caller gets the server's own message with the error.
        if (validationError && validationError->hasInChain(HTTPURLResponseSerializationErrorDomain,
                                                           HTTPErrorCode::CannotDecodeContentData)) {
            *error = validationError;
            return {};
        }
    }

    std::optional<HTTPError> decodingError;
    const QString text = decodedText(response, data, decodingError);
    const QVariant object =
        decodingError ? QVariant() : parsedJSON(text, removesKeysWithNullValues, decodingError);

    if (error) {
        if (decodingError) {
            if (validationError)
                decodingError->underlyingError = std::make_shared<HTTPError>(*validationError);
            *error = decodingError;
        } else {
            *error = validationError;
        }
    }
    return object;
}

} // namespace airlark
