#include "metadata/EpisodeCheck.h"

#include "metadata/LoudnessMeter.h"
#include "support/Mp3Fixtures.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <numbers>

using namespace airlark;
using namespace airlark::test;
using Verdict = EpisodeCheckItem::Verdict;

namespace {

std::optional<EpisodeAudio> analyse(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    if (bytes.isEmpty() || !writeFile(path, bytes))
        return std::nullopt;
    return analyseEpisodeAudio(path);
}

ArtworkCheck artwork(const char* format, bool greyscale = false)
{
    return checkArtworkBytes(imageBytes(1400, 1400, format, greyscale), QStringLiteral("cover"), 1);
}

const QString LongTitle = QString(60, QLatin1Char('x'));

struct Episode
{
    const char* name;
    QString format, effects, lame;
    std::map<QString, Verdict> expected;
    EpisodeCheckTags tags = {};
    std::function<void(QByteArray&)> damage = {};
};

// Generated episodes against the report's verdicts: each row names the checks it is about.
TEST(EpisodeCheck, GeneratedEpisodesGetTheVerdictsDirectoriesWould)
{
    const QString stereo = QStringLiteral("-r 44100 -c 2");
    const QString onTarget = QStringLiteral("synth 4 sine 1000 gain -16");
    const auto checkTags = [](const QString& title, std::optional<ArtworkCheck> cover,
                              std::vector<ChapterMark> chapters) {
        EpisodeCheckTags tags{{}, std::move(cover)};
        tags.values.title = title;
        tags.values.podcast.chapters = std::move(chapters);
        return tags;
    };
    const EpisodeCheckTags tagged = checkTags(QStringLiteral("Episode 1"), artwork("JPEG"),
                                              {{0, 2000, "Intro"}, {2000, 4000, LongTitle}});
    const EpisodeCheckTags badTags =
        checkTags(QString(), artwork("PNG", true), {{500, 2000, "Late"}, {200, 4000, "Back"}});
    const auto cutShort = [](QByteArray& bytes) { bytes.chop(100); };
    const auto P = Verdict::Pass, W = Verdict::Warning, F = Verdict::Failure;
    // clang-format off
    const std::initializer_list<Episode> episodes = {
        {"on target", stereo, onTarget, "-b 128",
         {{"stream", P}, {"sample-rate", P}, {"bit-rate", P}, {"duration", P}, {"frames", P},
          {"loudness", P}, {"true-peak", P}, {"title", P}, {"artwork", P}, {"chapters", W}}, tagged},
        {"quiet", stereo, "synth 4 pinknoise gain -35", "-b 128",
         {{"loudness", W}, {"true-peak", P}, {"title", F}, {"artwork", W}, {"id3", W}}},
        {"loud", stereo, "synth 4 sine 1000 gain -6", "-b 128", {{"loudness", W}, {"true-peak", P}}},
        {"clipping", stereo, "synth 4 pinknoise gain 12", "-b 128", {{"true-peak", F}}},
        // Measured as one channel, a mono tone at −16 dBFS reads −19 LUFS: the mono target.
        {"mono", "-r 44100 -c 1", onTarget, "-m m -b 96",
         {{"loudness", P}, {"bit-rate", P}, {"artwork", F}, {"chapters", F}}, badTags},
        {"22 kHz", "-r 22050 -c 2", onTarget, "-b 64", {{"sample-rate", F}, {"bit-rate", W}, {"stream", P}}},
        {"VBR with its Xing header", stereo, "synth 6 pinknoise tremolo 0.7 90 gain -12", "-V 2",
         {{"duration", P}, {"frames", P}}},
        {"VBR without its Xing header", stereo, "synth 6 pinknoise tremolo 0.7 90 gain -12", "-V 2 -t",
         {{"duration", F}}},
        {"truncated last frame", stereo, onTarget, "-b 128", {{"frames", W}}, tagged, cutShort},
    };
    // clang-format on
    QTemporaryDir dir;
    for (const Episode& row : episodes) {
        SCOPED_TRACE(row.name);
        QByteArray bytes = generatedMp3Bytes(row.format, row.effects, row.lame);
        if (row.damage)
            row.damage(bytes);
        const std::optional<EpisodeAudio> audio = analyse(dir, QString::fromUtf8(row.name) + ".mp3", bytes);
        ASSERT_TRUE(audio && audio->unreadable.isEmpty());
        const EpisodeCheckReport report = episodeCheckReport(*audio, row.tags);
        std::map<QString, Verdict> verdicts;
        for (const EpisodeCheckItem& item : report.items) {
            if (row.expected.contains(item.key))
                verdicts[item.key] = item.verdict;
            EXPECT_TRUE(item.verdict == Verdict::Pass || !item.advice.isEmpty()) << item.key.toStdString();
        }
        EXPECT_EQ(verdicts, row.expected) << report.toText().toStdString();
        EXPECT_EQ(report.hasFailure(), std::ranges::any_of(row.expected,
                                                           [](const auto& expected) {
                                                               return expected.second == Verdict::Failure;
                                                           }) ||
                                           row.tags.values.title.value_or(QString()).isEmpty())
            << report.toText().toStdString();
    }
}

struct Reference
{
    double integrated = -70, range = 0, truePeak = -HUGE_VAL;
};

// ffmpeg's ebur128 filter on the same file, from its summary.
Reference ffmpegFigures(const QString& path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-nostats", "-hide_banner", "-threads", "1", "-i", path,
                                            "-filter_complex", "ebur128=peak=true", "-f", "null", "-"});
    EXPECT_TRUE(ffmpeg.waitForFinished(60000));
    const QString output = QString::fromUtf8(ffmpeg.readAllStandardError());
    const QString summary = output.mid(output.lastIndexOf(QStringLiteral("Summary:")));
    const auto value = [&](const char* label) {
        const auto match =
            QRegularExpression(QStringLiteral("%1\\s+(-?[0-9.]+|-inf)").arg(QLatin1String(label)))
                .match(summary);
        EXPECT_TRUE(match.hasMatch()) << label << "\n" << summary.toStdString();
        return match.captured(1) == QStringLiteral("-inf") ? -HUGE_VAL : match.captured(1).toDouble();
    };
    return {value("I:"), value("LRA:"), value("Peak:")};
}

