#include "cli/PublishCommand.h"

#include "cli/CheckCommand.h"
#include "cli/CommandLine.h"
#include "cli/InterruptSignal.h"
#include "cli/Listing.h"
#include "cli/TagCommand.h"
#include "cli/UploadProgressLine.h"
#include "publish/UploadPodcastViewModel.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <memory>

namespace airlark::cli {
namespace {

const QString AccountOption = QStringLiteral("account");
const QString NoCheckOption = QStringLiteral("no-check");
const QString ReplaceOption = QStringLiteral("replace");

// One publish, from the tag save to the upload's end; quits the event loop with the exit status.
class Publish final : public UploadPodcastViewModelDelegate
{
public:
    Publish(NamedRow account, PodcastHost host, QUrl episode, bool check, bool replace)
        : account_(std::move(account)), host_(host), episode_(std::move(episode)), check_(check),
          replace_(replace)
    {
    }

    ~Publish() override
    {
        if (upload_)
            upload_->setDelegate(nullptr);
    }

    void start(const std::optional<TagRequest>& tags)
    {
        if (!tags) {
            // Untagged here: the upload describes the episode by the tags it already carries.
            const EditMetadataViewModel file(std::nullopt, episode_);
            checkThenUpload(file.title(), file.episodeDescription(), std::nullopt);
            return;
        }
        tagStep_ = std::make_unique<TagStep>(*tags, episode_, [this](ExitStatus status) {
            if (status != ExitStatus::Ok || interrupted_) {
                finish(interrupted_ ? ExitStatus::Interrupted : status);
                return;
            }
            printMessage(QStringLiteral("Tagged %1").arg(episode_.fileName()));
            checkThenUpload(tagStep_->title(), tagStep_->description(), tagStep_->artworkURL());
        });
        tagStep_->start();
    }

    void interrupt()
    {
        if (interrupted_ || finished_)
            return;
        interrupted_ = true;
        printMessage(
            QStringLiteral("\nCancelling\u2026 (Ctrl+C again stops at once, and may leave a partial file "
                           "on the host)"));
        if (upload_)
            upload_->cancelUpload([] {});
        else if (checkRun_)
            checkRun_->cancel();
        else if (tagStep_)
            tagStep_->cancel();
    }

    void uploadPodcastViewModelUploadStatusDidChange(UploadPodcastViewModel& upload) override
    {
        if (finished_)
            return;
        progress_.update(upload.bytesSent(), upload.bytesExpected());
        switch (upload.uploadState()) {
        case UploadPodcastState::Unstarted:
        case UploadPodcastState::InProgress:
            return;
        case UploadPodcastState::Successful:
            progress_.finish();
            if (upload.failureReasonFromServer())
                printMessage(QStringLiteral("airlark: ") + upload.statusText());
            else
                printResult(upload.publishedLocation().value_or(QString()));
            finish(ExitStatus::Ok);
            return;
        case UploadPodcastState::Cancelled:
            progress_.finish();
            // The status names what could not be undone, if anything.
            printMessage(upload.failureReasonFromServer() ? QStringLiteral("airlark: ") + upload.statusText()
                         : upload.nothingSent()
                             ? QStringLiteral("Cancelled: nothing was sent to %1").arg(account_.name)
                             : QStringLiteral("Cancelled: nothing of %1 is left on %2")
                                   .arg(episode_.fileName(), account_.name));
            finish(ExitStatus::Interrupted);
            return;
        case UploadPodcastState::Failed:
            break;
        }
        progress_.finish();
        if (upload.replaceQuestion()) {
            // Not a failed upload: nothing was sent, and only the user may decide to replace.
            printMessage(QStringLiteral("airlark: %1; it was left as it is (publish --replace replaces it)")
                             .arg(upload.failureReasonFromServer().value_or(QString())));
            finish(ExitStatus::Usage);
            return;
        }
        printMessage(QStringLiteral("airlark: ") + upload.statusText());
        if (upload.signInExpired())
            printMessage(
                QStringLiteral("airlark: SoundCloud refused the stored sign-in of \"%1\": sign in again in "
                               "Airlark's window (File \u2192 Add Account\u2026)")
                    .arg(account_.name));
        finish(upload.signInFailed() ? ExitStatus::SignInFailure : ExitStatus::UploadFailure);
    }

private:
    // The episode as it now is (tagged, if it was) is checked first; a failure stops the publish.
    void checkThenUpload(const QString& title, const QString& description,
                         const std::optional<QUrl>& artworkURL)
    {
        if (!check_) {
            beginUpload(title, description, artworkURL);
            return;
        }
        printMessage(QStringLiteral("Checking %1").arg(episode_.fileName()));
        checkRun_ = std::make_unique<EpisodeCheckRun>(
            episode_.toLocalFile(), std::nullopt,
            [this, title, description, artworkURL](std::optional<EpisodeCheckReport> report) {
                if (!report || interrupted_) {
                    finish(ExitStatus::Interrupted);
                    return;
                }
                if (report->hasFailure()) {
                    printMessage(report->toText());
                    printMessage(QStringLiteral("airlark: the check found a failure, so nothing was uploaded "
                                                "(--no-check uploads anyway)"));
                    finish(ExitStatus::CheckFailure);
                    return;
                }
                beginUpload(title, description, artworkURL);
            });
    }

