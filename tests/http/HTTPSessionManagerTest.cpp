// The session layer over libcurl against the HTTP stand-in on loopback: the body as it reaches the
// server, how answers are judged, redirects, TLS, and the limits on what a server can make the
// client hold or wait for.
#include "http/HTTPSessionManager.h"

#include "HttpTestSupport.h"
#include "http/HTTPRequestSerializer.h"
#include "platform/MainQueue.h"
#include "support/HttpStandIn.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <condition_variable>
#include <gtest/gtest.h>

using namespace airlark;
using namespace airlark::test;
using namespace std::chrono_literals;

namespace {

// Everything one task reports, with the threads it reported on.
struct Outcome
{
    std::mutex mutex;
    std::vector<std::pair<qint64, qint64>> progress; // total sent, expected
    bool progressOnMainThread = false;
    bool progressAfterCompletion = false;

    bool done = false;
    bool completionOnMainThread = false;
    std::optional<HTTPResponse> response;
    QVariant object;
    std::optional<HTTPError> error;

    HTTPCompletionHandler handler()
    {
        return [this](const std::optional<HTTPResponse>& r, const QVariant& o,
                      const std::optional<HTTPError>& e) {
            std::lock_guard guard(mutex);
            completionOnMainThread = MainQueue::isMainThread();
            response = r;
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

    bool wait(std::chrono::milliseconds timeout = 20s)
    {
        return waitFor(
            [this] {
                std::lock_guard guard(mutex);
                return done;
            },
            timeout);
    }

    QString describe() const { return error ? error->description() : QStringLiteral("no error"); }
};

// Peak resident memory grown since `reset()`, for the process as a whole.
struct PeakMemory
{
    static qint64 kibibytes(const char* field)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(field))
                return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
        }
        return 0;
    }
    PeakMemory()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5"); // the high-water mark starts again from now
        before = kibibytes("VmRSS:");
    }
    qint64 grownMiB() const { return (kibibytes("VmHWM:") - before) / 1024; }
    qint64 before = 0;
};

class HTTPSessionManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.isRunning());
    }

    HTTPRequest uploadRequest(const QUrl& url, const QByteArray& fileContent = patternBytes(1000))
    {
        const QString file = writeFile(dir, QStringLiteral("Episode 12.mp3"), fileContent);
        auto request = serializer.multipartFormRequestWithMethod(
            QStringLiteral("POST"), url.toString(),
            QVariantMap{{QStringLiteral("track[title]"), QStringLiteral("Twelve")},
                        {QStringLiteral("track[track_type]"), QStringLiteral("podcast")}},
            [&](MultipartFormData& form) {
                EXPECT_TRUE(form.appendPartWithFileURL(
                    QUrl::fromLocalFile(file), QStringLiteral("track[asset_data]"),
                    QStringLiteral("Episode 12.mp3"), QStringLiteral("audio/mp3")));
            });
        EXPECT_TRUE(request);
        request->setValueForHTTPHeaderField(QStringLiteral("OAuth token-1"), QStringLiteral("Authorization"));
        return *request;
    }

    // Sends `request` (streamed when it has a body stream) and waits for its outcome.
    void run(const HTTPRequest& request, Outcome& outcome,
             HTTPSessionConfiguration configuration = HTTPSessionConfiguration::defaultSessionConfiguration())
    {
        configuration.certificateAuthorityFile = server.certificateFile();
        auto manager = HTTPSessionManager::create(configuration);
        outcome.watchProgress(*manager);
        auto task = request.HTTPBodyStream
                        ? manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())
                        : manager->dataTaskWithRequest(request, outcome.handler());
        task->resume();
        ASSERT_TRUE(outcome.wait());
    }

    QTemporaryDir dir;
    // The API's server, another one, and the API over TLS.
    HttpStandIn server{{HttpStandIn::Plain, HttpStandIn::Plain, HttpStandIn::Tls}};
    HTTPRequestSerializer serializer;
};

