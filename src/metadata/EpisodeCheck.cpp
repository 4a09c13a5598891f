#include "metadata/EpisodeCheck.h"

#include "metadata/FileSystemMetadata.h"
#include "metadata/ID3v2Frames.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QLocale>
#include <cmath>
#include <taglib/mpegfile.h>

namespace airlark {
namespace {

class Text
{
    Q_DECLARE_TR_FUNCTIONS(EpisodeCheck)
};

using Verdict = EpisodeCheckItem::Verdict;

// What listeners' apps and the big directories expect, per BS.1770 as EBU R128 gates it.
constexpr double StereoTarget = -16.0;
constexpr double MonoTarget = -19.0;
constexpr double TargetTolerance = 1.0;
constexpr double TruePeakCeiling = -1.0;

// One decimal, with a real minus sign.
QString figure(double value)
{
    return QString::number(value, 'f', 1).replace(QLatin1Char('-'), QChar(0x2212));
}

QString channelsName(int channels)
{
    return channels == 1   ? Text::tr("mono")
           : channels == 2 ? Text::tr("stereo")
                           : Text::tr("%1 channels").arg(channels);
}

// "1 failure", "2 failures": the words' plural forms come from the translation where there is one.
QString counted(qint64 count, const char* one, const char* many)
{
    return (count == 1 ? Text::tr(one) : Text::tr(many)).arg(count);
}

void addFormat(EpisodeCheckReport& report, const EpisodeAudio& audio)
{
    const QString version =
        audio.mpegVersion == 25 ? QStringLiteral("2.5") : QString::number(audio.mpegVersion);
    const QString layers[] = {QString(), QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III")};
    const QString stream = QStringLiteral("MPEG-%1 Layer %2, %3")
                               .arg(version, layers[qBound(0, audio.layer, 3)], channelsName(audio.channels));
    if (audio.layer != 3)
        report.items.push_back({QStringLiteral("stream"), Text::tr("Audio stream"), Verdict::Failure, stream,
                                Text::tr("Export the episode as MP3 (MPEG Layer III).")});
    else
        report.items.push_back(
            {QStringLiteral("stream"), Text::tr("Audio stream"), Verdict::Pass, stream, {}});

    const QString rate =
        Text::tr("%1 kHz").arg(QLocale::c().toString(double(audio.sampleRate) / 1000.0, 'g', 4));
    if (audio.sampleRate == 44100 || audio.sampleRate == 48000)
        report.items.push_back(
            {QStringLiteral("sample-rate"), Text::tr("Sample rate"), Verdict::Pass, rate, {}});
    else
        report.items.push_back({QStringLiteral("sample-rate"), Text::tr("Sample rate"), Verdict::Failure,
                                Text::tr("%1: directories take 44.1 or 48 kHz").arg(rate),
                                Text::tr("Export the episode again at 44.1 kHz.")});
}

void addBitRate(EpisodeCheckReport& report, const EpisodeAudio& audio)
{
    const bool mono = audio.channels == 1;
    const int low = mono ? 96 : 128;
    const int high = mono ? 128 : 256;
    const QString bitRate =
        audio.variableBitRate
            ? Text::tr("%1 kbit/s on average (variable)").arg(audio.averageKilobitsPerSecond)
            : Text::tr("%1 kbit/s constant").arg(audio.averageKilobitsPerSecond);
    if (audio.averageKilobitsPerSecond >= low && audio.averageKilobitsPerSecond <= high)
        report.items.push_back(
            {QStringLiteral("bit-rate"), Text::tr("Bit rate"), Verdict::Pass, bitRate, {}});
    else
        report.items.push_back({QStringLiteral("bit-rate"), Text::tr("Bit rate"), Verdict::Warning,
                                Text::tr("%1: %2 to %3 kbit/s is recommended for %4")
                                    .arg(bitRate)
                                    .arg(low)
                                    .arg(high)
                                    .arg(channelsName(audio.channels)),
                                Text::tr("Export at %1 kbit/s for %2 speech.")
                                    .arg(mono ? 96 : 128)
                                    .arg(channelsName(audio.channels))});
}

void addDuration(EpisodeCheckReport& report, const EpisodeAudio& audio)
{
    const QString duration = formattedDuration(audio.durationMilliseconds / 1000);
    if (audio.variableBitRate && !audio.hasXingHeader && !audio.hasVBRIHeader)
        report.items.push_back(
            {QStringLiteral("duration"), Text::tr("Duration"), Verdict::Failure,
             Text::tr("%1, but the variable bit rate has no Xing header: players show a wrong length")
                 .arg(duration),
             Text::tr("Export again with the VBR (Xing) header on, or at a constant bit rate.")});
    else
        report.items.push_back({QStringLiteral("duration"),
                                Text::tr("Duration"),
                                Verdict::Pass,
                                Text::tr("%1, read from the stream").arg(duration),
                                {}});
}

void addFrames(EpisodeCheckReport& report, const EpisodeAudio& audio)
{
    QStringList damage;
    if (audio.skippedBytes > 0)
        damage << counted(audio.skippedBytes, "%1 damaged byte between frames",
                          "%1 damaged bytes between frames");
    if (audio.lastFrameCut)
        damage << Text::tr("the last frame is cut short");
    if (audio.trailingBytes > 0)
        damage << counted(audio.trailingBytes, "%1 byte of junk after the audio",
                          "%1 bytes of junk after the audio");
    if (audio.formatChanges)
        damage << Text::tr("the stream changes its sample rate or channels");
    if (damage.isEmpty())
        report.items.push_back(
            {QStringLiteral("frames"), Text::tr("Frames"), Verdict::Pass, Text::tr("every frame whole"), {}});
    else
        report.items.push_back(
            {QStringLiteral("frames"), Text::tr("Frames"),
             audio.formatChanges ? Verdict::Failure : Verdict::Warning, damage.join(QStringLiteral("; ")),
             Text::tr("Export the episode again from the editor; a copy may have been cut short.")});
}

void addStream(EpisodeCheckReport& report, const EpisodeAudio& audio)
{
    addFormat(report, audio);
    addBitRate(report, audio);
    addDuration(report, audio);
    addFrames(report, audio);
}

void addLoudness(EpisodeCheckReport& report, const EpisodeAudio& audio)
{
    const LoudnessFigures& loudness = audio.loudness;
    const bool mono = audio.channels == 1;
    const double target = mono ? MonoTarget : StereoTarget;
    if (!loudness.integrated) {
        report.items.push_back({QStringLiteral("loudness"), Text::tr("Loudness"), Verdict::Failure,
                                Text::tr("silent: nothing above \u221270 LUFS"),
                                Text::tr("Check the export: the episode holds no sound.")});
        return;
    }
    const double integrated = *loudness.integrated;
    const double off = integrated - target;
    QString finding =
        Text::tr("%1 LUFS integrated, range %2 LU").arg(figure(integrated), figure(loudness.range));
    if (std::abs(off) <= TargetTolerance) {
        report.items.push_back(
            {QStringLiteral("loudness"), Text::tr("Loudness"), Verdict::Pass, finding, {}});
    } else {
        finding += off < 0 ? Text::tr(": %1 LU quieter than the %2 LUFS apps expect of %3")
                           : Text::tr(": %1 LU louder than the %2 LUFS apps expect of %3");
        report.items.push_back(
            {QStringLiteral("loudness"), Text::tr("Loudness"), Verdict::Warning,
             finding.arg(figure(std::abs(off)), figure(target), channelsName(audio.channels)),
             (off < 0
                  ? Text::tr(
                        "Raise the level by %1 dB (normalise to %2 LUFS), with a limiter at \u22121 dBTP.")
                  : Text::tr("Lower the level by %1 dB (normalise to %2 LUFS)."))
                 .arg(figure(std::abs(off)), figure(target))});
    }

    if (!loudness.truePeak)
        return;
    const double peak = *loudness.truePeak;
    const QString peakText = Text::tr("%1 dBTP").arg(figure(peak));
    if (peak <= TruePeakCeiling)
        report.items.push_back(
            {QStringLiteral("true-peak"), Text::tr("True peak"), Verdict::Pass, peakText, {}});
    else
        report.items.push_back(
            {QStringLiteral("true-peak"), Text::tr("True peak"),
             peak > 0 ? Verdict::Failure : Verdict::Warning,
             peak > 0
                 ? Text::tr("%1: the audio clips, listeners hear distortion").arg(peakText)
                 : Text::tr("%1: above the \u22121 dBTP ceiling, players' decoders may clip").arg(peakText),
             Text::tr("Put a true-peak limiter at \u22121 dBTP last in the chain and export again.")});
}

void addTitleAndVersion(EpisodeCheckReport& report, const EpisodeCheckTags& tags, const EpisodeAudio& audio)
{
    const QString title = tags.values.title.value_or(QString()).trimmed();
    if (title.isEmpty())
        report.items.push_back(
            {QStringLiteral("title"), Text::tr("Title"), Verdict::Failure,
             Text::tr("the episode has no title"),
             Text::tr("Type the episode's title: directories list it untitled otherwise.")});
    else
        report.items.push_back({QStringLiteral("title"), Text::tr("Title"), Verdict::Pass, title, {}});

    const int version = tags.tagWillBeWritten ? 3 : audio.id3Version;
    if (version == 3 || version == 4)
        report.items.push_back({QStringLiteral("id3"),
                                Text::tr("ID3 tag"),
                                Verdict::Pass,
                                tags.tagWillBeWritten ? Text::tr("ID3v2.3, written on Save")
                                                      : QStringLiteral("ID3v2.%1").arg(version),
                                {}});
    else
        report.items.push_back(
            {QStringLiteral("id3"), Text::tr("ID3 tag"), Verdict::Warning,
             version == 0 ? Text::tr("no ID3v2 tag") : QStringLiteral("ID3v2.%1").arg(version),
             Text::tr("Save the tags in Airlark: it writes ID3v2.3, which every player reads.")});
}

void addArtwork(EpisodeCheckReport& report, const EpisodeCheckTags& tags)
{
    if (!tags.artwork) {
        report.items.push_back({QStringLiteral("artwork"), Text::tr("Artwork"), Verdict::Warning,
                                Text::tr("no cover in the episode"),
                                Text::tr("Give the template a square JPEG or PNG of 1400 to 3000 pixels.")});
    } else if (!tags.artwork->isAccepted()) {
        report.items.push_back({QStringLiteral("artwork"), Text::tr("Artwork"), Verdict::Failure,
                                tags.artwork->message, Text::tr("Choose a JPEG or PNG image as the cover.")});
    } else if (tags.artwork->verdict == ArtworkCheck::Verdict::Warned) {
        report.items.push_back(
            {QStringLiteral("artwork"), Text::tr("Artwork"), Verdict::Failure, tags.artwork->message,
             Text::tr("Export the cover again as a square RGB JPEG or PNG of 1400 to 3000 pixels "
                      "without transparency.")});
    } else if (tags.artwork->fileBytes.size() > LargeArtworkBytes) {
        report.items.push_back({QStringLiteral("artwork"), Text::tr("Artwork"), Verdict::Warning,
                                Text::tr("%1, %2 KB: some apps skip covers above 512 KB")
                                    .arg(tags.artwork->description)
                                    .arg(tags.artwork->fileBytes.size() / 1024),
                                Text::tr("Save the cover as a JPEG at a lower quality.")});
    } else {
        report.items.push_back(
            {QStringLiteral("artwork"), Text::tr("Artwork"), Verdict::Pass, tags.artwork->description, {}});
    }
}

void addChapters(EpisodeCheckReport& report, const EpisodeCheckTags& tags, const EpisodeAudio& audio)
{
    const std::vector<ChapterMark> chapters =
        tags.values.podcast.chapters.value_or(std::vector<ChapterMark>());
    if (chapters.empty())
        return;
    QStringList problems;
    if (chapters.front().startMilliseconds != 0)
        problems << Text::tr("the first starts at %1, not 00:00:00")
                        .arg(formattedDuration(chapters.front().startMilliseconds / 1000));
    for (std::size_t i = 1; i < chapters.size(); ++i) {
        if (chapters[i].startMilliseconds <= chapters[i - 1].startMilliseconds) {
            problems << Text::tr("chapter %1 does not start after chapter %2").arg(i + 1).arg(i);
            break;
        }
    }
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        if (qint64(chapters[i].startMilliseconds) >= audio.durationMilliseconds) {
            problems << Text::tr("chapter %1 starts after the episode ends").arg(i + 1);
            break;
        }
    }
    int longTitles = 0;
    for (const ChapterMark& chapter : chapters)
        longTitles += chapter.title.size() > LongChapterTitle ? 1 : 0;
    const QString count = counted(qint64(chapters.size()), "%1 chapter", "%1 chapters");
    if (!problems.isEmpty())
        report.items.push_back(
            {QStringLiteral("chapters"), Text::tr("Chapters"), Verdict::Failure,
             count + QStringLiteral(": ") + problems.join(QStringLiteral("; ")),
             Text::tr("Load a chapter file in order, starting at 00:00:00, within the episode.")});
    else if (longTitles > 0)
        report.items.push_back({QStringLiteral("chapters"), Text::tr("Chapters"), Verdict::Warning,
                                count + QStringLiteral(": ") +
                                    counted(longTitles, "%1 title longer than 51 characters",
                                            "%1 titles longer than 51 characters"),
                                Text::tr("Shorten the titles: some players cut or hide long ones.")});
    else
        report.items.push_back({QStringLiteral("chapters"), Text::tr("Chapters"), Verdict::Pass, count, {}});
}

void addTags(EpisodeCheckReport& report, const EpisodeCheckTags& tags, const EpisodeAudio& audio)
{
    addTitleAndVersion(report, tags, audio);
    addArtwork(report, tags);
    addChapters(report, tags, audio);
}

} // namespace

QString verdictName(EpisodeCheckItem::Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Warning:
        return QStringLiteral("warning");
    case Verdict::Failure:
        break;
    }
    return QStringLiteral("failure");
}

