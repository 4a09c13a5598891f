#include "HttpTestSupport.h"
#include "http/HTTPRequestSerializer.h"
#include "support/HttpTestServer.h"

#include <QFile>
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
        return multipartBoundary(
            request.valueForHTTPHeaderField(QStringLiteral("Content-Type")).value_or(QString()).toUtf8());
    }

    static QByteArray body(const HTTPRequest& request)
    {
        return request.HTTPBodyStream ? readAll(*request.HTTPBodyStream->copy()) : QByteArray();
    }

    QTemporaryDir dir;
    HTTPRequestSerializer serializer;
};

TEST_F(MultipartFormDataTest, OneFilePartIsByteExact)
{
    const QByteArray content = patternBytes(1000);
    const QString path = writeFile(dir, QStringLiteral("Episode 12.mp3"), content);
    const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
        EXPECT_TRUE(form.appendPartWithFileURL(QUrl::fromLocalFile(path), QStringLiteral("track[asset_data]"),
                                               QStringLiteral("Episode 12.mp3"),
                                               QStringLiteral("audio/mp3")));
    });

    const QByteArray boundary = boundaryOf(request);
    ASSERT_EQ(boundary.size(), 25);
    EXPECT_TRUE(QByteArray(boundary).startsWith("Boundary+"));
    EXPECT_EQ(boundary.mid(9), boundary.mid(9).toUpper());
    const QByteArray expected =
        "--" + boundary +
        "\r\n"
        "Content-Disposition: form-data; name=\"track[asset_data]\"; filename=\"Episode 12.mp3\"\r\n"
        "Content-Type: audio/mp3\r\n"
        "\r\n" +
        content + "\r\n--" + boundary + "--\r\n";
    const QByteArray produced = readAll(*request.HTTPBodyStream);
    EXPECT_EQ(produced, expected);
    EXPECT_EQ(request.valueForHTTPHeaderField(QStringLiteral("Content-Length")),
              QString::number(expected.size()));
    EXPECT_EQ(request.valueForHTTPHeaderField(QStringLiteral("Content-Type")),
              QStringLiteral("multipart/form-data; boundary=") + QString::fromLatin1(boundary));
    EXPECT_EQ(request.HTTPMethod, QStringLiteral("POST"));
}

TEST_F(MultipartFormDataTest, TwoPartsShareOneClosingLine)
{
    const QString audio = writeFile(dir, QStringLiteral("a.mp3"), "AUDIO");
    const QString art = writeFile(dir, QStringLiteral("cover.png"), "PNG");
    const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
        form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("f"), QStringLiteral("a.mp3"),
                                   QStringLiteral("audio/mp3"));
        form.appendPartWithFileURL(QUrl::fromLocalFile(art), QStringLiteral("g"), QStringLiteral("cover.png"),
                                   QStringLiteral("image/jpeg"));
    });
    const QByteArray b = boundaryOf(request);
    const QByteArray expected =
        "--" + b +
        "\r\n"
        "Content-Disposition: form-data; name=\"f\"; filename=\"a.mp3\"\r\nContent-Type: audio/mp3\r\n\r\n"
        "AUDIO"
        "\r\n--" +
        b +
        "\r\n"
        "Content-Disposition: form-data; name=\"g\"; filename=\"cover.png\"\r\nContent-Type: "
        "image/jpeg\r\n\r\n"
        "PNG"
        "\r\n--" +
        b + "--\r\n";
    EXPECT_EQ(body(request), expected);
    EXPECT_EQ(request.valueForHTTPHeaderField(QStringLiteral("Content-Length")),
              QString::number(expected.size()));
}