TEST_F(HTTPSessionManagerTest, ServerReceivesExactlyTheStreamedBodyWithProgressUpToItsLength)
{
    server.route("POST", QStringLiteral("/tracks"), reply(201, {}, QJsonObject{{"id", 42}}));
    const QByteArray content = patternBytes(3 * 1024 * 1024 + 17);
    const HTTPRequest request = uploadRequest(server.url(QStringLiteral("/tracks?client_id=abc")), content);
    const QByteArray expectedBody = readAll(*request.HTTPBodyStream->copy());
    const qint64 contentLength =
        request.valueForHTTPHeaderField(QStringLiteral("Content-Length"))->toLongLong();
    ASSERT_EQ(contentLength, expectedBody.size());

    Outcome outcome;
    run(request, outcome);
    EXPECT_TRUE(outcome.completionOnMainThread);
    EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.describe());
    EXPECT_EQ(outcome.object.toJsonObject().value(QStringLiteral("id")).toInt(), 42);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const StandInRequest& received = requests.front();
    EXPECT_EQ(received.method, "POST");
    EXPECT_EQ(received.query.queryItemValue(QStringLiteral("client_id")), QStringLiteral("abc"));
    EXPECT_EQ(received.header("Authorization"), "OAuth token-1");
    EXPECT_EQ(received.header("Content-Length").toLongLong(), contentLength);
    EXPECT_FALSE(received.hasHeader("Expect"));
    EXPECT_FALSE(received.hasHeader("Accept-Encoding")) << "compressed answers are never asked for";
    EXPECT_TRUE(received.body == expectedBody) << "body differs from the stream's bytes";
    ASSERT_TRUE(received.parts.has_value());
    ASSERT_EQ(received.parts->size(), 3);
    EXPECT_EQ(received.parts->at(2).fileName, "Episode 12.mp3");
    EXPECT_TRUE(received.parts->at(2).body == content);

    std::lock_guard guard(outcome.mutex);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_FALSE(outcome.progressOnMainThread);
    EXPECT_FALSE(outcome.progressAfterCompletion);
    for (const auto& [total, expected] : outcome.progress)
        EXPECT_EQ(expected, contentLength) << "an unknown size is replaced by Content-Length";
    EXPECT_EQ(outcome.progress.back().first, contentLength);
}

// Listener 0 answers with a redirect to `target` (a listener and a path).
struct RedirectCase
{
    const char* label;
    int from; // the listener asked
    bool upload;
    int status;
    int to;   // the listener redirected to
    int hops; // redirects before the target
    int code; // expected error in the URL domain, 0 for none
    bool reachesTarget;
};

void PrintTo(const RedirectCase& redirectCase, std::ostream* out)
{
    *out << redirectCase.label;
}

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
    const auto atTarget = [&] {
        std::vector<StandInRequest> found;
        for (const auto& received : server.requests())
            if (received.path == QStringLiteral("/target"))
                found.push_back(received);
        return found;
    }();
    if (!c.code) {
        EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.describe());
        EXPECT_EQ(outcome.object.toJsonObject().value(QStringLiteral("id")).toInt(), 1);
        ASSERT_EQ(atTarget.size(), 1u);
        EXPECT_EQ(atTarget.front().hasHeader("Authorization"), c.to == c.from)
            << "the token stays with the server it was for";
        return;
    }
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, c.code)) << qPrintable(outcome.describe());
    EXPECT_TRUE(atTarget.empty()) << "something reached the redirect's target";
    if (c.code == HTTPErrorCode::RedirectRefused) {
        EXPECT_EQ(outcome.error->localizedDescription,
                  QStringLiteral("The server answered with a redirect to %1; nothing was uploaded")
                      .arg(server.url(QStringLiteral("/target"), c.to).toString()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Redirects, RedirectTest,
    ::testing::Values(
        RedirectCase{"UploadMoved", 0, true, 301, 1, 1, HTTPErrorCode::RedirectRefused, false},
        RedirectCase{"UploadKeepsMethod", 0, true, 308, 1, 1, HTTPErrorCode::RedirectRefused, false},
        RedirectCase{"UploadFromHttpsToHttp", 2, true, 307, 1, 1, HTTPErrorCode::RedirectRefused, false},
        RedirectCase{"GetToAnotherPort", 0, false, 302, 1, 1, 0, true},
        RedirectCase{"GetWithinHttps", 2, false, 301, 2, 3, 0, true},
        RedirectCase{"GetFromHttpsToHttp", 2, false, 302, 1, 1, HTTPErrorCode::InsecureRedirect, false},
        RedirectCase{"GetTooManyHops", 0, false, 307, 1, 6, HTTPErrorCode::HTTPTooManyRedirects, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// A server's answer that would hold the client's memory or time without end.
struct AnswerCase
{
    const char* label;
    QJsonObject response;
    bool upload = false;
    std::optional<double> idleTimeout;     // seconds, on the request
    std::optional<double> resourceTimeout; // seconds, on the session
    int code = 0;                          // expected error in the URL domain; 0: an answer (an error page)
};

void PrintTo(const AnswerCase& answerCase, std::ostream* out)
{
    *out << answerCase.label;
}

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
    request.timeoutInterval = c.idleTimeout;
    HTTPSessionConfiguration configuration;
    configuration.timeoutIntervalForResource =
        c.resourceTimeout.value_or(configuration.timeoutIntervalForResource);

    const PeakMemory memory;
    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    run(request, outcome, configuration);
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_LT(memory.grownMiB(), 64);
    if (c.code) {
        ASSERT_TRUE(outcome.error.has_value());
        EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, c.code)) << qPrintable(outcome.describe());
        return;
    }
    // An error page is cut to its beginning, which still carries the server's status.
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLResponseSerializationErrorDomain, HTTPErrorCode::BadServerResponse));
    EXPECT_EQ(outcome.error->data.size(), 16 * 1024);
}