bool EpisodeCheckReport::hasFailure() const
{
    return count(Verdict::Failure) > 0;
}

int EpisodeCheckReport::count(Verdict verdict) const
{
    return int(std::count_if(items.begin(), items.end(),
                             [verdict](const EpisodeCheckItem& item) { return item.verdict == verdict; }));
}

QString EpisodeCheckReport::summary() const
{
    const int failures = count(Verdict::Failure);
    const int warnings = count(Verdict::Warning);
    if (failures == 0 && warnings == 0)
        return Text::tr("Ready: every check passed");
    QStringList parts;
    if (failures > 0)
        parts << counted(failures, "%1 failure", "%1 failures");
    if (warnings > 0)
        parts << counted(warnings, "%1 warning", "%1 warnings");
    return parts.join(QStringLiteral(", "));
}

QJsonObject EpisodeCheckReport::toJson() const
{
    QJsonArray list;
    for (const EpisodeCheckItem& item : items)
        list.append(QJsonObject{{QStringLiteral("check"), item.key},
                                {QStringLiteral("verdict"), verdictName(item.verdict)},
                                {QStringLiteral("finding"), item.finding},
                                {QStringLiteral("advice"), item.advice}});
    QJsonObject object{{QStringLiteral("failed"), hasFailure()}, {QStringLiteral("items"), list}};
    if (audio && audio->unreadable.isEmpty()) {
        const auto optional = [](const std::optional<double>& value) {
            return value ? QJsonValue(std::round(*value * 100) / 100) : QJsonValue();
        };
        object.insert(
            QStringLiteral("audio"),
            QJsonObject{{QStringLiteral("integratedLUFS"), optional(audio->loudness.integrated)},
                        {QStringLiteral("loudnessRangeLU"), std::round(audio->loudness.range * 100) / 100},
                        {QStringLiteral("truePeakDBTP"), optional(audio->loudness.truePeak)},
                        {QStringLiteral("sampleRate"), qint64(audio->sampleRate)},
                        {QStringLiteral("channels"), audio->channels},
                        {QStringLiteral("kilobitsPerSecond"), audio->averageKilobitsPerSecond},
                        {QStringLiteral("variableBitRate"), audio->variableBitRate},
                        {QStringLiteral("xingHeader"), audio->hasXingHeader || audio->hasVBRIHeader},
                        {QStringLiteral("durationSeconds"), double(audio->durationMilliseconds) / 1000.0}});
    }
    return object;
}

