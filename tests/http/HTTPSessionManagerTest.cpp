#include "http/HTTPSessionManager.h"

#include "HttpTestSupport.h"
#include "http/HTTPRequestSerializer.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/HttpTestServer.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
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
    struct Progress
    {
        qint64 sent, total, expected;
    };

    std::mutex mutex;
    std::vector<Progress> progress;
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
            [this](HTTPSession&, HTTPSessionTask&, qint64 sent, qint64 total, qint64 expected) {
                std::lock_guard guard(mutex);
                progress.push_back({sent, total, expected});
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
};

class HTTPSessionManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.start());
    }

    HTTPRequest uploadRequest(const QString& path, const QByteArray& fileContent)
    {
        const QString file = writeFile(dir, QStringLiteral("Episode 12.mp3"), fileContent);
        auto request = serializer.multipartFormRequestWithMethod(
            QStringLiteral("POST"), server.url(path).toString(),
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

    QTemporaryDir dir;
    HttpTestServer server;
    HTTPRequestSerializer serializer;
};

TEST_F(HTTPSessionManagerTest, ServerReceivesExactlyTheStreamedBodyWithProgressUpToItsLength)
{
    server.route("POST", QStringLiteral("/tracks"), [](const HttpTestRequest&) {
        return HttpTestResponse::json(201, R"({"id":42,"title":"Twelve"})");
    });
    const QByteArray content = patternBytes(3 * 1024 * 1024 + 17);
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks?client_id=abc"), content);
    const QByteArray expectedBody = readAll(*request.HTTPBodyStream->copy());
    const qint64 contentLength =
        request.valueForHTTPHeaderField(QStringLiteral("Content-Length"))->toLongLong();
    ASSERT_EQ(contentLength, expectedBody.size());

    Outcome outcome;
    auto manager = HTTPSessionManager::create();
    outcome.watchProgress(*manager);
    std::shared_ptr<HTTPProgress> progress;
    auto task = manager->uploadTaskWithStreamedRequest(request, &progress, outcome.handler());
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->totalUnitCount(), contentLength);
    task->resume();
    ASSERT_TRUE(outcome.wait());

    EXPECT_TRUE(outcome.completionOnMainThread);
    EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.error->description());
    EXPECT_EQ(outcome.object.toJsonObject().value(QStringLiteral("id")).toInt(), 42);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode, 201);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const HttpTestRequest& received = requests.front();
    EXPECT_EQ(received.method, "POST");
    EXPECT_EQ(received.query.queryItemValue(QStringLiteral("client_id")), QStringLiteral("abc"));
    EXPECT_EQ(received.header("Authorization"), "OAuth token-1");
    EXPECT_EQ(received.header("Content-Length").toLongLong(), contentLength);
    EXPECT_FALSE(received.hasHeader("Expect"));
    EXPECT_FALSE(received.header("User-Agent").isEmpty());
    EXPECT_TRUE(received.body == expectedBody) << "body differs from the stream's bytes";
    const auto parts = parseMultipart(received.body, multipartBoundary(received.header("Content-Type")));
    ASSERT_TRUE(parts.has_value());
    ASSERT_EQ(parts->size(), 3);
    EXPECT_EQ(parts->at(0).name, "track[title]");
    EXPECT_EQ(parts->at(1).body, "podcast");
    EXPECT_EQ(parts->at(2).fileName, "Episode 12.mp3");
    EXPECT_TRUE(parts->at(2).body == content);

    std::lock_guard guard(outcome.mutex);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_FALSE(outcome.progressOnMainThread);
    EXPECT_FALSE(outcome.progressAfterCompletion);
    qint64 sum = 0;
    for (const auto& step : outcome.progress) {
        sum += step.sent;
        EXPECT_EQ(step.total, sum);
        EXPECT_EQ(step.expected, contentLength) << "an unknown size is replaced by Content-Length";
    }
    EXPECT_EQ(outcome.progress.back().total, contentLength);
    EXPECT_EQ(progress->completedUnitCount(), contentLength);
}