// Our figures against ffmpeg's on generated signals: within 0.1 LU integrated, 0.2 LU range and
// 0.4 dB true peak (EBU Tech 3341 and 3342 allow far more).
TEST(EpisodeCheck, LoudnessAgreesWithFfmpegsEbur128Filter)
{
    struct Signal
    {
        const char* name;
        QString format, effects, lame;
    };
    QTemporaryDir dir;
    for (const Signal& row : std::initializer_list<Signal>{
             {"EBU Tech 3341 case 1: 1 kHz at -23 dBFS", "-r 48000 -c 2", "synth 20 sine 1000 vol -23dB",
              "-b 192"},
             {"sine, 44.1 kHz stereo", "-r 44100 -c 2", "synth 6 sine 440 gain -14", "-b 128"},
             {"pink noise, 48 kHz stereo", "-r 48000 -c 2", "synth 6 pinknoise gain -8", "-b 160"},
             {"speech-like bursts", "-r 44100 -c 2", "synth 12 pinknoise tremolo 0.6 100 gain -4", "-b 128"},
             {"silence", "-r 44100 -c 2", "trim 0 4", "-b 128"},
             {"pink noise, 44.1 kHz mono", "-r 44100 -c 1", "synth 6 pinknoise gain -8", "-m m -b 96"},
             {"sine, 48 kHz mono", "-r 48000 -c 1", "synth 6 sine 3000 gain -3", "-m m -b 96"},
         }) {
        SCOPED_TRACE(row.name);
        const QByteArray bytes = generatedMp3Bytes(row.format, row.effects, row.lame);
        const QString name = QString::number(qHash(row.name)) + QStringLiteral(".mp3");
        const std::optional<EpisodeAudio> audio = analyse(dir, name, bytes);
        ASSERT_TRUE(audio && audio->unreadable.isEmpty());
        const Reference reference = ffmpegFigures(dir.filePath(name));
        const LoudnessFigures& ours = audio->loudness;
        EXPECT_NEAR(ours.integrated.value_or(-70.0), reference.integrated, 0.1);
        EXPECT_NEAR(ours.range, reference.range, 0.2);
        if (std::isinf(reference.truePeak))
            EXPECT_FALSE(ours.truePeak);
        else
            EXPECT_NEAR(ours.truePeak.value_or(-HUGE_VAL), reference.truePeak, 0.4);
    }
}

// EBU Tech 3341's first case, fed to the meter as decoded PCM: the tone's loudness is known by
// construction.
TEST(EpisodeCheck, TheReferenceToneReadsMinus23)
{
    LoudnessMeter meter(2, 48000);
    const double amplitude = std::pow(10.0, -23.0 / 20.0);
    std::vector<float> block(2 * 1152);
    for (int start = 0; start < 20 * 48000; start += 1152) {
        for (int i = 0; i < 1152; ++i) {
            const auto sample =
                float(amplitude * std::sin(2 * std::numbers::pi * 1000.0 * (start + i) / 48000.0));
            block[std::size_t(2 * i)] = block[std::size_t(2 * i + 1)] = sample;
        }
        meter.add(block.data(), 1152);
    }
    const LoudnessFigures figures = meter.figures();
    ASSERT_TRUE(figures.integrated && figures.truePeak);
    EXPECT_NEAR(*figures.integrated, -23.0, 0.1);
    EXPECT_NEAR(figures.range, 0.0, 0.1);
    EXPECT_NEAR(*figures.truePeak, -23.0, 0.1);
}

} // namespace
