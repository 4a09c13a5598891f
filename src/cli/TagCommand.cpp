#include "cli/TagCommand.h"

#include "cli/InterruptSignal.h"
#include "cli/Listing.h"
#include "platform/MainQueue.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace airlark::cli {
namespace {

const QString TemplateOption = QStringLiteral("template");
const QString TitleOption = QStringLiteral("title");
const QString DescriptionOption = QStringLiteral("description");
const QString DescriptionFileOption = QStringLiteral("description-file");
const QString PodcastOption = QStringLiteral("podcast");
const QString ArtistOption = QStringLiteral("artist");
const QString ArtworkOption = QStringLiteral("artwork");

std::optional<QString> optionValue(const QCommandLineParser& parser, const QString& name)
{
    return parser.isSet(name) ? std::optional<QString>(parser.value(name)) : std::nullopt;
}

} // namespace

void addTagOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {TemplateOption, QStringLiteral("The saved template to tag with (its name)."),
         QStringLiteral("NAME")},
        {TitleOption, QStringLiteral("The episode's title."), QStringLiteral("TEXT")},
        {DescriptionOption, QStringLiteral("The episode's description."), QStringLiteral("TEXT")},
        {DescriptionFileOption, QStringLiteral("Read the description from a UTF-8 text file."),
         QStringLiteral("FILE")},
        {PodcastOption, QStringLiteral("The podcast's name (the album tag)."), QStringLiteral("TEXT")},
        {ArtistOption, QStringLiteral("The artist (also the album artist)."), QStringLiteral("TEXT")},
        {ArtworkOption, QStringLiteral("Cover art to embed instead of the template's (JPEG or PNG)."),
         QStringLiteral("FILE")},
    });
}

bool hasTagOptions(const QCommandLineParser& parser)
{
    for (const QString& name : {TemplateOption, TitleOption, DescriptionOption, DescriptionFileOption,
                                PodcastOption, ArtistOption, ArtworkOption}) {
        if (parser.isSet(name))
            return true;
    }
    return false;
}

std::optional<TagRequest> tagRequest(const QCommandLineParser& parser)
{
    if (!parser.isSet(TemplateOption) || parser.value(TitleOption).trimmed().isEmpty()) {
        printMessage(QStringLiteral("airlark: tagging needs --template NAME and a non-empty --title TEXT"));
        return std::nullopt;
    }
    if (parser.isSet(DescriptionOption) && parser.isSet(DescriptionFileOption)) {
        printMessage(QStringLiteral("airlark: give --description or --description-file, not both"));
        return std::nullopt;
    }
    const std::optional<Database> database = Database::open();
    if (!database) {
        printMessage(QStringLiteral("airlark: the store in the data directory cannot be opened"));
        return std::nullopt;
    }
    const auto chosen =
        pickByName(templateRows(*database), parser.value(TemplateOption), QStringLiteral("template"));
    if (!chosen)
        return std::nullopt;

    TagRequest request{chosen->id,
                       parser.value(TitleOption),
                       optionValue(parser, DescriptionOption),
                       optionValue(parser, PodcastOption),
                       optionValue(parser, ArtistOption),
                       optionValue(parser, ArtworkOption)};
    if (parser.isSet(DescriptionFileOption)) {
        QFile file(parser.value(DescriptionFileOption));
        if (!file.open(QIODevice::ReadOnly)) {
            printMessage(
                QStringLiteral("airlark: cannot read %1: %2").arg(file.fileName(), file.errorString()));
            return std::nullopt;
        }
        request.description = QString::fromUtf8(file.readAll());
    }
    if (request.artworkFile && !EmbeddedArtwork::fromFile(*request.artworkFile)) {
        printMessage(
            QStringLiteral("airlark: %1 is not an image that can be embedded").arg(*request.artworkFile));
        return std::nullopt;
    }
    return request;
}

TagStep::TagStep(const TagRequest& request, const QUrl& episode, Done done)
    : request_(request), viewModel_(request.templateID, episode), done_(std::move(done))
{
    viewModel_.delegate = this;
}

TagStep::~TagStep()
{
    viewModel_.abandonSaving();
}

QString TagStep::description() const
{
    return request_.description.value_or(viewModel_.episodeDescription());
}

std::optional<QUrl> TagStep::artworkURL() const
{
    if (request_.artworkFile)
        return QUrl::fromLocalFile(QFileInfo(*request_.artworkFile).absoluteFilePath());
    return viewModel_.artworkURL();
}

void TagStep::start()
{
    // The artwork the form would show: the template's image file as it is, an image without a
    // file re-encoded, as the window embeds it.
    std::optional<EmbeddedArtwork> artwork;
    if (request_.artworkFile) {
        artwork = EmbeddedArtwork::fromFile(*request_.artworkFile);
    } else if (const std::optional<QImage> image = viewModel_.artwork()) {
        artwork = EmbeddedArtwork::fromFileUrl(*viewModel_.artworkURL());
        if (!artwork)
            artwork = EmbeddedArtwork::fromImage(*image);
    }
    if (!viewModel_.save(request_.title, artwork, request_.podcast.value_or(viewModel_.podcast()),
                         request_.artist.value_or(viewModel_.artist()), description())) {
        printMessage(QStringLiteral("airlark: ") + viewModel_.errorText());
        MainQueue::async([done = done_] { done(ExitStatus::TagFailure); });
    }
}

void TagStep::cancel()
{
    cancelled_ = true;
    viewModel_.cancelSaving();
}

void TagStep::editMetadataViewModelDidFinishSaving(EditMetadataViewModel& viewModel, bool saved)
{
    if (saved) {
        done_(ExitStatus::Ok);
        return;
    }
    if (cancelled_) {
        done_(ExitStatus::Interrupted);
        return;
    }
    printMessage(QStringLiteral("airlark: ") + viewModel.errorText());
    done_(ExitStatus::TagFailure);
}

int runTag(const QCommandLineParser& parser)
{
    const QStringList episodes = parser.positionalArguments();
    if (episodes.size() != 1) {
        printMessage(QStringLiteral("airlark: tag takes one episode file; see airlark tag --help"));
        return code(ExitStatus::Usage);
    }
    if (!QFileInfo(episodes.front()).isFile()) {
        printMessage(QStringLiteral("airlark: no such file: %1").arg(episodes.front()));
        return code(ExitStatus::Usage);
    }
    if (!Database::open()) {
        printMessage(QStringLiteral("airlark: the store in the data directory cannot be opened"));
        return code(ExitStatus::Failure);
    }
    const std::optional<TagRequest> request = tagRequest(parser);
    if (!request)
        return code(ExitStatus::Usage);

    InterruptSignal interrupt;
    TagStep step(*request, QUrl::fromLocalFile(QFileInfo(episodes.front()).absoluteFilePath()),
                 [](ExitStatus status) { QCoreApplication::exit(code(status)); });
    QObject::connect(&interrupt, &InterruptSignal::interrupted, [&step] { step.cancel(); });
    step.start();
    const int status = QCoreApplication::exec();
    if (status == code(ExitStatus::Ok))
        printMessage(QStringLiteral("Tagged %1").arg(episodes.front()));
    return status;
}

} // namespace airlark::cli
