// The multipart/form-data body as the stream produces it, byte for byte.
#include "HttpTestSupport.h"
#include "http/HTTPRequestSerializer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace airlark;
using namespace airlark::test;

namespace {

class MultipartFormDataTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    HTTPRequest multipart(const std::optional<QVariantMap>& parameters,
                          const std::function<void(MultipartFormData&)>& block)
    {
        auto request = serializer.multipartFormRequestWithMethod(
            QStringLiteral("POST"), QStringLiteral("https://api.example.com/tracks?client_id=x"), parameters,
            block);
        EXPECT_TRUE(request.has_value());
        return request.value_or(HTTPRequest());
    }

    static QByteArray boundaryOf(const HTTPRequest& request)
    {
        const QString type =
            request.valueForHTTPHeaderField(QStringLiteral("Content-Type")).value_or(QString());
        return type.mid(type.indexOf(QStringLiteral("boundary=")) + 9).toLatin1();
    }

    static QByteArray body(const HTTPRequest& request)
    {
        return request.HTTPBodyStream ? readAll(*request.HTTPBodyStream->copy()) : QByteArray();
    }

    QTemporaryDir dir;
    HTTPRequestSerializer serializer;
};

TEST_F(MultipartFormDataTest, FieldsThenFilesShareOneClosingLineAndTheLengthIsExact)
{
    const QByteArray content = patternBytes(1000);
    const QString audio = writeFile(dir, QStringLiteral("Episode 12.mp3"), content);
    const QString art = writeFile(dir, QStringLiteral("cover.png"), "PNG");
    const HTTPRequest request = multipart(
        QVariantMap{{QStringLiteral("track[title]"), QStringLiteral("Twelve")}},
        [&](MultipartFormData& form) {
            form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("track[asset_data]"),
                                       QStringLiteral("Episode 12.mp3"), QStringLiteral("audio/mp3"));
            form.appendPartWithFileURL(QUrl::fromLocalFile(art), QStringLiteral("g"),
                                       QStringLiteral("cover.png"), QStringLiteral("image/jpeg"));
        });
    const QByteArray b = boundaryOf(request);
    ASSERT_EQ(b.size(), 25);
    EXPECT_TRUE(b.startsWith("Boundary+"));
    EXPECT_EQ(b.mid(9), b.mid(9).toUpper());
    const QByteArray expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"track[title]\"\r\n\r\nTwelve\r\n--" + b +
        "\r\nContent-Disposition: form-data; name=\"track[asset_data]\"; filename=\"Episode 12.mp3\"\r\n"
        "Content-Type: audio/mp3\r\n\r\n" +
        content + "\r\n--" + b +
        "\r\nContent-Disposition: form-data; name=\"g\"; filename=\"cover.png\"\r\nContent-Type: "
        "image/jpeg\r\n\r\n"
        "PNG\r\n--" +
        b + "--\r\n";
    EXPECT_EQ(readAll(*request.HTTPBodyStream), expected);
    EXPECT_EQ(request.valueForHTTPHeaderField(QStringLiteral("Content-Length")),
              QString::number(expected.size()));
}

// Chunk sizes and packet limits must not change a single byte of the body.
class ReadSizeTest : public MultipartFormDataTest,
                     public ::testing::WithParamInterface<std::pair<qint64, qint64>>
{
};

