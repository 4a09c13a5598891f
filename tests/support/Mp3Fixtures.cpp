#include "support/Mp3Fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>

namespace airlark::test {
namespace {

QByteArray makeWav(int seconds, int sampleRate)
{
    const qint64 samples = qint64(seconds) * sampleRate;
    QByteArray data;
    data.resize(static_cast<qsizetype>(samples * 2));
    for (qint64 i = 0; i < samples; ++i) {
        const double value = 8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * double(i) / sampleRate);
        qToLittleEndian<qint16>(static_cast<qint16>(value), data.data() + i * 2);
    }
    // The header's fields are little-endian, of 4 or 2 bytes.
    QByteArray wav;
    const auto put = [&wav](quint32 value, int bytes) {
        char field[4];
        qToLittleEndian(value, field);
        wav.append(field, bytes);
    };
    wav.append("RIFF");
    put(quint32(36 + data.size()), 4);
    wav.append("WAVEfmt ");
    for (const auto& [value, bytes] : {std::pair<quint32, int>{16, 4},
                                       {1, 2} /* PCM */,
                                       {1, 2} /* mono */,
                                       {quint32(sampleRate), 4},
                                       {quint32(sampleRate * 2), 4},
                                       {2, 2},
                                       {16, 2}})
        put(value, bytes);
    wav.append("data");
    put(quint32(data.size()), 4);
    wav.append(data);
    return wav;
}

QByteArray encode(int seconds, const QStringList& options)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    const QString wavPath = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3Path = dir.filePath(QStringLiteral("tone.mp3"));
    if (!writeFile(wavPath, makeWav(seconds, 44100)))
        return {};
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               QStringList{QStringLiteral("--quiet")} + options + QStringList{wavPath, mp3Path});
    if (!lame.waitForFinished(60000) || lame.exitStatus() != QProcess::NormalExit || lame.exitCode() != 0)
        return {};
    return readFile(mp3Path);
}

QMutex cacheMutex;

} // namespace

QByteArray mp3Bytes(int seconds)
{
    static std::map<int, QByteArray> cache;
    QMutexLocker lock(&cacheMutex);
    auto& entry = cache[seconds];
    if (entry.isEmpty())
        entry = encode(
            seconds, {QStringLiteral("-b"), QStringLiteral("64"), QStringLiteral("-m"), QStringLiteral("m")});
    return entry;
}

QByteArray repeatedMp3Bytes(std::chrono::milliseconds duration, int kilobitsPerSecond)
{
    // 8 kbit/s at 8 kHz gives 72-byte frames of 72 ms each, so the duration is exact to 72 ms.
    // 128 kbit/s at 44.1 kHz gives frames of 417 or 418 bytes (26.12 ms each).
    static std::map<int, QByteArray> cache;
    QByteArray source;
    {
        QMutexLocker lock(&cacheMutex);
        auto& entry = cache[kilobitsPerSecond];
        if (entry.isEmpty()) {
            QStringList options{QStringLiteral("-b"),    QString::number(kilobitsPerSecond),
                                QStringLiteral("--cbr"), QStringLiteral("-t"),
                                QStringLiteral("-m"),    QStringLiteral("m")};
            if (kilobitsPerSecond <= 8)
                options << QStringLiteral("--resample") << QStringLiteral("8");
            entry = encode(2, options);
        }
        source = entry;
    }
    if (source.isEmpty())
        return {};
    if (kilobitsPerSecond == 8) {
        constexpr int frameBytes = 72;
        constexpr int frameMilliseconds = 72;
        const qint64 frames = (duration.count() + frameMilliseconds - 1) / frameMilliseconds;
        const qint64 sourceFrames = source.size() / frameBytes;
        QByteArray out;
        out.reserve(static_cast<qsizetype>(frames * frameBytes));
        for (qint64 i = 0; i < frames; ++i)
            out.append(source.constData() + (i % sourceFrames) * frameBytes, frameBytes);
        return out;
    }
    // Whole encodings end on a frame boundary, so repeating them keeps a valid stream.
    const qint64 bytesWanted = duration.count() * kilobitsPerSecond / 8;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(bytesWanted + source.size()));
    while (out.size() < bytesWanted)
        out.append(source);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray wavBytes(int seconds)
{
    return makeWav(seconds, 8000);
}

QByteArray imageBytes(int width, int height, const char* format, bool greyscale)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 255) / qMax(1, width), (y * 255) / qMax(1, height), 128));
    if (greyscale)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray pngBytes(int width, int height)
{
    return imageBytes(width, height, "PNG");
}

QByteArray jpegBytes(int width, int height)
{
    return imageBytes(width, height, "JPEG");
}

} // namespace airlark::test