    void beginUpload(const QString& title, const QString& description, const std::optional<QUrl>& artworkURL)
    {
        printMessage(QStringLiteral("Uploading %1 to %2 (%3)")
                         .arg(episode_.fileName(), account_.name, account_.detail));
        upload_ =
            UploadPodcastViewModel::create(episode_, account_.id, host_, title, artworkURL, {}, description);
        upload_->setDelegate(this);
        upload_->setReplaceExisting(replace_);
        upload_->beginUpload();
    }

    void finish(ExitStatus status)
    {
        finished_ = true;
        QCoreApplication::exit(code(status));
    }

    NamedRow account_;
    PodcastHost host_;
    QUrl episode_;
    bool check_ = true;
    bool replace_ = false;
    std::unique_ptr<TagStep> tagStep_;
    std::unique_ptr<EpisodeCheckRun> checkRun_;
    std::shared_ptr<UploadPodcastViewModel> upload_;
    UploadProgressLine progress_{stderr};
    bool interrupted_ = false;
    bool finished_ = false;
};

} // namespace

void addPublishOptions(QCommandLineParser& parser)
{
    parser.addOption({AccountOption, QStringLiteral("The saved account to publish to (its name)."),
                      QStringLiteral("NAME")});
    parser.addOption(
        {NoCheckOption, QStringLiteral("Upload even when the episode's check finds a failure.")});
    parser.addOption(
        {ReplaceOption, QStringLiteral("Replace a file of the same name already on Libsyn (without "
                                       "it, publish leaves that file and exits with status 2).")});
    addTagOptions(parser);
}

int runPublish(const QCommandLineParser& parser)
{
    const QStringList episodes = parser.positionalArguments();
    if (episodes.size() != 1 || !parser.isSet(AccountOption)) {
        printMessage(QStringLiteral("airlark: publish takes --account NAME and one episode file; see "
                                    "airlark publish --help"));
        return code(ExitStatus::Usage);
    }
    const QFileInfo episode(episodes.front());
    if (!episode.isFile()) {
        printMessage(QStringLiteral("airlark: no such file: %1").arg(episodes.front()));
        return code(ExitStatus::Usage);
    }
    const std::optional<Database> database = Database::open();
    if (!database) {
        printMessage(QStringLiteral("airlark: the store in the data directory cannot be opened"));
        return code(ExitStatus::Failure);
    }
    std::optional<TagRequest> tags;
    if (hasTagOptions(parser) && !(tags = tagRequest(parser)))
        return code(ExitStatus::Usage);
    const auto account =
        pickByName(accountRows(*database), parser.value(AccountOption), QStringLiteral("account"));
    if (!account)
        return code(ExitStatus::Usage);
    const std::optional<PodcastHost> host = podcastHostFromStoredText(account->detail);
    if (!host) {
        printMessage(QStringLiteral("airlark: the account \"%1\" has an unknown host").arg(account->name));
        return code(ExitStatus::Failure);
    }

    InterruptSignal interrupt;
    Publish publish(*account, *host, QUrl::fromLocalFile(episode.absoluteFilePath()),
                    !parser.isSet(NoCheckOption), parser.isSet(ReplaceOption));
    QObject::connect(&interrupt, &InterruptSignal::interrupted, [&publish] { publish.interrupt(); });
    publish.start(tags);
    return QCoreApplication::exec();
}

} // namespace airlark::cli