TEST_P(ReadSizeTest, AnyReadSizeGivesTheSameBodyAsOneLargeRead)
{
    const auto [chunk, packet] = GetParam();
    const QString audio = writeFile(dir, QStringLiteral("a.mp3"), patternBytes(70001, 1));
    const QString art = writeFile(dir, QStringLiteral("c.jpg"), patternBytes(3, 2));
    const HTTPRequest request =
        multipart(QVariantMap{{QStringLiteral("t"), QStringLiteral("title")}}, [&](MultipartFormData& form) {
            form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("a"),
                                       QStringLiteral("a.mp3"), QStringLiteral("audio/mp3"));
            form.appendPartWithFormData(QByteArray(), QStringLiteral("blank"));
            form.appendPartWithFileURL(QUrl::fromLocalFile(art), QStringLiteral("c"), QStringLiteral("c.jpg"),
                                       QStringLiteral("image/jpeg"));
        });
    const QByteArray reference = readAll(*request.HTTPBodyStream->copy(), 1 << 24);
    auto stream = std::static_pointer_cast<MultipartBodyStream>(request.HTTPBodyStream->copy());
    if (packet > 0)
        stream->numberOfBytesInPacket = packet;
    EXPECT_EQ(readAll(*stream, chunk), reference);
    EXPECT_EQ(static_cast<quint64>(reference.size()), stream->contentLength());
    EXPECT_EQ(request.valueForHTTPHeaderField(QStringLiteral("Content-Length")),
              QString::number(reference.size()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadSizeTest,
                         ::testing::Values(std::pair<qint64, qint64>{1, 0}, std::pair<qint64, qint64>{2, 0},
                                           std::pair<qint64, qint64>{7, 0},
                                           std::pair<qint64, qint64>{4096, 0},
                                           std::pair<qint64, qint64>{65536, 3},
                                           std::pair<qint64, qint64>{1 << 20, 1000}));

// A file part that cannot be read is left out, and says why.
struct FileURLFailure
{
    const char* label;
    std::function<QUrl(const QTemporaryDir&)> url;
    const char* domain;
    int code;
    const char* reason;
};

void PrintTo(const FileURLFailure& failure, std::ostream* out)
{
    *out << failure.label;
}

class FileURLFailureTest : public MultipartFormDataTest, public ::testing::WithParamInterface<FileURLFailure>
{
};

TEST_P(FileURLFailureTest, FailsWithTheReasonAndLeavesThePartOut)
{
    bool appended = true;
    HTTPError error;
    const HTTPRequest request =
        multipart(QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}}, [&](MultipartFormData& form) {
            appended =
                form.appendPartWithFileURL(GetParam().url(dir), QStringLiteral("a"), QStringLiteral("a.mp3"),
                                           QStringLiteral("audio/mp3"), &error);
        });
    EXPECT_FALSE(appended);
    EXPECT_TRUE(error.is(GetParam().domain, GetParam().code)) << qPrintable(error.description());
    EXPECT_EQ(error.localizedFailureReason, QString::fromUtf8(GetParam().reason));
    EXPECT_FALSE(body(request).contains("name=\"a\""));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileURLFailureTest,
    ::testing::Values(
        FileURLFailure{"Web",
                       [](const QTemporaryDir&) { return QUrl(QStringLiteral("https://example.com/a.mp3")); },
                       HTTPURLRequestSerializationErrorDomain, -1000, "Expected URL to be a file URL"},
        FileURLFailure{"Missing",
                       [](const QTemporaryDir& d) {
                           return QUrl::fromLocalFile(d.filePath(QStringLiteral("gone.mp3")));
                       },
                       HTTPURLRequestSerializationErrorDomain, -1000, "File URL not reachable."},
        FileURLFailure{"Directory", [](const QTemporaryDir& d) { return QUrl::fromLocalFile(d.path()); },
                       HTTPInputStreamErrorDomain, HTTPErrorCode::StreamOpenFailed, "It is not a file."}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// A file name may hold any character but '/' on Linux: it must not break out of its quotes.
TEST_F(MultipartFormDataTest, QuotesAndLineBreaksInFileNamesCannotForgeHeaders)
{
    const QString audio = writeFile(dir, QStringLiteral("plain.mp3"), "AUDIO");
    const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
        form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("a"),
                                   QStringLiteral("evil\".mp3\r\nContent-Type: text/html"),
                                   QStringLiteral("audio/mp3"));
    });
    EXPECT_TRUE(body(request).contains("; filename=\"evil%22.mp3%0D%0AContent-Type: text/html\"\r\n"
                                       "Content-Type: audio/mp3\r\n\r\nAUDIO\r\n"));
}

// "Content-Length" was fixed when the part was appended: a file that changes afterwards must
// fail the body rather than send a corrupted or short form.
TEST_F(MultipartFormDataTest, FileThatChangedSizeFailsTheStream)
{
    for (const QByteArray& replacement : {QByteArray("SHORT"), patternBytes(200)}) {
        const QString path = writeFile(dir, QStringLiteral("a.mp3"), patternBytes(100));
        const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
            form.appendPartWithFileURL(QUrl::fromLocalFile(path), QStringLiteral("a"),
                                       QStringLiteral("a.mp3"), QStringLiteral("audio/mp3"));
        });
        writeFile(dir, QStringLiteral("a.mp3"), replacement);
        bool failed = false;
        readAll(*request.HTTPBodyStream, 64, &failed);
        EXPECT_TRUE(failed) << replacement.size();
        ASSERT_TRUE(request.HTTPBodyStream->streamError().has_value());
        EXPECT_TRUE(request.HTTPBodyStream->streamError()->is(HTTPInputStreamErrorDomain,
                                                              HTTPErrorCode::StreamLengthMismatch));
    }
}

} // namespace
