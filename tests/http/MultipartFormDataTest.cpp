// The multipart/form-data body as the stream produces it, byte for byte.
#include "HttpTestSupport.h"
#include "http/HTTPRequestSerializer.h"
#include "support/Mp3Fixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace airlark;
using namespace airlark::test;

namespace {

class MultipartFormDataTest : public ::testing::Test
{
protected:
    QString file(const QString& name, const QByteArray& content)
    {
        EXPECT_TRUE(writeFile(dir.filePath(name), content));
        return dir.filePath(name);
    }

    // A form with one field and then these files, each given as its path and file name.
    HTTPRequest form(const QList<std::pair<QString, QString>>& files)
    {
        auto request = serializer.multipartFormRequestWithMethod(
            QStringLiteral("POST"), QStringLiteral("https://api.example.com/tracks"),
            QVariantMap{{QStringLiteral("track[title]"), QStringLiteral("Twelve")}},
            [&](MultipartFormData& form) {
                for (const auto& [path, name] : files)
                    EXPECT_TRUE(form.appendPartWithFileURL(QUrl::fromLocalFile(path), QStringLiteral("a"),
                                                           name, QStringLiteral("audio/mp3")));
                form.appendPartWithFormData(QByteArray(), QStringLiteral("blank"));
            });
        EXPECT_TRUE(request.has_value());
        return request.value_or(HTTPRequest());
    }

    QTemporaryDir dir;
    HTTPRequestSerializer serializer;
};

// A file name may hold any character but '/' on Linux: it must not break out of its quotes.
TEST_F(MultipartFormDataTest, FieldsThenPartsShareOneClosingLineTheLengthIsExactAndNamesStayQuoted)
{
    const QByteArray content = patternBytes(1000);
    const HTTPRequest request = form({{file(QStringLiteral("e.mp3"), content),
                                       QStringLiteral("Episode \"12\".mp3\r\nContent-Type: text/html")}});
    const QString type = *request.valueForHTTPHeaderField(QStringLiteral("Content-Type"));
    const QByteArray b = type.mid(type.indexOf(QStringLiteral("boundary=")) + 9).toLatin1();
    const QByteArray expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"track[title]\"\r\n\r\nTwelve\r\n--" + b +
        "\r\nContent-Disposition: form-data; name=\"a\"; filename=\"Episode %2212%22.mp3%0D%0AContent-Type: "
        "text/html\"\r\nContent-Type: audio/mp3\r\n\r\n" +
        content + "\r\n--" + b + "\r\nContent-Disposition: form-data; name=\"blank\"\r\n\r\n\r\n--" + b +
        "--\r\n";
    EXPECT_EQ(readAll(*request.HTTPBodyStream), expected);
    EXPECT_EQ(request.valueForHTTPHeaderField(QStringLiteral("Content-Length")),
              QString::number(expected.size()));
}

// Chunk sizes and packet limits must not change a single byte of the body.
TEST_F(MultipartFormDataTest, AnyReadSizeGivesTheSameBody)
{
    const HTTPRequest request =
        form({{file(QStringLiteral("a.mp3"), patternBytes(70001, 1)), QStringLiteral("a.mp3")},
              {file(QStringLiteral("c.jpg"), patternBytes(3, 2)), QStringLiteral("c.jpg")}});
    const QByteArray reference = readAll(*request.HTTPBodyStream->copy(), 1 << 24);
    for (const auto& [chunk, packet] :
         {std::pair<qint64, qint64>{1, 0}, {7, 0}, {4096, 0}, {65536, 3}, {1 << 20, 1000}}) {
        auto stream = std::static_pointer_cast<MultipartBodyStream>(request.HTTPBodyStream->copy());
        if (packet > 0)
            stream->numberOfBytesInPacket = packet;
        EXPECT_EQ(readAll(*stream, chunk), reference) << chunk << " " << packet;
        EXPECT_EQ(stream->contentLength(), static_cast<quint64>(reference.size()));
    }
}

// "Content-Length" was fixed when the part was appended: a file that changes afterwards must
// fail the body rather than send a corrupted or short form.
TEST_F(MultipartFormDataTest, AFileThatChangedSizeFailsTheStream)
{
    for (const QByteArray& replacement : {QByteArray("SHORT"), patternBytes(200)}) {
        const HTTPRequest request =
            form({{file(QStringLiteral("a.mp3"), patternBytes(100)), QStringLiteral("a.mp3")}});
        file(QStringLiteral("a.mp3"), replacement);
        bool failed = false;
        readAll(*request.HTTPBodyStream, 64, &failed);
        EXPECT_TRUE(failed) << replacement.size();
        ASSERT_TRUE(request.HTTPBodyStream->streamError().has_value());
        EXPECT_TRUE(request.HTTPBodyStream->streamError()->is(HTTPInputStreamErrorDomain,
                                                              HTTPErrorCode::StreamLengthMismatch));
    }
}

} // namespace