struct ResponseCase
{
    const char* label;
    int status;
    QByteArray contentType;
    QByteArray body;
    QJsonObject object;      // empty: no object expected
    std::optional<int> code; // expected error code, none for no error
    std::optional<int> underlyingCode;
    const char* descriptionPart;
};

void PrintTo(const ResponseCase& responseCase, std::ostream* out)
{
    *out << responseCase.label;
}

class ResponseCaseTest : public HTTPSessionManagerTest, public ::testing::WithParamInterface<ResponseCase>
{
};

TEST_P(ResponseCaseTest, CompletionCarriesObjectAndErrorAsValidated)
{
    const ResponseCase& c = GetParam();
    server.respondWith(HttpTestResponse::text(c.status, c.contentType, c.body));
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(1000));

    Outcome outcome;
    auto manager = HTTPSessionManager::create();
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait());

    EXPECT_TRUE(outcome.completionOnMainThread);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode, c.status);
    if (c.object.isEmpty())
        EXPECT_FALSE(outcome.object.isValid());
    else
        EXPECT_EQ(outcome.object.toJsonObject(), c.object);
    if (!c.code) {
        EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.error->description());
        return;
    }
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLResponseSerializationErrorDomain, *c.code))
        << qPrintable(outcome.error->description());
    EXPECT_TRUE(outcome.error->localizedDescription.contains(QString::fromUtf8(c.descriptionPart)))
        << qPrintable(outcome.error->localizedDescription);
    if (c.underlyingCode) {
        ASSERT_TRUE(outcome.error->underlyingError);
        EXPECT_TRUE(
            outcome.error->underlyingError->is(HTTPURLResponseSerializationErrorDomain, *c.underlyingCode));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Responses, ResponseCaseTest,
    ::testing::Values(
        ResponseCase{"Created", 201, "application/json", R"({"id":7})",
                     QJsonObject{{QStringLiteral("id"), 7}}, std::nullopt, std::nullopt, ""},
        ResponseCase{
            "Unprocessable", 422, "application/json; charset=utf-8",
            R"({"errors":[{"error_message":"bad"}]})",
            QJsonObject{{QStringLiteral("errors"),
                         QJsonArray{QJsonObject{{QStringLiteral("error_message"), QStringLiteral("bad")}}}}},
            -1011, std::nullopt, "Request failed: unprocessable entity (422)"},
        ResponseCase{
            "ServerErrorPage", 500, "text/html", "<html><body>oops</body></html>", {}, -1011, -1016, "(500)"},
        ResponseCase{"HtmlWithOk",
                     200,
                     "text/html",
                     "<html></html>",
                     {},
                     -1016,
                     std::nullopt,
                     "Request failed: unacceptable content-type: text/html"},
        ResponseCase{"OneSpace", 200, "application/json", " ", {}, std::nullopt, std::nullopt, ""}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.label); });

TEST_F(HTTPSessionManagerTest, ServerThatClosesMidUploadEndsInATransportError)
{
    server.setCloseAfterBodyBytes(256 * 1024);
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(16 * 1024 * 1024));
    Outcome outcome;
    auto manager = HTTPSessionManager::create();
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait());
    EXPECT_TRUE(outcome.completionOnMainThread);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_EQ(outcome.error->domain, QString::fromLatin1(HTTPURLErrorDomain))
        << qPrintable(outcome.error->description());
    EXPECT_FALSE(outcome.object.isValid());
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_FALSE(server.requests().front().bodyComplete);
}

TEST_F(HTTPSessionManagerTest, SilentServerTimesOutWithinTheRequestsInterval)
{
    server.respondWith(HttpTestResponse::silent());
    HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(1000));
    request.timeoutInterval = 1;
    Outcome outcome;
    auto manager = HTTPSessionManager::create();
    QElapsedTimer clock;
    clock.start();
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait(10s));
    EXPECT_LT(clock.elapsed(), 5000);
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::TimedOut))
        << qPrintable(outcome.error->description());
    EXPECT_TRUE(outcome.completionOnMainThread);
}

