// The multipart body as the stream produces it, and the session layer over libcurl against the
// HTTP stand-in on loopback: the body as it reaches the server, how answers are judged, redirects,
// TLS, and the limits on what a server can make the client hold or wait for.
#include "http/HTTPSessionManager.h"

#include "http/HTTPRequestSerializer.h"
#include "http/MultipartBodyStream.h"
#include "platform/MainQueue.h"
#include "support/HttpStandIn.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <condition_variable>
#include <gtest/gtest.h>

using namespace airlark;
using namespace airlark::test;
using namespace std::chrono_literals;

namespace {

// Reads a whole stream with reads of at most `chunk` bytes; a failed read sets `failed` and stops.
QByteArray readAll(HTTPInputStream& stream, qint64 chunk = 64 * 1024, bool* failed = nullptr)
{
    QByteArray result;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    stream.open();
    qint64 count = 0;
    while ((count = stream.read(buffer.data(), chunk)) > 0)
        result.append(buffer.data(), count);
    if (failed)
        *failed = count < 0;
    stream.close();
    return result;
}

// Bytes that show an off-by-one or a reordering at once.
QByteArray patternBytes(qint64 size, int seed = 0)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
    return data;
}

// Everything one task reports, with the threads it reported on.
struct Outcome
{
    std::mutex mutex;
    std::vector<std::pair<qint64, qint64>> progress; // total sent, expected
    bool progressOnMainThread = false;
    bool progressAfterCompletion = false;
    bool done = false;
    bool completionOnMainThread = false;
    QVariant object;
    std::optional<HTTPError> error;

    HTTPCompletionHandler handler()
    {
        return
            [this](const std::optional<HTTPResponse>&, const QVariant& o, const std::optional<HTTPError>& e) {
                std::lock_guard guard(mutex);
                completionOnMainThread = MainQueue::isMainThread();
                object = o;
                error = e;
                done = true;
            };
    }
    void watchProgress(HTTPSessionManager& manager)
    {
        manager.setTaskDidSendBodyDataBlock(
            [this](HTTPSession&, HTTPSessionTask&, qint64, qint64 total, qint64 expected) {
                std::lock_guard guard(mutex);
                progress.emplace_back(total, expected);
                progressOnMainThread = progressOnMainThread || MainQueue::isMainThread();
                progressAfterCompletion = progressAfterCompletion || done;
            });
    }
    // The completion comes on the main thread, the only one that writes `done`.
    bool wait(std::chrono::milliseconds timeout = 20s)
    {
        return waitFor([this] { return done; }, timeout);
    }
    bool failedWith(const char* domain, int code) const { return error && error->is(domain, code); }
    std::string describe() const { return error ? error->description().toStdString() : "no error"; }
};

class HTTPSessionManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.isRunning()); }

    QString file(const QString& name, const QByteArray& content)
    {
        EXPECT_TRUE(writeFile(dir.filePath(name), content));
        return dir.filePath(name);
    }

    // A form with one field, then these files (each given as its path and file name), then an
    // empty field.
    HTTPRequest form(const QList<std::pair<QString, QString>>& files,
                     const QUrl& url = QUrl(QStringLiteral("https://api.example.com/tracks")))
    {
        auto request = serializer.multipartFormRequestWithMethod(
            QStringLiteral("POST"), url.toString(),
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

    HTTPRequest uploadRequest(const QUrl& url, const QByteArray& content = patternBytes(1000))
    {
        return form({{file(QStringLiteral("e.mp3"), content), QStringLiteral("Episode 12.mp3")}}, url);
    }

    // Sends `request` (streamed when it has a body stream), runs `during` once it is under way, and
    // waits for its outcome.
    void run(const HTTPRequest& request, Outcome& outcome, HTTPSessionConfiguration configuration = {},
             const std::function<void(HTTPSessionTask&)>& during = {})
    {
        configuration.certificateAuthorityFile = server.certificateFile();
        auto manager = HTTPSessionManager::create(configuration);
        outcome.watchProgress(*manager);
        auto task = request.HTTPBodyStream
                        ? manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())
                        : manager->dataTaskWithRequest(request, outcome.handler());
        task->resume();
        if (during)
            during(*task);
        ASSERT_TRUE(outcome.wait());
    }

    QTemporaryDir dir;
    // The API's server, another one, and the API over TLS.
    HttpStandIn server{{HttpStandIn::Plain, HttpStandIn::Plain, HttpStandIn::Tls}};
    HTTPRequestSerializer serializer;
};

