#include "http/HTTPResponseSerializer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace airlark;

namespace {

HTTPResponse response(int status, const QString& contentType)
{
    HTTPResponse r;
    r.URL = QUrl(QStringLiteral("https://api.example.com/tracks"));
    r.statusCode = status;
    if (!contentType.isEmpty())
        r.allHeaderFields.setValue(contentType, QStringLiteral("Content-Type"));
    return r;
}

TEST(HTTPResponse, MimeTypeAndCharsetComeFromContentType)
{
    const HTTPResponse r = response(200, QStringLiteral("Application/JSON; Charset=\"ISO-8859-1\""));
    EXPECT_EQ(r.MIMEType(), QStringLiteral("application/json"));
    EXPECT_EQ(r.textEncodingName(), QStringLiteral("iso-8859-1"));
    EXPECT_EQ(response(200, QString()).MIMEType(), QString());
}

TEST(JSONResponseSerializer, DecodesByTheDeclaredCharset)
{
    JSONResponseSerializer serializer;
    std::optional<HTTPError> error;
    const QByteArray latin1("{\"username\":\"J\xF6rg\"}");
    const HTTPResponse r = response(200, QStringLiteral("application/json; charset=iso-8859-1"));
    const QVariant object = serializer.responseObjectForResponse(&r, latin1, &error);
    EXPECT_FALSE(error.has_value());
    EXPECT_EQ(object.toJsonObject().value(QStringLiteral("username")).toString(),
              QStringLiteral("J\u00F6rg"));
}

TEST(JSONResponseSerializer, UnknownCharsetFallsBackToUTF8AndBadBytesAreAnError)
{
    JSONResponseSerializer serializer;
    const HTTPResponse unknown = response(200, QStringLiteral("application/json; charset=x-no-such"));
    std::optional<HTTPError> error;
    QVariant object = serializer.responseObjectForResponse(&unknown, "[\"\xC3\xA9\"]", &error);
    EXPECT_FALSE(error.has_value());
    EXPECT_EQ(object.toJsonArray().at(0).toString(), QStringLiteral("\u00E9"));

    const HTTPResponse utf8 = response(200, QStringLiteral("application/json"));
    object = serializer.responseObjectForResponse(&utf8, "[\"\xFF\xFE\"]", &error);
    EXPECT_FALSE(object.isValid());
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->is(HTTPURLResponseSerializationErrorDomain, -1016));
    EXPECT_EQ(error->localizedDescription, QStringLiteral("Data failed decoding as a UTF-8 string"));
    EXPECT_TRUE(error->localizedFailureReason.startsWith(QStringLiteral("Could not decode string: ")));
}

TEST(JSONResponseSerializer, MalformedJSONGivesTheParserError)
{
    JSONResponseSerializer serializer;
    const HTTPResponse r = response(422, QStringLiteral("application/json"));
    std::optional<HTTPError> error;
    EXPECT_FALSE(serializer.responseObjectForResponse(&r, "{not json", &error).isValid());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain, QString::fromLatin1(HTTPJSONErrorDomain));
    ASSERT_TRUE(error->underlyingError);
    EXPECT_TRUE(error->underlyingError->is(HTTPURLResponseSerializationErrorDomain, -1011));
}

TEST(HTTPResponseSerializer, EmptyBodyOfAnotherTypeIsInvalidWithoutError)
{
    HTTPResponseSerializer base;
    base.acceptableContentTypes = QSet<QString>{QStringLiteral("application/json")};
    const HTTPResponse r = response(204, QStringLiteral("text/html"));
    std::optional<HTTPError> error;
    EXPECT_FALSE(base.validateResponse(&r, QByteArray(), &error));
    EXPECT_FALSE(error.has_value());
    EXPECT_TRUE(base.validateResponse(nullptr, "x", &error));
}

} // namespace
