// Times the tag writes of one episode's life, as the metadata step does them on Save, side by side
// with kid3-cli and python3-mutagen writing the same frames to copies of the same file:
//   1. first save of an untagged episode (the tag grows: Airlark rewrites the whole file),
//   2. a second save with other values (the tag fits: Airlark writes in place),
//   3. a save that adds a 2 MB cover (the tag grows again).
// For each step it prints the median time and the peak resident memory, and for Airlark the longest
// the main thread went without handling events while the save ran on its worker. Run by hand:
//   metadata_tag_write_bench [megabytes [runs]]
// Airlark's times include the flushes that make its saves safe; the peers do not flush.
#include "metadata/BackgroundTagWrite.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Steps = 3;
const char* const StepNames[Steps] = {"first save (grows)", "second save (fits)", "2 MB cover (grows)"};

QByteArray wav(int seconds)
{
    constexpr int rate = 44100;
    QByteArray data(seconds * rate * 2, Qt::Uninitialized);
    for (int i = 0; i < seconds * rate; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(2 * std::numbers::pi * 440.0 * i / rate)),
                                data.data() + i * 2);
    QByteArray out("RIFF");
    const auto u32 = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    const auto u16 = [&out](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    u32(quint32(36 + data.size()));
    out.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.append("data");
    u32(quint32(data.size()));
    return out + data;
}

// Ten seconds encoded by lame at 128 kbit/s without an Info frame, repeated up to `bytes`.
bool makeEpisode(const QString& path, qint64 bytes, const QDir& work)
{
    QFile source(work.filePath(QStringLiteral("tone.wav")));
    if (!source.open(QIODevice::WriteOnly) || source.write(wav(10)) < 0)
        return false;
    source.close();
    const QString encoded = work.filePath(QStringLiteral("tone.mp3"));
    if (QProcess::execute(QStringLiteral("lame"),
                          {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"),
                           QStringLiteral("--cbr"), QStringLiteral("-t"), source.fileName(), encoded}) != 0)
        return false;
    QFile chunkFile(encoded);
    if (!chunkFile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray chunk = chunkFile.readAll();
    QFile out(path);
    if (chunk.isEmpty() || !out.open(QIODevice::WriteOnly))
        return false;
    for (qint64 written = 0; written < bytes; written += chunk.size())
        if (out.write(chunk) != chunk.size())
            return false;
    return out.flush();
}

// A JPEG of noise of about `bytes`.
QByteArray noisyJpeg(qint64 bytes)
{
    const int side = int(std::sqrt(double(bytes) / 0.9));
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, QRandomGenerator::global()->generate());
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return data;
}

// Resident memory in MiB from /proc/self/status: "VmRSS" now, "VmHWM" the peak since the last reset.
double memoryMiB(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(QByteArray(field + ':')))
            return line.mid(field.size() + 1).trimmed().split(' ').front().toDouble() / 1024.0;
    return -1;
}

// Resets the peak to the memory in use now (Linux: clear_refs) and returns that.
double resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return memoryMiB("VmRSS");
}

struct Sample
{
    double milliseconds = 0;
    double peakMiB = 0;
    double growthMiB = 0;         // Airlark only: the peak above the memory in use when the save began
    double stallMilliseconds = 0; // Airlark only: the longest main-thread gap
};

QString titleFor(int step, int run)
{
    return QStringLiteral("Episode %1: %2")
        .arg(run)
        .arg(step == 0 ? QStringLiteral("a title of usual length")
                       : QStringLiteral("a revised, longer title"));
}

const QString Description = QStringLiteral("Show notes. ").repeated(80);