TEST_F(HTTPSessionManagerTest, SessionTimeoutAppliesWhenTheRequestSetsNone)
{
    server.respondWith(HttpTestResponse::silent());
    HTTPSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = 0.5;
    auto manager = HTTPSessionManager::create(configuration);
    Outcome outcome;
    manager->dataTaskWithRequest(HTTPRequest(server.url(QStringLiteral("/me"))), outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait(10s));
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::TimedOut));
}

TEST_F(HTTPSessionManagerTest, DataTasksGetJSONAndPostForms)
{
    server.route("GET", QStringLiteral("/me"), [](const HttpTestRequest& r) {
        return HttpTestResponse::json(
            200, QJsonDocument(QJsonObject{
                     {QStringLiteral("username"), QString::fromUtf8(r.header("Authorization"))}}));
    });
    server.route("POST", QStringLiteral("/oauth2/token"), [](const HttpTestRequest& r) {
        const QUrlQuery form = r.formBody();
        return HttpTestResponse::json(
            200, QJsonDocument(
                     QJsonObject{{QStringLiteral("code"), form.queryItemValue(QStringLiteral("code"))},
                                 {QStringLiteral("type"), QString::fromUtf8(r.header("Content-Type"))}}));
    });
    auto manager = HTTPSessionManager::create();

    auto me =
        serializer.requestWithMethod(QStringLiteral("GET"), server.url(QStringLiteral("/me")).toString(),
                                     QVariantMap{{QStringLiteral("client_id"), QStringLiteral("abc")}});
    ASSERT_TRUE(me);
    me->setValueForHTTPHeaderField(QStringLiteral("OAuth t"), QStringLiteral("Authorization"));
    Outcome user;
    manager->dataTaskWithRequest(*me, user.handler())->resume();

    auto token = serializer.requestWithMethod(
        QStringLiteral("POST"), server.url(QStringLiteral("/oauth2/token")).toString(),
        QVariantMap{{QStringLiteral("code"), QStringLiteral("c 1&2")},
                    {QStringLiteral("grant_type"), QStringLiteral("authorization_code")}});
    ASSERT_TRUE(token);
    Outcome exchange;
    manager->dataTaskWithRequest(*token, exchange.handler())->resume();

    ASSERT_TRUE(user.wait());
    ASSERT_TRUE(exchange.wait());
    EXPECT_TRUE(user.completionOnMainThread);
    EXPECT_FALSE(user.error.has_value());
    EXPECT_EQ(user.object.toJsonObject().value(QStringLiteral("username")).toString(),
              QStringLiteral("OAuth t"));
    EXPECT_FALSE(exchange.error.has_value());
    EXPECT_EQ(exchange.object.toJsonObject().value(QStringLiteral("code")).toString(),
              QStringLiteral("c 1&2"));
    EXPECT_EQ(exchange.object.toJsonObject().value(QStringLiteral("type")).toString(),
              QStringLiteral("application/x-www-form-urlencoded"));
    const auto requests = server.requests();
    const auto meRequest =
        std::find_if(requests.begin(), requests.end(), [](const auto& r) { return r.method == "GET"; });
    ASSERT_NE(meRequest, requests.end());
    EXPECT_EQ(meRequest->query.queryItemValue(QStringLiteral("client_id")), QStringLiteral("abc"));
}

TEST_F(HTTPSessionManagerTest, RedirectThatKeepsTheMethodSendsAFreshCopyOfTheBody)
{
    server.route("POST", QStringLiteral("/tracks"), [](const HttpTestRequest&) {
        HttpTestResponse moved = HttpTestResponse::redirect(307, "/v2/tracks");
        moved.body = "<html>moved</html>"; // must not end up in the JSON body
        return moved;
    });
    server.route("POST", QStringLiteral("/v2/tracks"),
                 [](const HttpTestRequest&) { return HttpTestResponse::json(201, R"({"id":3})"); });
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(2 * 1024 * 1024));
    const QByteArray expectedBody = readAll(*request.HTTPBodyStream->copy());
    Outcome outcome;
    auto manager = HTTPSessionManager::create();
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.error.has_value()) << qPrintable(outcome.error->description());
    EXPECT_EQ(outcome.object.toJsonObject().value(QStringLiteral("id")).toInt(), 3);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->URL.path(), QStringLiteral("/v2/tracks"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests.back().path, QStringLiteral("/v2/tracks"));
    EXPECT_TRUE(requests.back().body == expectedBody);
}