TEST_F(MultipartFormDataTest, ParametersComeFirstSortedByKeyAndFlattened)
{
    const QVariantMap parameters{
        {QStringLiteral("title"), QStringLiteral("Episode")},
        {QStringLiteral("artist"), QStringLiteral("Me")},
        {QStringLiteral("track"),
         QVariantMap{{QStringLiteral("tags"), QVariantList{QStringLiteral("news"), QStringLiteral("tech")}},
                     {QStringLiteral("b"), QVariantMap{{QStringLiteral("c"), QStringLiteral("x")}}}}},
        {QStringLiteral("empty"), QVariant()},
        {QStringLiteral("raw"), QByteArray("\x00\x01", 2)},
    };
    const QString audio = writeFile(dir, QStringLiteral("a.mp3"), "AUDIO");
    const HTTPRequest request = multipart(parameters, [&](MultipartFormData& form) {
        form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("file"),
                                   QStringLiteral("a.mp3"), QStringLiteral("audio/mp3"));
    });
    const auto parts = parseMultipart(body(request), boundaryOf(request));
    ASSERT_TRUE(parts.has_value());
    QList<QPair<QByteArray, QByteArray>> fields;
    for (const auto& part : *parts)
        fields.append({part.name, part.body});
    const QList<QPair<QByteArray, QByteArray>> expected{
        {"artist", "Me"},          {"empty", ""},        {"raw", QByteArray("\x00\x01", 2)},
        {"title", "Episode"},      {"track[b][c]", "x"}, {"track[tags][]", "news"},
        {"track[tags][]", "tech"}, {"file", "AUDIO"},
    };
    EXPECT_EQ(fields, expected);
}

TEST(QueryStringPairs, DictionaryInsideDictionaryGivesBracketedField)
{
    const QVariantMap parameters{
        {QStringLiteral("a"), 1},
        {QStringLiteral("b"), QVariantMap{{QStringLiteral("c"), QStringLiteral("x")}}}};
    const auto pairs = HTTPRequestSerializer::queryStringPairsFromParameters(parameters);
    ASSERT_EQ(pairs.size(), 2);
    EXPECT_EQ(pairs.at(0).first, QStringLiteral("a"));
    EXPECT_EQ(pairs.at(0).second.toInt(), 1);
    EXPECT_EQ(pairs.at(1).first, QStringLiteral("b[c]"));
    EXPECT_EQ(pairs.at(1).second.toString(), QStringLiteral("x"));
}

TEST_F(MultipartFormDataTest, FormWithoutPartsLeavesTheRequestWithoutMultipartBody)
{
    const HTTPRequest request = multipart(std::nullopt, [](MultipartFormData&) {});
    EXPECT_EQ(request.HTTPBodyStream, nullptr);
    EXPECT_FALSE(request.valueForHTTPHeaderField(QStringLiteral("Content-Type"))
                     .value_or(QString())
                     .startsWith(QStringLiteral("multipart/")));
    EXPECT_FALSE(request.valueForHTTPHeaderField(QStringLiteral("Content-Length")).has_value());
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
    EXPECT_TRUE(parseMultipart(reference, boundaryOf(request)).has_value());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadSizeTest,
                         ::testing::Values(std::pair<qint64, qint64>{1, 0}, std::pair<qint64, qint64>{2, 0},
                                           std::pair<qint64, qint64>{7, 0},
                                           std::pair<qint64, qint64>{4096, 0},
                                           std::pair<qint64, qint64>{65536, 3},
                                           std::pair<qint64, qint64>{1 << 20, 1000}));

TEST_F(MultipartFormDataTest, CopyOfAReadStreamProducesTheWholeBodyAgain)
{
    const QString audio = writeFile(dir, QStringLiteral("a.mp3"), patternBytes(5000));
    const HTTPRequest request =
        multipart(QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}}, [&](MultipartFormData& form) {
            form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("a"),
                                       QStringLiteral("a.mp3"), QStringLiteral("audio/mp3"));
        });
    const QByteArray first = readAll(*request.HTTPBodyStream, 100);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(readAll(*request.HTTPBodyStream, 100), QByteArray()) << "a read stream stays at its end";
    EXPECT_EQ(readAll(*request.HTTPBodyStream->copy(), 333), first);
}

