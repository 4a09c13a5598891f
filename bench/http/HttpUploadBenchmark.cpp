// Throughput and peak memory of a streamed multipart upload: HTTPSessionManager against
// `curl -F`, both posting the same file to the same loopback server (a child process, so that
// its buffers count for neither client).
#include "http/HTTPRequestSerializer.h"
#include "http/HTTPSessionManager.h"
#include "support/HttpTestServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace airlark;

namespace {

struct Run
{
    double seconds = 0;
    qint64 received = -1;
    long peakKiB = 0;
};

// The server lives in a child process forked before any thread exists.
pid_t startServer(quint16& port)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        test::HttpTestServer server;
        server.setKeepsBodies(false);
        server.setFallback([](const test::HttpTestRequest& request) {
            return test::HttpTestResponse::json(
                201, QJsonDocument(QJsonObject{{QStringLiteral("received"), request.bodyLength}}));
        });
        if (!server.start())
            ::_exit(1);
        const quint16 listening = server.port();
        if (::write(pipeFds[1], &listening, sizeof listening) != sizeof listening)
            ::_exit(1);
        ::close(pipeFds[1]);
        for (;;)
            ::pause();
    }
    ::close(pipeFds[1]);
    const bool ok = ::read(pipeFds[0], &port, sizeof port) == sizeof port;
    ::close(pipeFds[0]);
    return ok ? child : -1;
}

long currentKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    }
    return 0;
}

void resetPeakResidentSize()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

Run runCurl(const QString& path, quint16 port)
{
    Run run;
    QTemporaryDir out;
    const QByteArray form = "track[asset_data]=@" + path.toLocal8Bit() + ";type=audio/mp3";
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(port) + "/tracks";
    const QByteArray output = out.filePath(QStringLiteral("answer.json")).toLocal8Bit();
    QElapsedTimer clock;
    clock.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("curl", "curl", "-sS", "-o", output.constData(), "-H", "Expect:", "-F", form.constData(),
                 url.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.peakKiB = usage.ru_maxrss;
    QFile answer(QString::fromLocal8Bit(output));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && answer.open(QIODevice::ReadOnly))
        run.received = QJsonDocument::fromJson(answer.readAll())
                           .object()
                           .value(QStringLiteral("received"))
                           .toInteger(-1);
    return run;
}

Run runSessionManager(const QString& path, quint16 port)
{
    Run run;
    HTTPRequestSerializer serializer;
    auto request = serializer.multipartFormRequestWithMethod(
        QStringLiteral("POST"), QStringLiteral("http://127.0.0.1:%1/tracks").arg(port), std::nullopt,
        [&](MultipartFormData& form) {
            form.appendPartWithFileURL(QUrl::fromLocalFile(path), QStringLiteral("track[asset_data]"),
                                       QStringLiteral("episode.mp3"), QStringLiteral("audio/mp3"));
        });
    if (!request)
        return run;
    resetPeakResidentSize();
    QElapsedTimer clock;
    clock.start();
    auto manager = HTTPSessionManager::create();
    manager->setTaskDidSendBodyDataBlock([](HTTPSession&, HTTPSessionTask&, qint64, qint64, qint64) {});
    bool done = false;
    manager
        ->uploadTaskWithStreamedRequest(
            *request, nullptr,
            [&](const std::optional<HTTPResponse>&, const QVariant& object,
                const std::optional<HTTPError>& error) {
                if (error)
                    std::fprintf(stderr, "upload failed: %s\n", qPrintable(error->description()));
                else
                    run.received = object.toJsonObject().value(QStringLiteral("received")).toInteger(-1);
                done = true;
                QCoreApplication::quit();
            })
        ->resume();
    if (!done)
        QCoreApplication::exec();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.peakKiB = currentKiB("VmHWM");
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool writeTestFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 131 + 7);
    for (qint64 written = 0; written < size; written += block.size()) {
        if (file.write(block.constData(), std::min<qint64>(block.size(), size - written)) < 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 mebibytes = argc > 1 ? std::atoll(argv[1]) : 1024;
    quint16 port = 0;
    const pid_t server = startServer(port);
    if (server <= 0) {
        std::fprintf(stderr, "could not start the local server\n");
        return 1;
    }

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    const qint64 size = mebibytes * 1024 * 1024;
    if (!dir.isValid() || !writeTestFile(path, size)) {
        std::fprintf(stderr, "could not write the test file\n");
        ::kill(server, SIGTERM);
        return 1;
    }
    std::printf("file: %lld MiB, server on 127.0.0.1:%u\n", static_cast<long long>(mebibytes), port);
    std::printf("client RSS before uploads: %ld KiB\n", currentKiB("VmRSS"));

    // Peak memory must not follow the file size: compare with a small file first.
    const QString smallPath = dir.filePath(QStringLiteral("small.mp3"));
    const qint64 smallSize = std::min<qint64>(size, 16LL * 1024 * 1024);
    long smallPeakKiB = 0;
    if (writeTestFile(smallPath, smallSize)) {
        const Run small = runSessionManager(smallPath, port);
        smallPeakKiB = small.peakKiB;
        std::printf("HTTPSessionManager with a %lld MiB file: peak RSS %ld KiB\n",
                    static_cast<long long>(smallSize / (1024 * 1024)), small.peakKiB);
    }

    // Five rounds, alternating, so that neither client alone pays for a cold page cache or a
    // burst of load from elsewhere; the best and the median of each are compared.
    std::optional<Run> bestCurl;
    std::optional<Run> bestOurs;
    std::vector<double> curlTimes;
    std::vector<double> ourTimes;
    bool allComplete = true;
    for (int round = 0; round < 5; ++round) {
        const Run c = runCurl(path, port);
        const Run o = runSessionManager(path, port);
        std::printf("round %d: curl %.2f s (received %lld), HTTPSessionManager %.2f s (received %lld)\n",
                    round + 1, c.seconds, static_cast<long long>(c.received), o.seconds,
                    static_cast<long long>(o.received));
        allComplete = allComplete && c.received >= size && o.received >= size;
        curlTimes.push_back(c.seconds);
        ourTimes.push_back(o.seconds);
        if (!bestCurl || c.seconds < bestCurl->seconds)
            bestCurl = c;
        if (!bestOurs || o.seconds < bestOurs->seconds)
            bestOurs = o;
    }
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);

    const double mib = static_cast<double>(size) / (1024.0 * 1024.0);
    const double curlRate = mib / bestCurl->seconds;
    const double ourRate = mib / bestOurs->seconds;
    std::printf("curl -F:            %8.1f MiB/s, peak RSS %ld KiB\n", curlRate, bestCurl->peakKiB);
    std::printf("HTTPSessionManager: %8.1f MiB/s, peak RSS %ld KiB (whole process, Qt included)\n", ourRate,
                bestOurs->peakKiB);
    std::printf("throughput ratio (HTTPSessionManager / curl), best runs:   %.3f (goal >= 0.95)\n",
                ourRate / curlRate);
    std::printf("throughput ratio (HTTPSessionManager / curl), median runs: %.3f\n",
                median(curlTimes) / median(ourTimes));
    std::printf("peak RSS growth from the small file to this one: %ld KiB\n",
                bestOurs->peakKiB - smallPeakKiB);
    if (!allComplete) {
        std::printf("some upload did not arrive whole\n");
        return 1;
    }
    return 0;
}