// Reading the file never needs the main thread: an upload finishes while the main thread is
// blocked waiting for it.
TEST_F(HTTPSessionManagerTest, UploadFinishesWhileTheMainThreadWaitsForIt)
{
    server.respondWith(HttpTestResponse::json(201, "{}"));
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(4 * 1024 * 1024));
    auto manager = HTTPSessionManager::create();
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<HTTPError> error;
    manager->setTaskDidCompleteBlock([&](HTTPSession&, HTTPSessionTask&, const std::optional<HTTPError>& e) {
        std::lock_guard guard(mutex);
        done = true;
        error = e;
        finished.notify_all();
    });
    Outcome outcome;
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    std::unique_lock guard(mutex);
    ASSERT_TRUE(finished.wait_for(guard, 20s, [&] { return done; }));
    EXPECT_FALSE(error.has_value());
    guard.unlock();
    ASSERT_TRUE(outcome.wait()) << "the completion still arrives on the main thread afterwards";
}

TEST_F(HTTPSessionManagerTest, ManagerDroppedAfterResumeLivesUntilItsTaskCompletes)
{
    server.respondWith(HttpTestResponse::json(201, R"({"ok":true})"));
    Outcome outcome;
    std::weak_ptr<HTTPSessionManager> weak;
    {
        auto manager = HTTPSessionManager::create();
        weak = manager;
        outcome.watchProgress(*manager);
        manager
            ->uploadTaskWithStreamedRequest(uploadRequest(QStringLiteral("/tracks"), patternBytes(100000)),
                                            nullptr, outcome.handler())
            ->resume();
    }
    ASSERT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.error.has_value());
    EXPECT_TRUE(outcome.object.toJsonObject().value(QStringLiteral("ok")).toBool());
    EXPECT_TRUE(waitFor([&] { return weak.expired(); }, 5s))
        << "the manager and its worker go once nothing needs them";
}

TEST_F(HTTPSessionManagerTest, CancelledTaskCompletesWithCancelled)
{
    server.respondWith(HttpTestResponse::silent());
    auto manager = HTTPSessionManager::create();
    Outcome outcome;
    auto task =
        manager->dataTaskWithRequest(HTTPRequest(server.url(QStringLiteral("/me"))), outcome.handler());
    task->resume();
    ASSERT_TRUE(server.waitForRequests(1));
    task->cancel();
    ASSERT_TRUE(outcome.wait(10s));
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::Cancelled));
    EXPECT_EQ(task->state(), HTTPSessionTask::State::Completed);
}

TEST_F(HTTPSessionManagerTest, FileGoneBeforeSendingFailsTheUploadWithTheReadError)
{
    server.respondWith(HttpTestResponse::json(201, "{}"));
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(1000));
    QFile::remove(dir.filePath(QStringLiteral("Episode 12.mp3")));
    auto manager = HTTPSessionManager::create();
    Outcome outcome;
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait());
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::RequestBodyStreamExhausted))
        << qPrintable(outcome.error->description());
    ASSERT_TRUE(outcome.error->underlyingError);
    EXPECT_TRUE(
        outcome.error->underlyingError->is(HTTPInputStreamErrorDomain, HTTPErrorCode::StreamOpenFailed));
}