struct FileURLFailure
{
    const char* label;
    std::function<QUrl(const QTemporaryDir&)> url;
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
    EXPECT_TRUE(error.is(HTTPURLRequestSerializationErrorDomain, -1000)) << qPrintable(error.description());
    EXPECT_EQ(error.localizedFailureReason, QString::fromUtf8(GetParam().reason));
    const auto parts = parseMultipart(body(request), boundaryOf(request));
    ASSERT_TRUE(parts.has_value());
    ASSERT_EQ(parts->size(), 1);
    EXPECT_EQ(parts->first().name, "k");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileURLFailureTest,
    ::testing::Values(FileURLFailure{"web",
                                     [](const QTemporaryDir&) {
                                         return QUrl(QStringLiteral("https://example.com/a.mp3"));
                                     },
                                     "Expected URL to be a file URL"},
                      FileURLFailure{"missing",
                                     [](const QTemporaryDir& d) {
                                         return QUrl::fromLocalFile(d.filePath(QStringLiteral("gone.mp3")));
                                     },
                                     "File URL not reachable."}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.label); });

TEST_F(MultipartFormDataTest, DirectoryIsNotAppended)
{
    MultipartFormData form(HTTPRequest(QUrl(QStringLiteral("http://h/"))), QStringConverter::Utf8);
    HTTPError error;
    EXPECT_FALSE(form.appendPartWithFileURL(QUrl::fromLocalFile(dir.path()), QStringLiteral("a"), &error));
    EXPECT_TRUE(form.bodyStream()->isEmpty());
}

// A file name may hold any character but '/' on Linux: it must not break out of its quotes.
TEST_F(MultipartFormDataTest, QuotesAndLineBreaksInFileNamesCannotForgeHeaders)
{
    const QString name = QStringLiteral("evil\".mp3\r\nContent-Type: text/html");
    const QString audio = writeFile(dir, QStringLiteral("plain.mp3"), "AUDIO");
    const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
        form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("a"), name,
                                   QStringLiteral("audio/mp3"));
    });
    const auto parts = parseMultipart(body(request), boundaryOf(request));
    ASSERT_TRUE(parts.has_value());
    ASSERT_EQ(parts->size(), 1);
    EXPECT_EQ(parts->first().headers.size(), 2);
    EXPECT_EQ(parts->first().fileName, "evil%22.mp3%0D%0AContent-Type: text/html");
    EXPECT_EQ(parts->first().contentType, "audio/mp3");
}

TEST_F(MultipartFormDataTest, MimeTypeAndFileNameComeFromTheURL)
{
    const QString audio = writeFile(dir, QStringLiteral("Episode 1.mp3"), "A");
    const QString other = writeFile(dir, QStringLiteral("notes.zzunknown"), "B");
    const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
        EXPECT_TRUE(form.appendPartWithFileURL(QUrl::fromLocalFile(audio), QStringLiteral("a")));
        EXPECT_TRUE(form.appendPartWithFileURL(QUrl::fromLocalFile(other), QStringLiteral("b")));
    });
    const auto parts = parseMultipart(body(request), boundaryOf(request));
    ASSERT_TRUE(parts.has_value());
    ASSERT_EQ(parts->size(), 2);
    EXPECT_EQ(parts->at(0).fileName, "Episode 1.mp3");
    EXPECT_EQ(parts->at(0).contentType, "audio/mpeg");
    EXPECT_EQ(parts->at(1).contentType, "application/octet-stream");
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

TEST_F(MultipartFormDataTest, VanishedFileFailsTheStreamWithItsError)
{
    const QString path = writeFile(dir, QStringLiteral("a.mp3"), patternBytes(100));
    const HTTPRequest request = multipart(std::nullopt, [&](MultipartFormData& form) {
        form.appendPartWithFileURL(QUrl::fromLocalFile(path), QStringLiteral("a"), QStringLiteral("a.mp3"),
                                   QStringLiteral("audio/mp3"));
    });
    QFile::remove(path);
    bool failed = false;
    readAll(*request.HTTPBodyStream, 64, &failed);
    EXPECT_TRUE(failed);
    ASSERT_TRUE(request.HTTPBodyStream->streamError().has_value());
    EXPECT_TRUE(request.HTTPBodyStream->streamError()->is(HTTPInputStreamErrorDomain,
                                                          HTTPErrorCode::StreamOpenFailed));
}

} // namespace