// The body as the server receives it, and the threads it needs: reading the file never needs the
// main thread, which blocks here until the upload ends, and a manager dropped after resume lives
// until its task completes.
TEST_F(HTTPSessionManagerTest, AStreamedUploadArrivesExactlyWithoutTheMainThreadAndOutlivesItsManager)
{
    server.route("POST", QStringLiteral("/tracks"), reply(201, {}, QJsonObject{{"id", 42}}));
    const QByteArray content = patternBytes(3 * 1024 * 1024 + 17);
    const HTTPRequest request = uploadRequest(server.url(QStringLiteral("/tracks")), content);
    const QByteArray expectedBody = readAll(*request.HTTPBodyStream->copy());
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Outcome outcome;
    std::weak_ptr<HTTPSessionManager> weak;
    {
        auto manager = HTTPSessionManager::create();
        weak = manager;
        outcome.watchProgress(*manager);
        manager->setTaskDidCompleteBlock(
            [&](HTTPSession&, HTTPSessionTask&, const std::optional<HTTPError>&) {
                std::lock_guard guard(mutex);
                done = true;
                finished.notify_all();
            });
        manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    }
    std::unique_lock guard(mutex);
    ASSERT_TRUE(finished.wait_for(guard, 20s, [&] { return done; }));
    guard.unlock();
    ASSERT_TRUE(outcome.wait()) << "the completion still arrives on the main thread afterwards";
    EXPECT_TRUE(outcome.completionOnMainThread);
    EXPECT_EQ(outcome.object.toJsonObject().value(QStringLiteral("id")).toInt(), 42) << outcome.describe();
    EXPECT_TRUE(waitFor([&] { return weak.expired(); }, 5s))
        << "the manager and its worker go once nothing needs them";

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const StandInRequest& received = requests.front();
    EXPECT_EQ(received.header("Content-Length").toLongLong(), expectedBody.size());
    EXPECT_FALSE(received.hasHeader("Expect"));
    EXPECT_FALSE(received.hasHeader("Accept-Encoding")) << "compressed answers are never asked for";
    EXPECT_TRUE(received.body == expectedBody) << "body differs from the stream's bytes";
    ASSERT_TRUE(received.parts.has_value()) << "not a strictly valid multipart body";
    EXPECT_TRUE(received.parts->at(1).body == content);

    std::lock_guard progressGuard(outcome.mutex);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_FALSE(outcome.progressOnMainThread);
    EXPECT_FALSE(outcome.progressAfterCompletion);
    for (const auto& [total, expected] : outcome.progress)
        EXPECT_EQ(expected, expectedBody.size()) << "an unknown size is replaced by Content-Length";
    EXPECT_EQ(outcome.progress.back().first, expectedBody.size());
}

// Listener `from` answers with `hops` redirects, the last one to listener `to`.
struct RedirectCase
{
    const char* label;
    int from;
    bool upload;
    int status;
    int to;
    int hops;
    int code; // expected error in the URL domain, 0 for none
};

class RedirectTest : public HTTPSessionManagerTest, public ::testing::WithParamInterface<RedirectCase>
{
};

