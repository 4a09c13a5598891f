#pragma once

#include "http/HTTPError.h"
#include "http/HTTPResponse.h"

#include <QByteArray>
#include <QSet>
#include <QStringConverter>
#include <QVariant>
#include <optional>

namespace airlark {

// Checks a response's status code and content type and turns its body into an object.
// Usable from any thread; a serializer is not changed while requests use it.
class HTTPResponseSerializer
{
public:
    HTTPResponseSerializer();
    virtual ~HTTPResponseSerializer() = default;

    QStringConverter::Encoding stringEncoding = QStringConverter::Utf8;
    // 200 to 299; nothing accepts every code.
    std::optional<QSet<int>> acceptableStatusCodes;
    // Nothing accepts every type.
    std::optional<QSet<QString>> acceptableContentTypes;

    // Valid when there is no response, or its status and type are acceptable. An unacceptable
    // type gives -1016 (when there was a body), a bad status -1011 with the type error under it.
    virtual bool validateResponse(const HTTPResponse* response, const QByteArray& data,
                                  std::optional<HTTPError>* error = nullptr) const;
    // The base class answers the data itself (as a QByteArray), after validation; an invalid
    // response gives nothing.
    virtual QVariant responseObjectForResponse(const HTTPResponse* response, const QByteArray& data,
                                               std::optional<HTTPError>* error = nullptr) const;
};

// Decodes JSON bodies. The object is a QVariant holding a QJsonObject or a QJsonArray (invalid
// for none). A status outside 200-299 still decodes a JSON body, so that the caller gets both the
// server's message and the -1011 error.
class JSONResponseSerializer : public HTTPResponseSerializer
{
public:
    enum ReadingOption
    {
        None = 0
    };

    JSONResponseSerializer();

    int readingOptions = None;
    bool removesKeysWithNullValues = false;

    QVariant responseObjectForResponse(const HTTPResponse* response, const QByteArray& data,
                                       std::optional<HTTPError>* error = nullptr) const override;
};

} // namespace airlark
