// Times the episode check of a 60-minute stereo 128 kbit/s episode (speech-like bursts of pink
// noise, made by sox and lame) side by side with ffmpeg's ebur128 filter over the same file, both
// single-threaded and both measuring the true peak:
//   ffmpeg -threads 1 -i FILE -filter_complex ebur128=peak=true -f null -
// Each runs as a process of its own, so the wall time, CPU time and peak resident memory printed
// are that process's alone. The check also runs on a 6-minute cut of the same episode: its peak
// memory should not grow with the length. Run by hand:
//   metadata_check_bench [minutes]
#include "metadata/EpisodeAudio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Run
{
    double seconds = 0, cpuSeconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs `program` as a child process with standard output and error sent to /dev/null.
Run measure(const QStringList& command)
{
    QElapsedTimer clock;
    clock.start();
    const pid_t child = ::fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<QByteArray> words;
        for (const QString& word : command)
            words.push_back(word.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage = {};
    ::wait4(child, &status, 0, &usage);
    Run run;
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakKiB = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

bool makeEpisode(const QString& path, int minutes)
{
    const QString command =
        QStringLiteral("sox -n -r 44100 -c 2 -b 16 -t wav - synth %1 pinknoise tremolo 0.6 60 gain -10 | "
                       "lame --quiet -b 128 - '%2'")
            .arg(minutes * 60)
            .arg(path);
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command}) == 0;
}

void print(const char* name, const Run& run)
{
    std::printf("%-34s %8.2f s wall %8.2f s CPU %8.1f MiB peak%s\n", name, run.seconds, run.cpuSeconds,
                double(run.peakKiB) / 1024.0, run.ok ? "" : "  (failed)");
}

} // namespace

int main(int argc, char** argv)
{
    // The child that checks: prints the figures, as the window would show them.
    if (argc == 3 && std::string_view(argv[1]) == "--check") {
        const std::optional<airlark::EpisodeAudio> audio =
            airlark::analyseEpisodeAudio(QString::fromLocal8Bit(argv[2]));
        if (!audio || !audio->unreadable.isEmpty() || !audio->loudness.integrated)
            return 1;
        std::printf("%.2f LUFS, %.2f LU, %.2f dBTP\n", *audio->loudness.integrated, audio->loudness.range,
                    audio->loudness.truePeak.value_or(-HUGE_VAL));
        return 0;
    }
    QCoreApplication application(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QTemporaryDir folder;
    const QString longEpisode = folder.filePath(QStringLiteral("long.mp3"));
    const QString shortEpisode = folder.filePath(QStringLiteral("short.mp3"));
    std::printf("Making a %d-minute and a %d-minute stereo 128 kbit/s episode with sox and lame...\n",
                minutes, std::max(1, minutes / 10));
    std::fflush(stdout);
    if (!makeEpisode(longEpisode, minutes) || !makeEpisode(shortEpisode, std::max(1, minutes / 10))) {
        std::fprintf(stderr, "sox or lame failed\n");
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const Run ffmpeg = measure({"ffmpeg", "-nostdin", "-threads", "1", "-i", longEpisode, "-filter_complex",
                                "ebur128=peak=true", "-f", "null", "-"});
    const Run check = measure({self, "--check", longEpisode});
    const Run shortCheck = measure({self, "--check", shortEpisode});
    QProcess figures;
    figures.start(self, {"--check", longEpisode});
    figures.waitForFinished(-1);
    std::printf("%d minutes: %s", minutes, figures.readAllStandardOutput().constData());
    print("ffmpeg ebur128=peak=true", ffmpeg);
    print("Airlark check", check);
    print("Airlark check, a tenth as long", shortCheck);
    std::printf("Airlark takes %.0f %% of ffmpeg's time\n", 100.0 * check.seconds / ffmpeg.seconds);
    return ffmpeg.ok && check.ok ? 0 : 1;
}