QJsonObject with(QJsonObject response, const QString& key, const QJsonValue& value)
{
    response.insert(key, value);
    return response;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerLimitTest,
    ::testing::Values(
        AnswerCase{"GigabyteBody",
                   with(reply(200), "huge", 1 << 30),
                   false,
                   {},
                   {},
                   HTTPErrorCode::DataLengthExceedsMaximum},
        AnswerCase{"EndlessBody",
                   with(reply(200), "endless", true),
                   false,
                   {},
                   {},
                   HTTPErrorCode::DataLengthExceedsMaximum},
        AnswerCase{"CompressionBomb",
                   with(reply(200), "gzip_bomb", true),
                   false,
                   {},
                   {},
                   HTTPErrorCode::DataLengthExceedsMaximum},
        AnswerCase{"EndlessErrorPage", with(reply(500), "endless", true), false, {}, {}, 0},
        AnswerCase{
            "HeaderFlood",
            reply(200, QList<QPair<QString, QString>>(2000, {"X-Padding", QString(64, QLatin1Char('x'))})),
            false,
            {},
            {},
            HTTPErrorCode::BadServerResponseTransport},
        AnswerCase{"SilentServer", QJsonObject{{"action", "silent"}}, false, 1, {}, HTTPErrorCode::TimedOut},
        AnswerCase{"StallMidBody",
                   with(with(page(200, "text/plain", "0123456789"), "partial", 4), "then", "stall"),
                   false,
                   1,
                   {},
                   HTTPErrorCode::TimedOut},
        AnswerCase{"DropMidBody",
                   with(with(page(200, "text/plain", "0123456789"), "partial", 4), "then", "drop"),
                   false,
                   {},
                   {},
                   HTTPErrorCode::NetworkConnectionLost},
        AnswerCase{
            "AnswerTakesTooLong", QJsonObject{{"action", "silent"}}, false, {}, 1, HTTPErrorCode::TimedOut},
        AnswerCase{"UploadStopsBeingRead",
                   QJsonObject{{"read_limit", 65536}, {"then", "stall"}},
                   true,
                   1,
                   {},
                   HTTPErrorCode::TimedOut},
        AnswerCase{"UploadDroppedMidBody",
                   QJsonObject{{"read_limit", 65536}, {"then", "drop"}},
                   true,
                   {},
                   {},
                   HTTPErrorCode::NetworkConnectionLost}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(HTTPSessionManagerTest, CancelEndsARunningUploadAtOnceAsCancelled)
{
    server.route("POST", QStringLiteral("/tracks"), QJsonObject{{"read_limit", 1 << 20}, {"then", "stall"}});
    auto manager = HTTPSessionManager::create();
    Outcome outcome;
    outcome.watchProgress(*manager);
    auto task = manager->uploadTaskWithStreamedRequest(
        uploadRequest(server.url(QStringLiteral("/tracks")), patternBytes(64 << 20)), nullptr,
        outcome.handler());
    task->resume();
    ASSERT_TRUE(waitFor([&] { return task->countOfBytesSent() > (1 << 20); }));
    QElapsedTimer clock;
    clock.start();
    task->cancel();
    ASSERT_TRUE(outcome.wait(5s));
    EXPECT_LT(clock.elapsed(), 300);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::Cancelled))
        << qPrintable(outcome.describe());
    std::lock_guard guard(outcome.mutex);
    EXPECT_FALSE(outcome.progressAfterCompletion);
}

struct TrustCase
{
    const char* label;
    bool trusted;
    QString host;
    int code;
};

void PrintTo(const TrustCase& trustCase, std::ostream* out)
{
    *out << trustCase.label;
}

