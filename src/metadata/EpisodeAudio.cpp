#include "metadata/EpisodeAudio.h"

#include "store/DataDirectory.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <fcntl.h>
#include <map>
#include <mpg123.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace airlark {
namespace {

class Text
{
    Q_DECLARE_TR_FUNCTIONS(EpisodeAudio)
};

using FileIdentity = std::tuple<dev_t, ino_t, off_t, long long>;

QMutex cacheMutex;
std::map<FileIdentity, EpisodeAudio>& cache()
{
    static std::map<FileIdentity, EpisodeAudio> results;
    return results;
}

std::optional<FileIdentity> identityOf(int fd)
{
    struct stat facts = {};
    if (::fstat(fd, &facts) != 0)
        return std::nullopt;
    return FileIdentity{facts.st_dev, facts.st_ino, facts.st_size,
                        (long long)facts.st_mtim.tv_sec * 1000000000LL + facts.st_mtim.tv_nsec};
}

// Beside the process's own results, each measurement is kept as a small JSON file in the data
// directory's cache, named by the file's identity, so a later run of Airlark reads it back too.
constexpr int CacheFormat = 1;

QString cacheFileName(const FileIdentity& identity)
{
    return QStringLiteral("episode-check-%1-%2-%3-%4.json")
        .arg(qulonglong(std::get<0>(identity)))
        .arg(qulonglong(std::get<1>(identity)))
        .arg(qlonglong(std::get<2>(identity)))
        .arg(std::get<3>(identity));
}

QJsonValue optionalValue(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

std::optional<double> optionalDouble(const QJsonValue& value)
{
    return value.isDouble() ? std::optional(value.toDouble()) : std::nullopt;
}

void storeOnDisk(const FileIdentity& identity, const EpisodeAudio& audio)
{
    const std::optional<QString> folder = ensureDataSubdirectory(QStringLiteral("cache"));
    if (!folder)
        return;
    const QJsonObject object{
        {"format", CacheFormat},
        {"unreadable", audio.unreadable},
        {"mpegVersion", audio.mpegVersion},
        {"layer", audio.layer},
        {"sampleRate", qint64(audio.sampleRate)},
        {"channels", audio.channels},
        {"variableBitRate", audio.variableBitRate},
        {"averageKilobitsPerSecond", audio.averageKilobitsPerSecond},
        {"hasXingHeader", audio.hasXingHeader},
        {"hasVBRIHeader", audio.hasVBRIHeader},
        {"id3Version", audio.id3Version},
        {"durationMilliseconds", audio.durationMilliseconds},
        {"skippedBytes", audio.skippedBytes},
        {"lastFrameCut", audio.lastFrameCut},
        {"trailingBytes", audio.trailingBytes},
        {"formatChanges", audio.formatChanges},
        {"integrated", optionalValue(audio.loudness.integrated)},
        {"range", audio.loudness.range},
        {"truePeak", optionalValue(audio.loudness.truePeak)},
    };
    QSaveFile file(*folder + QLatin1Char('/') + cacheFileName(identity));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

std::optional<EpisodeAudio> readFromDisk(const FileIdentity& identity)
{
    QFile file(dataDirectoryPath() + QStringLiteral("/cache/") + cacheFileName(identity));
    if (file.size() > 64 * 1024 || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    if (object.value("format").toInt() != CacheFormat)
        return std::nullopt;
    EpisodeAudio audio;
    audio.unreadable = object.value("unreadable").toString();
    audio.mpegVersion = object.value("mpegVersion").toInt();
    audio.layer = object.value("layer").toInt();
    audio.sampleRate = long(object.value("sampleRate").toInteger());
    audio.channels = object.value("channels").toInt();
    audio.variableBitRate = object.value("variableBitRate").toBool();
    audio.averageKilobitsPerSecond = object.value("averageKilobitsPerSecond").toInt();
    audio.hasXingHeader = object.value("hasXingHeader").toBool();
    audio.hasVBRIHeader = object.value("hasVBRIHeader").toBool();
    audio.id3Version = object.value("id3Version").toInt();
    audio.durationMilliseconds = object.value("durationMilliseconds").toInteger();
    audio.skippedBytes = object.value("skippedBytes").toInteger();
    audio.lastFrameCut = object.value("lastFrameCut").toBool();
    audio.trailingBytes = object.value("trailingBytes").toInteger();
    audio.formatChanges = object.value("formatChanges").toBool();
    audio.loudness.integrated = optionalDouble(object.value("integrated"));
    audio.loudness.range = object.value("range").toDouble();
    audio.loudness.truePeak = optionalDouble(object.value("truePeak"));
    return audio;
}

// The ID3v2 tag's version and length, and which header the first frame carries. libmpg123 reads
// a Xing or VBRI header silently, so the file's head is read here.
void readHead(int fd, EpisodeAudio& audio)
{
    unsigned char head[10] = {};
    off_t start = 0;
    if (::pread(fd, head, sizeof head, 0) == sizeof head && head[0] == 'I' && head[1] == 'D' &&
        head[2] == '3') {
        audio.id3Version = head[3];
        start =
            10 + ((head[6] & 0x7f) << 21 | (head[7] & 0x7f) << 14 | (head[8] & 0x7f) << 7 | (head[9] & 0x7f));
        if (head[5] & 0x10)
            start += 10; // a footer
    }
    unsigned char bytes[4096 + 64] = {};
    const ssize_t read = ::pread(fd, bytes, sizeof bytes, start);
    for (ssize_t at = 0; at + 40 < read - 64; ++at) {
        if (bytes[at] != 0xFF || (bytes[at + 1] & 0xE0) != 0xE0)
            continue;
        const int version = (bytes[at + 1] >> 3) & 3; // 3: MPEG 1
        const bool mono = (bytes[at + 3] >> 6) == 3;
        const int sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
        const unsigned char* xing = bytes + at + 4 + sideInfo;
        audio.hasXingHeader = !std::memcmp(xing, "Xing", 4) || !std::memcmp(xing, "Info", 4);
        audio.hasVBRIHeader = !std::memcmp(bytes + at + 36, "VBRI", 4);
        return;
    }
}

struct Decoder
{
    mpg123_handle* handle = nullptr;
    ~Decoder()
    {
        if (handle) {
            mpg123_close(handle);
            mpg123_delete(handle);
        }
    }
};

// Float output in every rate the decoder knows, so that the meter sees the stream as it is.
bool openDecoder(Decoder& decoder, int fd, EpisodeAudio& audio)
{
    int error = MPG123_OK;
    decoder.handle = mpg123_new(nullptr, &error);
    mpg123_handle* mh = decoder.handle;
    if (!mh) {
        audio.unreadable = Text::tr("The MP3 decoder cannot start.");
        return false;
    }
    mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open_fd(mh, fd) != MPG123_OK) {
        audio.unreadable = Text::tr("The file cannot be read as MP3 audio.");
        return false;
    }
    return true;
}

// What the frames said so far: where the next one should start, their sizes and bit rates.
struct FrameTally
{
    qint64 samples = 0;
    qint64 frameBytes = 0;
    qint64 frames = 0;
    off_t expectedAt = -1;
    int firstBitRate = -1;
    double kilobitSum = 0;

    void count(mpg123_handle* mh, EpisodeAudio& audio)
    {
        mpg123_frameinfo2 info = {};
        if (mpg123_info2(mh, &info) != MPG123_OK)
            return;
        const off_t at = mpg123_framepos(mh);
        if (expectedAt >= 0 && at > expectedAt)
            audio.skippedBytes += at - expectedAt;
        expectedAt = at + info.framesize;
        if (frames == 0) {
            audio.mpegVersion = info.version == MPG123_1_0 ? 1 : info.version == MPG123_2_0 ? 2 : 25;
            audio.layer = info.layer;
            firstBitRate = info.bitrate;
        }
        if (info.bitrate != firstBitRate)
            audio.variableBitRate = true;
        kilobitSum += info.bitrate;
        frameBytes += info.framesize;
        ++frames;
    }
};

// What lies after the last whole frame: an APE or ID3v1 tag belongs there; a frame header with
// too few bytes behind it is a last frame cut short; anything else is junk.
void judgeTail(int fd, qint64 fileSize, const FrameTally& tally, EpisodeAudio& audio)
{
    const off_t end = tally.expectedAt;
    qint64 rest = fileSize - qint64(end);
    unsigned char tail[3] = {};
    if (rest >= 128 && ::pread(fd, tail, 3, fileSize - 128) == 3 && !std::memcmp(tail, "TAG", 3))
        rest -= 128;
    unsigned char next[8] = {};
    const bool apeTag = rest >= 32 && ::pread(fd, next, 8, end) == 8 && !std::memcmp(next, "APETAGEX", 8);
    if (rest > 0 && !apeTag) {
        if (::pread(fd, next, 2, end) == 2 && next[0] == 0xFF && (next[1] & 0xE0) == 0xE0 &&
            rest < 2 * qint64(tally.frameBytes / tally.frames))
            audio.lastFrameCut = true;
        else
            audio.trailingBytes = rest;
    }
}

// The stream's format, once: a stream that changes it midway is measured up to the change.
bool takeFormat(mpg123_handle* mh, std::optional<LoudnessMeter>& meter, EpisodeAudio& audio)
{
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(mh, &rate, &channels, &encoding);
    if (meter) {
        audio.formatChanges = true;
        return false;
    }
    audio.sampleRate = rate;
    audio.channels = channels;
    meter.emplace(channels, rate);
    return true;
}

std::optional<EpisodeAudio> decode(int fd, qint64 fileSize, const EpisodeAudioProgress& progress,
                                   std::stop_token stop)
{
    EpisodeAudio audio;
    readHead(fd, audio);
    Decoder decoder;
    if (!openDecoder(decoder, fd, audio))
        return audio;
    mpg123_handle* mh = decoder.handle;
    std::optional<LoudnessMeter> meter;
    FrameTally tally;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* pcm = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame(mh, &frameNumber, &pcm, &bytes);
        if (result == MPG123_DONE)
            break;
        if (result == MPG123_NEW_FORMAT) {
            if (!takeFormat(mh, meter, audio))
                break;
        } else if (result != MPG123_OK) {
            if (tally.frames == 0) {
                audio.unreadable = Text::tr("The file holds no MPEG audio that can be decoded.");
                return audio;
            }
            // A frame the decoder could not get past: what follows is not counted as audio.
            break;
        }
        if (!meter)
            continue;
        if (result == MPG123_OK)
            tally.count(mh, audio);
        const size_t count = bytes / sizeof(float) / size_t(audio.channels);
        meter->add(reinterpret_cast<const float*>(pcm), count);
        tally.samples += qint64(count);
        if (tally.frames % 256 == 0) {
            if (stop.stop_requested())
                return std::nullopt;
            if (progress && fileSize > 0)
                progress(double(mpg123_tell_stream(mh)) / double(fileSize));
        }
    }
    if (!meter || tally.frames == 0) {
        audio.unreadable = Text::tr("The file holds no MPEG audio that can be decoded.");
        return audio;
    }
    audio.averageKilobitsPerSecond = int(tally.kilobitSum / double(tally.frames) + 0.5);
    audio.durationMilliseconds = tally.samples * 1000 / audio.sampleRate;
    audio.loudness = meter->figures();
    judgeTail(fd, fileSize, tally, audio);
    if (progress)
        progress(1.0);
    return audio;
}

} // namespace

std::optional<EpisodeAudio> analyseEpisodeAudio(const QString& path, const EpisodeAudioProgress& progress,
                                                std::stop_token stop)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        EpisodeAudio audio;
        audio.unreadable = Text::tr("The file cannot be opened.");
        return audio;
    }
    const std::optional<FileIdentity> identity = identityOf(fd);
    if (identity) {
        QMutexLocker lock(&cacheMutex);
        if (const auto known = cache().find(*identity); known != cache().end()) {
            ::close(fd);
            return known->second;
        }
    }
    std::optional<EpisodeAudio> audio = identity ? readFromDisk(*identity) : std::nullopt;
    if (!audio) {
        // libmpg123 closes nothing it did not open: the descriptor is closed here.
        audio = decode(fd, identity ? std::get<2>(*identity) : 0, progress, stop);
        if (audio && identity)
            storeOnDisk(*identity, *audio);
    }
    ::close(fd);
    if (audio && identity) {
        QMutexLocker lock(&cacheMutex);
        cache()[*identity] = *audio;
    }
    return audio;
}

} // namespace airlark
