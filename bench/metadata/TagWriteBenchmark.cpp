// Times writing the tags of a 100 MB MP3 through the podcast tag writer, as the metadata step does
// on Save: the first write (no tag yet, so the tag is inserted) and a rewrite (a tag is there), and
// reports the peak memory of each. Run by hand:
//   metadata_tag_write_bench [megabytes]
#include "metadata/PodcastID3TagWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

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

QByteArray noisyJpeg(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, QRandomGenerator::global()->generate());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

// Peak resident memory since the last reset, in MiB (Linux: VmHWM; reset through clear_refs).
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return -1;
}

struct Sample
{
    double milliseconds;
    double peakMiB;
};

Sample timedWrite(const QString& path, const airlark::EmbeddedArtwork& artwork, int run)
{
    resetPeakMemory();
    QElapsedTimer timer;
    timer.start();
    airlark::PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("Episode %1: a title of usual length").arg(run));
    writer.setPodcast(QStringLiteral("The Lark"));
    writer.setArtist(QStringLiteral("Ada Lovelace"));
    writer.setDescription(QStringLiteral("Show notes. ").repeated(80));
    writer.setArtwork(artwork);
    airlark::TagLibMetadataError error;
    if (!writer.write(&error)) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(airlark::printable(error)));
        std::exit(1);
    }
    return {timer.nsecsElapsed() / 1e6, peakMemoryMiB()};
}

void report(const char* name, std::vector<Sample> samples)
{
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.milliseconds < b.milliseconds; });
    double peak = 0;
    for (const Sample& s : samples)
        peak = std::max(peak, s.peakMiB);
    std::printf("%-12s runs %zu  time min %8.1f ms  median %8.1f ms  max %8.1f ms  peak memory %6.1f MiB\n",
                name, samples.size(), samples.front().milliseconds, samples[samples.size() / 2].milliseconds,
                samples.back().milliseconds, peak);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    constexpr int runs = 5;

    QTemporaryDir work;
    const QString pristine = work.filePath(QStringLiteral("pristine.mp3"));
    if (!work.isValid() || !makeEpisode(pristine, megabytes * 1024 * 1024, QDir(work.path()))) {
        std::fprintf(stderr, "could not make the test episode (is lame installed?)\n");
        return 1;
    }
    QFile cover(work.filePath(QStringLiteral("cover.jpg")));
    if (!cover.open(QIODevice::WriteOnly) || cover.write(noisyJpeg(1400)) < 0)
        return 1;
    cover.close();
    const std::optional<airlark::EmbeddedArtwork> artwork =
        airlark::EmbeddedArtwork::fromFile(cover.fileName());
    if (!artwork)
        return 1;
    std::printf("episode %lld MiB, artwork %.1f KiB, baseline memory %.1f MiB\n", megabytes,
                artwork ? artwork->data().size() / 1024.0 : 0.0, peakMemoryMiB());

    std::vector<Sample> first;
    std::vector<Sample> rewrite;
    for (int run = 0; run < runs; ++run) {
        const QString episode = work.filePath(QStringLiteral("episode.mp3"));
        QFile::remove(episode);
        QFile::copy(pristine, episode);
        first.push_back(timedWrite(episode, *artwork, run));
        rewrite.push_back(timedWrite(episode, *artwork, run + 100));
    }
    report("first write", first);
    report("rewrite", rewrite);
    return 0;
}
