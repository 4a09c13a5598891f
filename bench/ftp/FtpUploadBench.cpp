// Upload throughput of FTPClient against the curl command, to the same local vsftpd in one run, over
// plain FTP and over implicit TLS, and FTPClient's peak resident memory. Needs root (vsftpd's user).
//
//   ftp_upload_bench [size in MiB, default 1024] [rounds, default 10] [plain|tls, default both]
//
// Both sides are timed the same way, as whole processes: the curl command, and ftp_upload_once, a
// program that makes one FTPClient upload and links nothing else (this program drags in the test
// fixtures, whose loading alone cost some 70 ms a run). Each includes starting, connecting, logging in,
// the server's final reply and the QUIT that follows it (curl's own time_total leaves that out,
// and vsftpd takes a good part of a second to answer QUIT after a large upload). The rounds
// alternate which side goes first, and the ratio is taken of the medians, with the best runs beside.
#include "ftp/FTPClient.h"
#include "support/FtpTestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace airlark;
using test::FtpTestServer;

namespace {

constexpr qint64 MiB = 1024 * 1024;

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

long clientPeakKiB = 0;

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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Side
{
    std::vector<double> seconds;
    double cpu = 0;
};

// The wall time of a whole process, and its CPU time added to `side`; -1 on failure.
double timedProcess(const QString& program, const QStringList& arguments, const QByteArray& input, Side& side)
{
    QProcess process;
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    side.cpu += cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    // An FTPClient upload reports its peak resident memory.
    const QByteArray output = process.readAllStandardOutput();
    if (output.startsWith("peak "))
        clientPeakKiB = std::max(clientPeakKiB, output.mid(5).trimmed().toLong());
    return elapsed;
}

// The curl command's upload of `file`; -1 on failure.
double curlUpload(const QString& file, const FtpTestServer& server, const QString& name, Side& side)
{
    const bool tls = server.security() != FTPSecurity::None;
    QStringList arguments{QStringLiteral("-sS"),
                          QStringLiteral("-o"),
                          QStringLiteral("/dev/null"),
                          QStringLiteral("-w"),
                          QStringLiteral("%{time_total}"),
                          QStringLiteral("--user"),
                          server.user() + QLatin1Char(':') + server.password(),
                          QStringLiteral("-T"),
                          file};
    if (tls)
        arguments << QStringLiteral("--cacert") << qEnvironmentVariable("AIRLARK_FTP_CA_FILE");
    arguments << QStringLiteral("%1://127.0.0.1:%2/%3")
                     .arg(tls ? QStringLiteral("ftps") : QStringLiteral("ftp"))
                     .arg(server.port())
                     .arg(name);
    return timedProcess(QStringLiteral("curl"), arguments, {}, side);
}

// One FTPClient upload in a process of its own (ftp_upload_once); the password goes through
// standard input.
double clientUpload(const QString& file, const FtpTestServer& server, const QString& name, Side& side)
{
    // Uploaded under the local file's own name: give the copy on the server that name.
    const QString linked = QDir(QFileInfo(file).absolutePath()).filePath(name);
    QFile::remove(linked);
    if (!QFile::link(file, linked))
        return -1;
    const double elapsed = timedProcess(
        QStringLiteral(FTP_UPLOAD_ONCE),
        {linked, QString::number(server.port()), server.user(), QString::number(int(server.security()))},
        server.password().toUtf8(), side);
    QFile::remove(linked);
    return elapsed;
}

bool measure(FTPSecurity security, const QString& large, qint64 sizeMiB, int rounds)
{
    FtpTestServer::Options options;
    options.vsftpd = true;
    options.security = security;
    FtpTestServer server(options);
    if (!server.isRunning()) {
        std::fprintf(stderr, "could not start vsftpd (run as root)\n");
        return false;
    }
    Side curl;
    Side client;
    int curlShort = 0;
    for (int round = 0; round < rounds; ++round) {
        // The curl command itself loses the end of some small TLS 1.3 uploads (the fault that
        // FTPClient's orderly close mends): such an upload is counted and run again.
        const auto run = [&](bool curlSide) {
            const QString name = curlSide ? QStringLiteral("curl.bin") : QStringLiteral("client.bin");
            Side& side = curlSide ? curl : client;
            for (int attempt = 0; attempt < (curlSide ? 10 : 1); ++attempt) {
                const double seconds = curlSide ? curlUpload(large, server, name, side)
                                                : clientUpload(large, server, name, side);
                const bool whole = QFileInfo(server.pathInHome(name)).size() == sizeMiB * MiB;
                QFile::remove(server.pathInHome(name));
                if (seconds > 0 && whole) {
                    side.seconds.push_back(seconds);
                    return true;
                }
                std::fprintf(stderr, "%s's upload failed or arrived short\n",
                             curlSide ? "curl" : "FTPClient");
                curlShort += curlSide ? 1 : 0;
            }
            return false;
        };
        // Alternating which side goes first keeps a warm cache or a busy neighbour from favouring either.
        const bool curlFirst = round % 2 == 0;
        if (!run(curlFirst) || !run(!curlFirst)) {
            std::fprintf(stderr, "an upload failed in round %d\n", round + 1);
            return false;
        }
        std::printf("  round %2d (%s first): curl %.3f s, FTPClient %.3f s\n", round + 1,
                    curlFirst ? "curl" : "FTPClient", curl.seconds.back(), client.seconds.back());
    }
    const double size = static_cast<double>(sizeMiB);
    const double curlMedian = size / median(curl.seconds);
    const double clientMedian = size / median(client.seconds);
    const double curlBest = size / *std::min_element(curl.seconds.begin(), curl.seconds.end());
    const double clientBest = size / *std::min_element(client.seconds.begin(), client.seconds.end());
    std::printf("  curl command:     median %.1f MiB/s, best %.1f MiB/s\n", curlMedian, curlBest);
    std::printf("  FTPClient:        median %.1f MiB/s, best %.1f MiB/s\n", clientMedian, clientBest);
    std::printf("  throughput ratio: median %.3f, best %.3f (goal: median >= 0.95)\n",
                clientMedian / curlMedian, clientBest / curlBest);
    std::printf("  CPU per GiB:      curl %.2f s, FTPClient %.2f s (whole processes)\n",
                curl.cpu / rounds * 1024.0 / size, client.cpu / rounds * 1024.0 / size);
    if (curlShort > 0)
        std::printf("  curl command uploads cut short and run again: %d\n", curlShort);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 sizeMiB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const int rounds = std::max(1, argc > 2 ? QByteArray(argv[2]).toInt() : 10);
    const QByteArray only = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    QTemporaryDir work;
    const QString large = QDir(work.path()).filePath(QStringLiteral("large.bin"));
    if (!writeTestFile(large, sizeMiB * MiB)) {
        std::fprintf(stderr, "could not write the test file\n");
        return 1;
    }
    std::printf("file size: %lld MiB, %d rounds\n", static_cast<long long>(sizeMiB), rounds);
    for (const auto& [security, label] : {std::pair{FTPSecurity::None, "plain FTP"},
                                          std::pair{FTPSecurity::ImplicitTLS, "FTPS (implicit TLS)"}}) {
        if ((only == "plain" && security != FTPSecurity::None) ||
            (only == "tls" && security == FTPSecurity::None))
            continue;
        std::printf("%s:\n", label);
        if (!measure(security, large, sizeMiB, rounds))
            return 1;
    }
    std::printf("FTPClient peak RSS (its whole process): %.1f MiB\n", clientPeakKiB / 1024.0);
    return 0;
}