Sample airlarkSave(const QString& path, int step, int run,
                   const std::optional<airlark::EmbeddedArtwork>& cover)
{
    airlark::PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(titleFor(step, run));
    writer.setPodcast(QStringLiteral("The Lark"));
    writer.setArtist(QStringLiteral("Ada Lovelace"));
    writer.setDescription(Description);
    if (step == 2)
        writer.setArtwork(cover);

    // The main thread ticks every millisecond meanwhile, as the window's event loop would.
    QEventLoop loop;
    QElapsedTimer sinceTick;
    double stall = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        stall = std::max(stall, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    const double before = resetPeakMemory();
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    ticker.start();
    std::optional<airlark::TagLibMetadataError> failure;
    double milliseconds = 0;
    airlark::BackgroundTagWrite write(writer, [&](std::optional<airlark::TagLibMetadataError> result) {
        milliseconds = timer.nsecsElapsed() / 1e6;
        failure = result;
        loop.quit();
    });
    loop.exec();
    if (failure) {
        std::fprintf(stderr, "Airlark's write failed: %s\n", qPrintable(airlark::printable(*failure)));
        std::exit(1);
    }
    const double peak = memoryMiB("VmHWM");
    return {milliseconds, peak, peak - before, stall};
}

// Runs a peer; its wall time and peak memory come from the kernel (wait4), and `inner` from the
// peer's own report where it gives one (mutagen times its save without the interpreter start).
Sample runPeer(const QStringList& command, const QString& home, double* inner = nullptr)
{
    int out[2];
    if (::pipe(out) != 0)
        std::exit(1);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::setenv("HOME", qPrintable(home), 1);
        ::setenv("XDG_CONFIG_HOME", qPrintable(home), 1);
        std::vector<QByteArray> arguments;
        for (const QString& argument : command)
            arguments.push_back(argument.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    QByteArray printed;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    rusage usage = {};
    ::wait4(child, &status, 0, &usage);
    const double milliseconds = timer.nsecsElapsed() / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(command.front()), printed.constData());
        std::exit(1);
    }
    if (inner)
        *inner = printed.trimmed().toDouble() * 1000;
    return {milliseconds, usage.ru_maxrss / 1024.0, 0, 0};
}

QStringList kid3Command(const QString& path, int step, int run, const QString& cover)
{
    const auto quoted = [](QString text) -> QString {
        return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("\\'")) + QLatin1Char('\'');
    };
    const QStringList sets{QStringLiteral("set title ") + quoted(titleFor(step, run)),
                           QStringLiteral("set album 'The Lark'"),
                           QStringLiteral("set artist 'Ada Lovelace'"),
                           QStringLiteral("set 'album artist' 'Ada Lovelace'"),
                           QStringLiteral("set comment ") + quoted(Description),
                           QStringLiteral("set date %1").arg(QDate::currentDate().year())};
    QStringList command{QStringLiteral("kid3-cli")};
    for (const QString& set : sets)
        command << QStringLiteral("-c") << set;
    if (step == 2)
        command << QStringLiteral("-c") << QStringLiteral("set picture:'%1' ''").arg(cover);
    return command << path;
}

const char* const MutagenSave = R"(
import sys, time
from mutagen.id3 import ID3, ID3NoHeaderError, TIT2, TALB, TPE1, TPE2, COMM, TYER, APIC
path, title, comment, year, cover = sys.argv[1:6]
start = time.perf_counter()
try:
    tag = ID3(path)
except ID3NoHeaderError:
    tag = ID3()
for frame in (TIT2(encoding=0, text=title), TALB(encoding=0, text="The Lark"), TPE1(encoding=0, text="Ada Lovelace"),
              TPE2(encoding=0, text="Ada Lovelace"), TYER(encoding=0, text=year)):
    tag.setall(frame.FrameID, [frame])
tag.setall("COMM", [COMM(encoding=0, lang="eng", desc="", text=comment)])
if cover:
    tag.setall("APIC", [APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=open(cover, "rb").read())])
tag.save(path, v2_version=3)
print(time.perf_counter() - start)
)";