QString EpisodeCheckReport::toText() const
{
    QString text;
    for (const EpisodeCheckItem& item : items) {
        text += QStringLiteral("%1 %2: %3\n")
                    .arg(verdictName(item.verdict).leftJustified(8), item.name, item.finding);
        if (!item.advice.isEmpty())
            text += QStringLiteral("         %1\n").arg(item.advice);
    }
    return text + summary();
}

EpisodeCheckReport episodeCheckReport(const EpisodeAudio& audio, const EpisodeCheckTags& tags)
{
    EpisodeCheckReport report;
    report.audio = audio;
    if (!audio.unreadable.isEmpty()) {
        report.items.push_back({QStringLiteral("stream"), Text::tr("Audio stream"), Verdict::Failure,
                                audio.unreadable, Text::tr("Export the episode as MP3 again.")});
    } else {
        addStream(report, audio);
        addLoudness(report, audio);
    }
    addTags(report, tags, audio);
    return report;
}

EpisodeCheckTags readEpisodeCheckTags(const QString& path)
{
    EpisodeCheckTags tags;
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
    if (!tag)
        return tags;
    tags.values = valuesOf(*tag);
    if (QByteArray cover = id3::frontCover(*tag); !cover.isEmpty())
        tags.artwork = checkArtworkBytes(std::move(cover), QStringLiteral("cover"), 1);
    return tags;
}

} // namespace airlark
