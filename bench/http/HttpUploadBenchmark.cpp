// Throughput and peak memory of a streamed multipart upload: HTTPSessionManager against
// `curl -F`, both posting the same file to the same loopback server (the HTTP stand-in, a process
// of its own that counts the bytes without keeping them), over plain HTTP or over TLS to the
// stand-in's TLS listener, whose certificate both trust. Both are timed from the first byte of the
// request to the answer: curl by its own time_total, ours inside this process.
#include "http/HTTPRequestSerializer.h"
#include "http/HTTPSessionManager.h"
#include "support/HttpStandIn.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
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
    double cpuSeconds = 0;
};

double cpuSeconds(const rusage& usage)
{
    const auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double selfCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// The length of the body the server received last.
qint64 lastReceived(test::HttpStandIn& server)
{
    const auto requests = server.requests();
    return requests.empty() || !requests.back().bodyComplete ? -1 : requests.back().bodyLength;
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

Run runCurl(const QString& path, test::HttpStandIn& server)
{
    const QByteArray certificate = server.certificateFile().toLocal8Bit();
    Run run;
    const QByteArray form = "track[asset_data]=@" + path.toLocal8Bit() + ";type=audio/mp3";
    const QByteArray url = server.url(QStringLiteral("/tracks")).toEncoded();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return run;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execlp("curl", "curl", "-sS", "-o", "/dev/null", "-w", "%{time_total}", "-H", "Expect:", "--cacert",
                 certificate.constData(), "-F", form.constData(), url.constData(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char seconds[64] = {};
    const ssize_t length = ::read(pipeFds[0], seconds, sizeof seconds - 1);
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    run.seconds = length > 0 ? std::atof(seconds) : 0;
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = cpuSeconds(usage);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        run.received = lastReceived(server);
    return run;
}

Run runSessionManager(const QString& path, test::HttpStandIn& server)
{
    Run run;
    HTTPRequestSerializer serializer;
    auto request = serializer.multipartFormRequestWithMethod(
        QStringLiteral("POST"), server.url(QStringLiteral("/tracks")).toString(), std::nullopt,
        [&](MultipartFormData& form) {
            form.appendPartWithFileURL(QUrl::fromLocalFile(path), QStringLiteral("track[asset_data]"),
                                       QStringLiteral("episode.mp3"), QStringLiteral("audio/mp3"));
        });
    if (!request)
        return run;
    resetPeakResidentSize();
    const double cpuBefore = selfCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    HTTPSessionConfiguration configuration;
    configuration.certificateAuthorityFile = server.certificateFile();
    auto manager = HTTPSessionManager::create(configuration);
    manager->setTaskDidSendBodyDataBlock([](HTTPSession&, HTTPSessionTask&, qint64, qint64, qint64) {});
    bool done = false;
    manager
        ->uploadTaskWithStreamedRequest(
            *request, nullptr,
            [&](const std::optional<HTTPResponse>&, const QVariant&, const std::optional<HTTPError>& error) {
                if (error)
                    std::fprintf(stderr, "upload failed: %s\n", qPrintable(error->description()));
                done = true;
                QCoreApplication::quit();
            })
        ->resume();
    if (!done)
        QCoreApplication::exec();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = selfCpuSeconds() - cpuBefore;
    run.peakKiB = currentKiB("VmHWM");
    run.received = lastReceived(server);
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return 0;
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
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
    const int rounds = std::max(3, argc > 2 ? std::atoi(argv[2]) : 10);
    const bool tls = argc > 3 && std::strcmp(argv[3], "https") == 0;
    QCoreApplication app(argc, argv);
    test::HttpStandIn server({tls ? test::HttpStandIn::Tls : test::HttpStandIn::Plain}, false);
    if (!server.isRunning()) {
        std::fprintf(stderr, "could not start the local server\n");
        return 1;
    }
    server.route("POST", QStringLiteral("/tracks"), test::reply(201, {}, QJsonObject{{"id", 1}}));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    const qint64 size = mebibytes * 1024 * 1024;
    if (!dir.isValid() || !writeTestFile(path, size)) {
        std::fprintf(stderr, "could not write the test file\n");
        return 1;
    }
    std::printf("file: %lld MiB, server on %s, %d rounds\n", static_cast<long long>(mebibytes),
                qPrintable(server.url(QStringLiteral("/")).toString()), rounds);
    std::printf("client RSS before uploads: %ld KiB\n", currentKiB("VmRSS"));

    // Peak memory must not follow the file size: compare with a small file first.
    const QString smallPath = dir.filePath(QStringLiteral("small.mp3"));
    const qint64 smallSize = std::min<qint64>(size, 16LL * 1024 * 1024);
    long smallPeakKiB = 0;
    if (writeTestFile(smallPath, smallSize)) {
        smallPeakKiB = runSessionManager(smallPath, server).peakKiB;
        std::printf("HTTPSessionManager with a %lld MiB file: peak RSS %ld KiB\n",
                    static_cast<long long>(smallSize / (1024 * 1024)), smallPeakKiB);
    }

    // Alternating rounds, each side going first in every other one, so that neither alone pays
    // for a cold page cache or a burst of load from elsewhere.
    std::vector<double> curlTimes;
    std::vector<double> ourTimes;
    double curlCpu = 0;
    double ourCpu = 0;
    long curlPeakKiB = 0;
    long ourPeakKiB = 0;
    bool allComplete = true;
    for (int round = 0; round < rounds; ++round) {
        Run c;
        Run o;
        if (round % 2 == 0) {
            c = runCurl(path, server);
            o = runSessionManager(path, server);
        } else {
            o = runSessionManager(path, server);
            c = runCurl(path, server);
        }
        std::printf("round %2d (%s first): curl %.2f s, HTTPSessionManager %.2f s\n", round + 1,
                    round % 2 == 0 ? "curl" : "ours", c.seconds, o.seconds);
        allComplete = allComplete && c.received >= size && o.received >= size;
        curlTimes.push_back(c.seconds);
        ourTimes.push_back(o.seconds);
        curlCpu += c.cpuSeconds;
        ourCpu += o.cpuSeconds;
        curlPeakKiB = std::max(curlPeakKiB, c.peakKiB);
        ourPeakKiB = std::max(ourPeakKiB, o.peakKiB);
    }

    const double mib = static_cast<double>(size) / (1024.0 * 1024.0);
    const double curlBest = *std::min_element(curlTimes.begin(), curlTimes.end());
    const double ourBest = *std::min_element(ourTimes.begin(), ourTimes.end());
    std::printf("curl -F:            median %8.1f MiB/s, best %8.1f MiB/s, peak RSS %ld KiB\n",
                mib / median(curlTimes), mib / curlBest, curlPeakKiB);
    std::printf("HTTPSessionManager: median %8.1f MiB/s, best %8.1f MiB/s, peak RSS %ld KiB (Qt included)\n",
                mib / median(ourTimes), mib / ourBest, ourPeakKiB);
    std::printf("throughput ratio (HTTPSessionManager / curl): median %.3f, best %.3f (goal >= 0.95)\n",
                median(curlTimes) / median(ourTimes), curlBest / ourBest);
    // CPU time is steadier than throughput on a shared machine: it shows what each side spends.
    std::printf("CPU per GiB (client only): curl %.2f s, HTTPSessionManager %.2f s\n",
                curlCpu / rounds * 1024.0 / mib, ourCpu / rounds * 1024.0 / mib);
    std::printf("peak RSS growth from the small file to this one: %ld KiB\n", ourPeakKiB - smallPeakKiB);
    if (!allComplete) {
        std::printf("some upload did not arrive whole\n");
        return 1;
    }
    return 0;
}
