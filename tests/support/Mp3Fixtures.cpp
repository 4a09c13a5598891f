#include "support/Mp3Fixtures.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <map>
#include <numbers>

namespace airlark::test {
namespace {

// A mono 16-bit PCM WAV file of a 440 Hz tone.
QByteArray makeWav(int seconds, int sampleRate)
{
    const quint32 samples = quint32(seconds) * quint32(sampleRate);
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples * 2);
    for (quint32 i = 0; i < samples; ++i)
        out << qint16(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * double(i) / sampleRate));
    return wav;
}

QByteArray encode(int seconds, const QStringList& options)
{
    QTemporaryDir dir;
    const QString wavPath = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3Path = dir.filePath(QStringLiteral("tone.mp3"));
    const QStringList arguments =
        QStringList{QStringLiteral("--quiet")} + options + QStringList{wavPath, mp3Path};
    if (!dir.isValid() || !writeFile(wavPath, makeWav(seconds, 44100)) ||
        QProcess::execute(QStringLiteral("lame"), arguments) != 0)
        return {};
    return readFile(mp3Path);
}

// One encoding per set of options, made once per process.
QByteArray cachedEncoding(int seconds, const QString& options)
{
    static QMutex mutex;
    static std::map<QString, QByteArray> cache;
    QMutexLocker lock(&mutex);
    QByteArray& entry = cache[QString::number(seconds) + options];
    if (entry.isEmpty())
        entry = encode(seconds, options.split(QLatin1Char(' ')));
    return entry;
}

} // namespace

QByteArray generatedMp3Bytes(const QString& format, const QString& effects, const QString& lameOptions)
{
    static QMutex mutex;
    static std::map<QString, QByteArray> made;
    QMutexLocker lock(&mutex);
    QByteArray& entry = made[format + QLatin1Char('|') + effects + QLatin1Char('|') + lameOptions];
    if (!entry.isEmpty())
        return entry;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("signal.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("signal.mp3"));
    const auto words = [](const QString& text) { return text.split(QLatin1Char(' '), Qt::SkipEmptyParts); };
    QProcess sox;
    sox.setStandardErrorFile(QProcess::nullDevice()); // it warns of the clipping tests ask for
    sox.start(QStringLiteral("sox"),
              QStringList{"-n", "-b", "16"} + words(format) + QStringList{wav} + words(effects));
    if (sox.waitForFinished(60000) && sox.exitCode() == 0 &&
        QProcess::execute(QStringLiteral("lame"),
                          QStringList{"--quiet"} + words(lameOptions) + QStringList{wav, mp3}) == 0)
        entry = readFile(mp3);
    return entry;
}

QByteArray mp3Bytes(int seconds)
{
    return cachedEncoding(seconds, QStringLiteral("-b 64 -m m"));
}

QByteArray repeatedMp3Bytes(std::chrono::milliseconds duration, int kilobitsPerSecond)
{
    // At 8 kHz (576 samples, 72 ms a frame) and 48 kHz (1152 samples, 24 ms) no frame needs a
    // padding byte, so every frame has the same size and any run of them is a valid stream.
    const bool low = kilobitsPerSecond <= 8;
    const int rate = low ? 8000 : 48000;
    const int samplesPerFrame = low ? 576 : 1152;
    const qint64 frameBytes = qint64(samplesPerFrame) / 8 * kilobitsPerSecond * 1000 / rate;
    const qint64 frameMilliseconds = qint64(samplesPerFrame) * 1000 / rate;
    const QByteArray source = cachedEncoding(
        2, QStringLiteral("-b %1 --cbr -t -m m --resample %2").arg(kilobitsPerSecond).arg(rate / 1000));
    const qint64 sourceFrames = source.size() / frameBytes;
    if (sourceFrames == 0)
        return {};
    const qint64 frames = (duration.count() + frameMilliseconds - 1) / frameMilliseconds;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(frames * frameBytes));
    for (qint64 i = 0; i < frames; ++i)
        out.append(source.constData() + (i % sourceFrames) * frameBytes, frameBytes);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.flush();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
