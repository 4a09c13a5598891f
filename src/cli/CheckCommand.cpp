#include "cli/CheckCommand.h"

#include "cli/CommandLine.h"
#include "cli/InterruptSignal.h"
#include "cli/Listing.h"
#include "metadata/EditMetadataViewModel.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>

namespace airlark::cli {
namespace {

const QString TemplateOption = QStringLiteral("template");
const QString JsonOption = QStringLiteral("json");

} // namespace

EpisodeCheckRun::EpisodeCheckRun(const QString& path, std::optional<EpisodeTagsToWrite> toWrite, Done done)
{
    job_ = std::make_unique<BackgroundJob<Outcome>>(
        [path, toWrite](std::stop_token stop) {
            Outcome outcome{analyseEpisodeAudio(path, {}, stop), readEpisodeCheckTags(path)};
            if (toWrite) {
                outcome.tags.values.title = toWrite->title;
                outcome.tags.tagWillBeWritten = true;
                if (toWrite->artworkPath)
                    outcome.tags.artwork = checkArtwork(*toWrite->artworkPath, 1, stop);
            }
            return outcome;
        },
        [done = std::move(done)](const Outcome& outcome) {
            if (!outcome.audio)
                done(std::nullopt);
            else
                done(episodeCheckReport(*outcome.audio, outcome.tags));
        });
}

void EpisodeCheckRun::cancel()
{
    job_->cancel();
}

void addCheckOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {TemplateOption,
         QStringLiteral("Check the episode as tagging with this template would leave it (its artwork)."),
         QStringLiteral("NAME")},
        {JsonOption, QStringLiteral("Print the report as a JSON object, for scripts.")},
    });
}

int runCheck(const QCommandLineParser& parser)
{
    const QStringList episodes = parser.positionalArguments();
    if (episodes.size() != 1) {
        printMessage(QStringLiteral("airlark: check takes one episode file; see airlark check --help"));
        return code(ExitStatus::Usage);
    }
    const QFileInfo episode(episodes.front());
    if (!episode.isFile()) {
        printMessage(QStringLiteral("airlark: no such file: %1").arg(episodes.front()));
        return code(ExitStatus::Usage);
    }
    std::optional<EpisodeTagsToWrite> toWrite;
    if (parser.isSet(TemplateOption)) {
        const std::optional<Database> database = Database::open();
        if (!database) {
            printMessage(QStringLiteral("airlark: the store in the data directory cannot be opened"));
            return code(ExitStatus::Failure);
        }
        const auto chosen =
            pickByName(templateRows(*database), parser.value(TemplateOption), QStringLiteral("template"));
        if (!chosen)
            return code(ExitStatus::Usage);
        // As step 2's form shows it with this template: the episode's title, else the template's.
        const EditMetadataViewModel form(chosen->id, QUrl::fromLocalFile(episode.absoluteFilePath()));
        const std::optional<QUrl> artwork = form.artworkURL();
        toWrite =
            EpisodeTagsToWrite{form.title(), artwork ? std::optional(artwork->toLocalFile()) : std::nullopt};
    }

    InterruptSignal interrupt;
    const bool json = parser.isSet(JsonOption);
    EpisodeCheckRun run(episode.absoluteFilePath(), toWrite, [&](std::optional<EpisodeCheckReport> report) {
        if (!report) {
            QCoreApplication::exit(code(ExitStatus::Interrupted));
            return;
        }
        QJsonObject object = report->toJson();
        object.insert(QStringLiteral("file"), episodes.front());
        printResult(json ? QString::fromUtf8(QJsonDocument(object).toJson()).trimmed()
                         : episodes.front() + QLatin1Char('\n') + report->toText());
        QCoreApplication::exit(code(report->hasFailure() ? ExitStatus::CheckFailure : ExitStatus::Ok));
    });
    QObject::connect(&interrupt, &InterruptSignal::interrupted, [&run] { run.cancel(); });
    return QCoreApplication::exec();
}

} // namespace airlark::cli