QStringList mutagenCommand(const QString& path, int step, int run, const QString& cover)
{
    return {QStringLiteral("/usr/bin/python3"),
            QStringLiteral("-c"),
            QString::fromLatin1(MutagenSave),
            path,
            titleFor(step, run),
            Description,
            QString::number(QDate::currentDate().year()),
            step == 2 ? cover : QString()};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    // Airlark's undo journal and the peers' settings go to the bench's own folders, never the user's.
    QTemporaryDir work;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", QFile::encodeName(work.filePath(QStringLiteral("data"))));
    QGuiApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 5;

    const QString pristine = work.filePath(QStringLiteral("pristine.mp3"));
    if (!work.isValid() || !makeEpisode(pristine, megabytes * 1024 * 1024, QDir(work.path()))) {
        std::fprintf(stderr, "could not make the test episode (is lame installed?)\n");
        return 1;
    }
    const QString coverPath = work.filePath(QStringLiteral("cover.jpg"));
    const QByteArray coverBytes = noisyJpeg(2 * 1000 * 1000);
    QFile coverFile(coverPath);
    if (!coverFile.open(QIODevice::WriteOnly) || coverFile.write(coverBytes) < 0)
        return 1;
    coverFile.close();
    const std::optional<airlark::EmbeddedArtwork> cover = airlark::EmbeddedArtwork::fromBytes(coverBytes);
    const QString home = work.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    std::printf("episode %lld MiB on %s, cover %.2f MB, %d runs, Airlark's baseline memory %.1f MiB\n",
                megabytes, qPrintable(work.path()), cover ? cover->data().size() / 1e6 : 0.0, runs,
                memoryMiB("VmRSS"));

    // kid3-cli's start-up alone, to tell it apart from its save.
    const QString probe = work.filePath(QStringLiteral("probe.mp3"));
    QFile::copy(pristine, probe);
    std::vector<double> startups;
    for (int run = 0; run < runs; ++run)
        startups.push_back(
            runPeer({QStringLiteral("kid3-cli"), QStringLiteral("-c"), QStringLiteral("get title"), probe},
                    home)
                .milliseconds);

    enum Tool
    {
        Airlark,
        Kid3,
        Mutagen,
        Tools
    };
    std::vector<Sample> samples[Tools][Steps];
    std::vector<double> mutagenInner[Steps];
    for (int run = 0; run < runs; ++run) {
        for (int tool = 0; tool < Tools; ++tool) {
            const QString episode = work.filePath(QStringLiteral("episode.mp3"));
            QFile::remove(episode);
            if (!QFile::copy(pristine, episode))
                return 1;
            for (int step = 0; step < Steps; ++step) {
                double inner = 0;
                if (tool == Airlark)
                    samples[tool][step].push_back(airlarkSave(episode, step, run, cover));
                else if (tool == Kid3)
                    samples[tool][step].push_back(runPeer(kid3Command(episode, step, run, coverPath), home));
                else
                    samples[tool][step].push_back(
                        runPeer(mutagenCommand(episode, step, run, coverPath), home, &inner));
                if (tool == Mutagen)
                    mutagenInner[step].push_back(inner);
            }
        }
    }

    std::printf("kid3-cli start-up alone: median %.1f ms\n\n", median(startups));
    std::printf("%-20s %-9s %12s %16s %12s\n", "step", "tool", "median ms", "without start ms", "peak MiB");
    const char* const toolNames[Tools] = {"Airlark", "kid3-cli", "mutagen"};
    for (int step = 0; step < Steps; ++step) {
        for (int tool = 0; tool < Tools; ++tool) {
            std::vector<double> times;
            std::vector<double> peaks;
            std::vector<double> stalls;
            std::vector<double> growths;
            for (const Sample& sample : samples[tool][step]) {
                times.push_back(sample.milliseconds);
                peaks.push_back(sample.peakMiB);
                stalls.push_back(sample.stallMilliseconds);
                growths.push_back(sample.growthMiB);
            }
            const double withoutStart = tool == Airlark ? median(times)
                                        : tool == Kid3  ? median(times) - median(startups)
                                                        : median(mutagenInner[step]);
            std::printf("%-20s %-9s %12.1f %16.1f %12.1f", StepNames[step], toolNames[tool], median(times),
                        withoutStart, *std::max_element(peaks.begin(), peaks.end()));
            if (tool == Airlark)
                std::printf("   %+.1f MiB while saving, main thread's longest gap %.1f ms",
                            *std::max_element(growths.begin(), growths.end()),
                            *std::max_element(stalls.begin(), stalls.end()));
            std::printf("\n");
        }
    }
    return 0;
}
