// Upload throughput of FTPClient against the curl command, to the same local FTP server in one run,
// and FTPClient's peak resident memory.
//
//   ftp_upload_bench [size in MiB, default 1024] [rounds, default 5]
#include "ftp/FTPClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace airlark;

namespace {

constexpr qint64 MiB = 1024 * 1024;

// CPU seconds (user + system) used so far by this process or by its finished children.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto toSeconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double curlCpu = 0;
double clientCpu = 0;

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool writeTestFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(MiB, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
    for (qint64 written = 0; written < size; written += block.size()) {
        const qint64 count = std::min<qint64>(block.size(), size - written);
        if (file.write(block.constData(), count) != count)
            return false;
    }
    return true;
}

struct Server
{
    QProcess process;
    quint16 port = 0;

    bool start(const QString& home)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral(AIRLARK_SOURCE_DIR "/tests/support/ftp_server.py"), QStringLiteral("--home"), home,
                       QStringLiteral("--user"), QStringLiteral("bench"), QStringLiteral("--password"), QStringLiteral("bench")});
        if (!process.waitForStarted(10000) || !process.waitForReadyRead(15000))
            return false;
        const QByteArray line = process.readLine().trimmed();
        port = line.startsWith("port ") ? static_cast<quint16>(line.mid(5).toUInt()) : 0;
        return port != 0;
    }
    ~Server()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double curlUpload(const QString& file, const Server& server, const QString& name)
{
    QProcess curl;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("--user"), QStringLiteral("bench:bench"),
                                        QStringLiteral("-T"), file,
                                        QStringLiteral("ftp://127.0.0.1:%1/%2").arg(server.port).arg(name)});
    if (!curl.waitForFinished(-1) || curl.exitCode() != 0)
        return -1;
    const double elapsed = seconds(timer);
    curlCpu += cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    return elapsed;
}

double clientUpload(const QString& file, const Server& server, const QString& home, const QString& name)
{
    // Uploaded under the local file's own name: give the copy on the server that name.
    const QString linked = QDir(QFileInfo(file).absolutePath()).filePath(name);
    QFile::remove(linked);
    if (!QFile::link(file, linked))
        return -1;
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1"), QStringLiteral("bench"), QStringLiteral("bench"));
    record->setPort(server.port);
    FTPClient client;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    const bool ok = client.uploadFile(QUrl::fromLocalFile(linked), record.get());
    const double elapsed = seconds(timer);
    clientCpu += cpuSeconds(RUSAGE_SELF) - cpuBefore;
    QFile::remove(linked);
    if (!ok || QFileInfo(QDir(home).filePath(name)).size() != QFileInfo(file).size())
        return -1;
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 sizeMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const int rounds = std::max(1, argc > 2 ? QByteArray(argv[2]).toInt() : 5);
    QTemporaryDir work;
    const QString home = QDir(work.path()).filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    const QString small = QDir(work.path()).filePath(QStringLiteral("small.bin"));
    const QString large = QDir(work.path()).filePath(QStringLiteral("large.bin"));
    if (!writeTestFile(small, 64 * MiB) || !writeTestFile(large, sizeMiB * MiB)) {
        std::fprintf(stderr, "could not write the test files\n");
        return 1;
    }
    Server server;
    if (!server.start(home)) {
        std::fprintf(stderr, "could not start the FTP server\n");
        return 1;
    }

    // Memory after a small upload, to compare with the peak after the large ones.
    if (clientUpload(small, server, home, QStringLiteral("warmup.bin")) < 0) {
        std::fprintf(stderr, "FTPClient upload failed\n");
        return 1;
    }
    const long peakAfterSmall = peakResidentKiB();
    clientCpu = 0;
    QFile::remove(QDir(home).filePath(QStringLiteral("warmup.bin")));

    // Alternating which goes first, and taking the medians, keeps a busy machine from favouring either.
    std::vector<double> curlTimes;
    std::vector<double> clientTimes;
    for (int round = 0; round < rounds; ++round) {
        double curlTime = 0;
        double clientTime = 0;
        const auto runCurl = [&] {
            curlTime = curlUpload(large, server, QStringLiteral("curl.bin"));
            QFile::remove(QDir(home).filePath(QStringLiteral("curl.bin")));
        };
        const auto runClient = [&] {
            clientTime = clientUpload(large, server, home, QStringLiteral("client.bin"));
            QFile::remove(QDir(home).filePath(QStringLiteral("client.bin")));
        };
        if (round % 2 == 0) {
            runCurl();
            runClient();
        } else {
            runClient();
            runCurl();
        }
        if (curlTime < 0 || clientTime < 0) {
            std::fprintf(stderr, "an upload failed (curl %.2f s, FTPClient %.2f s)\n", curlTime, clientTime);
            return 1;
        }
        std::printf("round %d: curl %.2f s, FTPClient %.2f s\n", round + 1, curlTime, clientTime);
        curlTimes.push_back(curlTime);
        clientTimes.push_back(clientTime);
    }
    const double size = static_cast<double>(sizeMiB);
    const double curlRate = size / median(curlTimes);
    const double clientRate = size / median(clientTimes);
    std::printf("file size:            %lld MiB\n", static_cast<long long>(sizeMiB));
    std::printf("curl command:         %.1f MiB/s (median of %d)\n", curlRate, rounds);
    std::printf("FTPClient:            %.1f MiB/s (median of %d)\n", clientRate, rounds);
    std::printf("throughput ratio:     %.3f (goal >= 0.95)\n", clientRate / curlRate);
    std::printf("CPU per GiB uploaded: curl %.2f s, FTPClient %.2f s (steadier than wall time on a busy machine)\n",
                curlCpu / rounds * 1024.0 / size, clientCpu / rounds * 1024.0 / size);
    std::printf("FTPClient peak RSS:   %.1f MiB after a 64 MiB upload, %.1f MiB after the %lld MiB uploads\n",
                peakAfterSmall / 1024.0, peakResidentKiB() / 1024.0, static_cast<long long>(sizeMiB));
    return 0;
}