class TrustTest : public HTTPSessionManagerTest, public ::testing::WithParamInterface<TrustCase>
{
};

TEST_P(TrustTest, OnlyACertificateThatVerifiesForTheHostGetsTheAnswer)
{
    server.route("GET", QStringLiteral("/me"), reply(200, {}, QJsonObject{{"username", "lark"}}));
    QUrl url = server.url(QStringLiteral("/me"), 2);
    url.setHost(GetParam().host);
    HTTPSessionConfiguration configuration;
    configuration.certificateAuthorityFile = GetParam().trusted ? server.certificateFile() : QString();
    auto manager = HTTPSessionManager::create(configuration);
    Outcome outcome;
    manager->dataTaskWithRequest(HTTPRequest(url), outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait());
    if (!GetParam().code) {
        EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.describe());
        return;
    }
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, GetParam().code)) << qPrintable(outcome.describe());
    EXPECT_TRUE(server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Certificates, TrustTest,
                         ::testing::Values(TrustCase{"Trusted", true, "127.0.0.1", 0},
                                           TrustCase{"Untrusted", false, "127.0.0.1",
                                                     HTTPErrorCode::ServerCertificateUntrusted},
                                           TrustCase{"OtherHostName", true, "localhost",
                                                     HTTPErrorCode::ServerCertificateUntrusted}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(HTTPSessionManagerTest, NoServerListeningIsCannotConnect)
{
    QTcpServer vacated;
    ASSERT_TRUE(vacated.listen(QHostAddress::LocalHost, 0));
    const quint16 port = vacated.serverPort();
    vacated.close();
    Outcome outcome;
    run(HTTPRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/me").arg(port))), outcome);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::CannotConnectToHost))
        << qPrintable(outcome.describe());
}

TEST_F(HTTPSessionManagerTest, FileGoneBeforeSendingFailsTheUploadWithTheReadError)
{
    const HTTPRequest request = uploadRequest(server.url(QStringLiteral("/tracks")));
    QFile::remove(dir.filePath(QStringLiteral("Episode 12.mp3")));
    Outcome outcome;
    run(request, outcome);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::RequestBodyStreamExhausted))
        << qPrintable(outcome.describe());
    ASSERT_TRUE(outcome.error->underlyingError);
    EXPECT_TRUE(
        outcome.error->underlyingError->is(HTTPInputStreamErrorDomain, HTTPErrorCode::StreamOpenFailed));
}

// Reading the file never needs the main thread: an upload finishes while the main thread is
// blocked waiting for it.
TEST_F(HTTPSessionManagerTest, UploadFinishesWhileTheMainThreadWaitsForIt)
{
    server.route("POST", QStringLiteral("/tracks"), reply(201, {}, QJsonObject{}));
    auto manager = HTTPSessionManager::create();
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    manager->setTaskDidCompleteBlock([&](HTTPSession&, HTTPSessionTask&, const std::optional<HTTPError>&) {
        std::lock_guard guard(mutex);
        done = true;
        finished.notify_all();
    });
    Outcome outcome;
    manager
        ->uploadTaskWithStreamedRequest(
            uploadRequest(server.url(QStringLiteral("/tracks")), patternBytes(4 << 20)), nullptr,
            outcome.handler())
        ->resume();
    std::unique_lock guard(mutex);
    ASSERT_TRUE(finished.wait_for(guard, 20s, [&] { return done; }));
    guard.unlock();
    ASSERT_TRUE(outcome.wait()) << "the completion still arrives on the main thread afterwards";
    EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.describe());
}

TEST_F(HTTPSessionManagerTest, ManagerDroppedAfterResumeLivesUntilItsTaskCompletes)
{
    server.route("POST", QStringLiteral("/tracks"), reply(201, {}, QJsonObject{{"ok", true}}));
    Outcome outcome;
    std::weak_ptr<HTTPSessionManager> weak;
    {
        auto manager = HTTPSessionManager::create();
        weak = manager;
        manager
            ->uploadTaskWithStreamedRequest(uploadRequest(server.url(QStringLiteral("/tracks"))), nullptr,
                                            outcome.handler())
            ->resume();
    }
    ASSERT_TRUE(outcome.wait());
    EXPECT_TRUE(outcome.object.toJsonObject().value(QStringLiteral("ok")).toBool());
    EXPECT_TRUE(waitFor([&] { return weak.expired(); }, 5s))
        << "the manager and its worker go once nothing needs them";
}

} // namespace