TEST_F(HTTPSessionManagerTest, BodyOfUnknownLengthIsSentChunkedWithUnknownTotal)
{
    server.respondWith(HttpTestResponse::json(201, "{}"));
    HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(300000));
    const QByteArray expectedBody = readAll(*request.HTTPBodyStream->copy());
    request.setValueForHTTPHeaderField(std::nullopt, QStringLiteral("Content-Length"));
    Outcome outcome;
    auto manager = HTTPSessionManager::create();
    outcome.watchProgress(*manager);
    manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.error.has_value());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().header("Transfer-Encoding"), "chunked");
    EXPECT_TRUE(requests.front().body == expectedBody);
    std::lock_guard guard(outcome.mutex);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_EQ(outcome.progress.back().expected, HTTPSessionTransferSizeUnknown);
}

TEST_F(HTTPSessionManagerTest, CompletionQueueRunsTheHandlerThenTheNotificationFollowsOnTheMainThread)
{
    server.respondWith(HttpTestResponse::json(200, R"([1,2])"));
    auto manager = HTTPSessionManager::create();
    std::atomic<int> queued = 0;
    manager->setCompletionQueue([&queued](std::function<void()> work) {
        ++queued;
        std::thread(std::move(work)).detach();
    });
    std::atomic<bool> handlerOnMain = true;
    std::atomic<bool> handled = false;
    QVariant object;
    const void* notifiedTask = nullptr;
    bool notificationOnMain = false;
    bool handledBeforeNotification = false;
    auto task = manager->dataTaskWithRequest(HTTPRequest(server.url(QStringLiteral("/list"))),
                                             [&](const auto&, const QVariant& o, const auto&) {
                                                 object = o;
                                                 handlerOnMain = MainQueue::isMainThread();
                                                 handled = true;
                                             });
    int observer = 0;
    ScopedObservation observation(&observer);
    NotificationCenter::defaultCenter().addObserver(
        &observer, QString::fromLatin1(HTTPNetworkingTaskDidCompleteNotification),
        [&](const NotificationCenter::Notification& notification) {
            if (notification.object != task.get())
                return; // an earlier test's task
            notifiedTask = notification.object;
            notificationOnMain = MainQueue::isMainThread();
            handledBeforeNotification = handled;
        });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return notifiedTask != nullptr; }));
    EXPECT_EQ(queued.load(), 1);
    EXPECT_FALSE(handlerOnMain.load());
    EXPECT_TRUE(handledBeforeNotification);
    EXPECT_TRUE(notificationOnMain);
    EXPECT_EQ(notifiedTask, task.get());
    EXPECT_EQ(object.toJsonArray(), (QJsonArray{1, 2}));
}

TEST_F(HTTPSessionManagerTest, SameRequestSentTwiceSendsTheWholeBodyTwice)
{
    server.respondWith(HttpTestResponse::json(201, "{}"));
    const HTTPRequest request = uploadRequest(QStringLiteral("/tracks"), patternBytes(200000));
    const QByteArray expectedBody = readAll(*request.HTTPBodyStream->copy());
    auto manager = HTTPSessionManager::create();
    for (int attempt = 0; attempt < 2; ++attempt) {
        Outcome outcome;
        manager->uploadTaskWithStreamedRequest(request, nullptr, outcome.handler())->resume();
        ASSERT_TRUE(outcome.wait());
        EXPECT_FALSE(outcome.error.has_value()) << attempt;
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests.at(0).body == expectedBody);
    EXPECT_TRUE(requests.at(1).body == expectedBody);
}

TEST_F(HTTPSessionManagerTest, NoServerListeningIsCannotConnect)
{
    const QUrl url = server.url(QStringLiteral("/me"));
    server.stop();
    auto manager = HTTPSessionManager::create();
    Outcome outcome;
    manager->dataTaskWithRequest(HTTPRequest(url), outcome.handler())->resume();
    ASSERT_TRUE(outcome.wait(10s));
    ASSERT_TRUE(outcome.error.has_value());
    EXPECT_TRUE(outcome.error->is(HTTPURLErrorDomain, HTTPErrorCode::CannotConnectToHost))
        << qPrintable(outcome.error->description());
}

} // namespace