TEST_P(RedirectTest, IsFollowedOnlyWithoutABodyWithinHttpsAndNeverCarriesAuthorizationAway)
{
    const RedirectCase& c = GetParam();
    for (int hop = 0; hop < c.hops; ++hop) {
        const QUrl next = hop + 1 < c.hops ? server.url(QStringLiteral("/hop%1").arg(hop + 1), c.from)
                                           : server.url(QStringLiteral("/target"), c.to);
        server.route("*", QStringLiteral("/hop%1").arg(hop), reply(c.status, {{"Location", next.toString()}}),
                     c.from);
    }
    server.route("*", QStringLiteral("/target"), reply(201, {}, QJsonObject{{"id", 1}}), c.to);
    const QUrl start = server.url(QStringLiteral("/hop0"), c.from);
    HTTPRequest request = c.upload ? uploadRequest(start) : HTTPRequest(start);
    request.setValueForHTTPHeaderField(QStringLiteral("OAuth token-1"), QStringLiteral("Authorization"));
    Outcome outcome;
    run(request, outcome);
    const auto requests = server.requests();
    const auto target = std::ranges::find(requests, QStringLiteral("/target"), &StandInRequest::path);
    if (c.code) {
        EXPECT_TRUE(outcome.failedWith(HTTPURLErrorDomain, c.code)) << outcome.describe();
        EXPECT_TRUE(target == requests.end()) << "something reached the redirect's target";
        return;
    }
    EXPECT_EQ(outcome.object.toJsonObject().value(QStringLiteral("id")).toInt(), 1) << outcome.describe();
    ASSERT_TRUE(target != requests.end());
    EXPECT_EQ(target->hasHeader("Authorization"), c.to == c.from) << "the token stays with its server";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Redirects, RedirectTest, ::testing::Values(
    RedirectCase{"UploadMoved", 0, true, 301, 1, 1, HTTPErrorCode::RedirectRefused},
    RedirectCase{"UploadKeepsMethod", 0, true, 308, 1, 1, HTTPErrorCode::RedirectRefused},
    RedirectCase{"UploadFromHttpsToHttp", 2, true, 307, 1, 1, HTTPErrorCode::RedirectRefused},
    RedirectCase{"GetToAnotherPort", 0, false, 302, 1, 1, 0},
    RedirectCase{"GetWithinHttps", 2, false, 301, 2, 3, 0},
    RedirectCase{"GetFromHttpsToHttp", 2, false, 302, 1, 1, HTTPErrorCode::InsecureRedirect},
    RedirectCase{"GetTooManyHops", 0, false, 307, 1, 6, HTTPErrorCode::HTTPTooManyRedirects}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });
// clang-format on

// A server's answer that would hold the client's memory or time without end, and other failures
// on the way, the user's cancel among them.
struct AnswerCase
{
    const char* label;
    QJsonObject response;
    bool upload;
    double idleTimeout;     // seconds, on the request (0: the default)
    double resourceTimeout; // seconds, on the session (0: the default)
    int code;               // expected error in the URL domain; 0: an error page cut short
    bool cancel = false;    // once the server stops reading
};

class AnswerLimitTest : public HTTPSessionManagerTest, public ::testing::WithParamInterface<AnswerCase>
{
};

TEST_P(AnswerLimitTest, FailsWithinSecondsInBoundedMemory)
{
    const AnswerCase& c = GetParam();
    server.route("*", QStringLiteral("/answer"), c.response);
    HTTPRequest request = c.upload
                              ? uploadRequest(server.url(QStringLiteral("/answer")), patternBytes(8 << 20))
                              : HTTPRequest(server.url(QStringLiteral("/answer")));
    if (c.response.isEmpty()) // the file went between the form and the sending
        QFile::remove(dir.filePath(QStringLiteral("e.mp3")));
    if (c.idleTimeout > 0)
        request.timeoutInterval = c.idleTimeout;
    HTTPSessionConfiguration configuration;
    if (c.resourceTimeout > 0)
        configuration.timeoutIntervalForResource = c.resourceTimeout;
    const PeakMemoryGrowth memory;
    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    run(request, outcome, configuration, [&](HTTPSessionTask& task) {
        if (c.cancel && waitFor([&] { return task.countOfBytesSent() > (1 << 20); }))
            task.cancel();
    });
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_LT(memory.mebibytes(), 64);
    std::lock_guard guard(outcome.mutex);
    EXPECT_FALSE(outcome.progressAfterCompletion);
    if (c.code) {
        EXPECT_TRUE(outcome.failedWith(HTTPURLErrorDomain, c.code)) << outcome.describe();
        return;
    }
    // An error page is cut to its beginning, which still carries the server's status.
    ASSERT_TRUE(
        outcome.failedWith(HTTPURLResponseSerializationErrorDomain, HTTPErrorCode::BadServerResponse));
    EXPECT_EQ(outcome.error->data.size(), 16 * 1024);
}

