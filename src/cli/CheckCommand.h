#pragma once

#include "metadata/BackgroundJob.h"
#include "metadata/EpisodeCheck.h"

#include <QCommandLineParser>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace airlark::cli {

// What a save is about to write over the episode's own tags.
struct EpisodeTagsToWrite
{
    QString title;
    std::optional<QString> artworkPath; // none keeps the episode's own cover
};

// The preflight check of one episode file on a worker: its audio decoded and measured, with its
// tags as they are in the file or as a save will leave them. `done` hears the report on the main
// thread, none when cancelled.
class EpisodeCheckRun
{
public:
    using Done = std::function<void(std::optional<EpisodeCheckReport>)>;

    EpisodeCheckRun(const QString& path, std::optional<EpisodeTagsToWrite> toWrite, Done done);
    void cancel();

private:
    struct Outcome
    {
        std::optional<EpisodeAudio> audio;
        EpisodeCheckTags tags;
    };
    std::unique_ptr<BackgroundJob<Outcome>> job_;
};

void addCheckOptions(QCommandLineParser& parser);

// "airlark check": prints the report (or JSON) on standard output; 0 when nothing fails, the
// check-failure status when something does.
int runCheck(const QCommandLineParser& parser);

} // namespace airlark::cli