const QList<QPair<QString, QString>> HeaderFlood(2000, {"X-Padding", QString(64, QLatin1Char('x'))});
namespace E = HTTPErrorCode;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Answers, AnswerLimitTest, ::testing::Values(
    AnswerCase{"GigabyteBody", {{"huge", 1 << 30}}, false, 0, 0, E::DataLengthExceedsMaximum},
    AnswerCase{"EndlessBody", {{"endless", true}}, false, 0, 0, E::DataLengthExceedsMaximum},
    AnswerCase{"CompressionBomb", {{"gzip_bomb", true}}, false, 0, 0, E::DataLengthExceedsMaximum},
    AnswerCase{"EndlessErrorPage", {{"status", 500}, {"endless", true}}, false, 0, 0, 0},
    AnswerCase{"HeaderFlood", reply(200, HeaderFlood), false, 0, 0, E::BadServerResponseTransport},
    AnswerCase{"SilentServer", {{"action", "silent"}}, false, 1, 0, E::TimedOut},
    AnswerCase{"StallMidBody", {{"body", "0123456789"}, {"partial", 4}, {"then", "stall"}}, false, 1, 0, E::TimedOut},
    AnswerCase{"DropMidBody", {{"body", "0123456789"}, {"partial", 4}, {"then", "drop"}}, false, 0, 0, E::NetworkConnectionLost},
    AnswerCase{"AnswerTakesTooLong", {{"action", "silent"}}, false, 0, 1, E::TimedOut},
    AnswerCase{"UploadStopsBeingRead", {{"read_limit", 65536}, {"then", "stall"}}, true, 1, 0, E::TimedOut},
    AnswerCase{"UploadDroppedMidBody", {{"read_limit", 65536}, {"then", "drop"}}, true, 0, 0, E::NetworkConnectionLost},
    AnswerCase{"FileGoneBeforeSending", {}, true, 0, 0, E::RequestBodyStreamExhausted},
    AnswerCase{"UploadCancelled", {{"read_limit", 1 << 20}, {"then", "stall"}}, true, 0, 0, E::Cancelled, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });
// clang-format on

TEST_F(HTTPSessionManagerTest, OnlyACertificateThatVerifiesForTheHostGetsAnAnswer)
{
    server.route("GET", QStringLiteral("/me"), reply(200, {}, QJsonObject{{"username", "lark"}}));
    const QString tls = server.url(QStringLiteral("/me"), 2).toString();
    const struct
    {
        QString url;
        bool trusted;
        int code;
    } rows[] = {{tls, true, 0},
                {tls, false, HTTPErrorCode::ServerCertificateUntrusted},
                {QString(tls).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")), true,
                 HTTPErrorCode::ServerCertificateUntrusted}};
    for (const auto& row : rows) {
        HTTPSessionConfiguration configuration;
        configuration.certificateAuthorityFile = row.trusted ? server.certificateFile() : QString();
        Outcome outcome;
        HTTPSessionManager::create(configuration)
            ->dataTaskWithRequest(HTTPRequest(QUrl(row.url)), outcome.handler())
            ->resume();
        ASSERT_TRUE(outcome.wait());
        EXPECT_TRUE(row.code ? outcome.failedWith(HTTPURLErrorDomain, row.code) : !outcome.error)
            << row.url.toStdString() << outcome.describe();
    }
    EXPECT_EQ(server.requests().size(), 1u) << "only the verified server was asked";
}

// The multipart/form-data body as the stream produces it, byte for byte.
using MultipartFormDataTest = HTTPSessionManagerTest;

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
        const auto error = request.HTTPBodyStream->streamError();
        EXPECT_TRUE(failed && error &&
                    error->is(HTTPInputStreamErrorDomain, HTTPErrorCode::StreamLengthMismatch))
            << replacement.size();
    }
}

} // namespace
