#include "cli/TagCommand.h"

#include "cli/InterruptSignal.h"
#include "cli/Listing.h"
#include "metadata/PodcastFieldTexts.h"
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
const QString GenreOption = QStringLiteral("genre");
const QString EpisodeOption = QStringLiteral("episode");
const QString SeasonOption = QStringLiteral("season");
const QString LongDescriptionOption = QStringLiteral("long-description");
const QString FeedOption = QStringLiteral("feed");
const QString ExplicitOption = QStringLiteral("explicit");
const QString CleanOption = QStringLiteral("clean");
const QString ChaptersOption = QStringLiteral("chapters");

// The podcast fields' options, each with the form field it fills.
struct PodcastFieldOption
{
    const QString& name;
    QString PodcastFieldTexts::*field;
};
const PodcastFieldOption PodcastFieldOptions[] = {
    {GenreOption, &PodcastFieldTexts::genre},
    {EpisodeOption, &PodcastFieldTexts::episodeNumber},
    {SeasonOption, &PodcastFieldTexts::seasonNumber},
    {LongDescriptionOption, &PodcastFieldTexts::longDescription},
    {FeedOption, &PodcastFieldTexts::feedURL},
};

// Artwork files larger than this are not cover art.
constexpr qint64 MaximumArtworkFileSize = 64 * 1024 * 1024;

std::optional<EmbeddedArtwork> artworkFromFile(const QString& path)
{
    QFile file(path);
    if (file.size() > MaximumArtworkFileSize || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return EmbeddedArtwork::fromBytes(file.readAll());
}

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
        {GenreOption, QStringLiteral("The genre (empty removes it)."), QStringLiteral("TEXT")},
        {EpisodeOption, QStringLiteral("The episode number."), QStringLiteral("NUMBER")},
        {SeasonOption, QStringLiteral("The season number."), QStringLiteral("NUMBER")},
        {LongDescriptionOption, QStringLiteral("The long description (show notes)."), QStringLiteral("TEXT")},
        {FeedOption, QStringLiteral("The podcast's feed URL."), QStringLiteral("URL")},
        {ExplicitOption, QStringLiteral("Mark the episode explicit.")},
        {CleanOption, QStringLiteral("Remove the explicit mark.")},
        {ChaptersOption,
         QStringLiteral("Chapters from a text file (\"hh:mm:ss Title\" lines, or a label export)."),
         QStringLiteral("FILE")},
    });
}

bool hasTagOptions(const QCommandLineParser& parser)
{
    for (const QString& name :
         {TemplateOption, TitleOption, DescriptionOption, DescriptionFileOption, PodcastOption, ArtistOption,
          ArtworkOption, GenreOption, EpisodeOption, SeasonOption, LongDescriptionOption, FeedOption,
          ExplicitOption, CleanOption, ChaptersOption}) {
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
    if (parser.isSet(ExplicitOption) && parser.isSet(CleanOption)) {
        printMessage(QStringLiteral("airlark: give --explicit or --clean, not both"));
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

    TagRequest request;
    request.templateID = chosen->id;
    request.tags.title = parser.value(TitleOption);
    request.tags.artist = optionValue(parser, ArtistOption);
    request.tags.album = optionValue(parser, PodcastOption);
    request.tags.comment = optionValue(parser, DescriptionOption);
    request.artworkFile = optionValue(parser, ArtworkOption);
    for (const PodcastFieldOption& option : PodcastFieldOptions)
        if (std::optional<QString> text = optionValue(parser, option.name))
            request.podcastFields.emplace_back(option.field, std::move(*text));
    request.explicitContent = parser.isSet(ExplicitOption) ? std::optional<bool>(true)
                              : parser.isSet(CleanOption)  ? std::optional<bool>(false)
                                                           : std::nullopt;
    request.chapterFile = optionValue(parser, ChaptersOption);
    if (parser.isSet(DescriptionFileOption)) {
        QFile file(parser.value(DescriptionFileOption));
        if (!file.open(QIODevice::ReadOnly)) {
            printMessage(
                QStringLiteral("airlark: cannot read %1: %2").arg(file.fileName(), file.errorString()));
            return std::nullopt;
        }
        request.tags.comment = QString::fromUtf8(file.readAll());
    }
    if (request.artworkFile && !artworkFromFile(*request.artworkFile)) {
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
    return request_.tags.comment.value_or(viewModel_.episodeDescription());
}

std::optional<QUrl> TagStep::artworkURL() const
{
    if (request_.artworkFile)
        return QUrl::fromLocalFile(QFileInfo(*request_.artworkFile).absoluteFilePath());
    return viewModel_.artworkURL();
}

void TagStep::start()
{
    started_ = true;
    if (!request_.artworkFile)
        viewModel_.loadArtwork();
    if (request_.chapterFile)
        viewModel_.loadChapterFile(QUrl::fromLocalFile(QFileInfo(*request_.chapterFile).absoluteFilePath()));
    saveWhenReady();
}

void TagStep::saveWhenReady()
{
    if (!started_ || viewModel_.isLoadingArtwork() || viewModel_.isLoadingChapters() || viewModel_.isSaving())
        return;
    started_ = false;
    if (cancelled_) {
        MainQueue::async([done = done_] { done(ExitStatus::Interrupted); });
        return;
    }
    if (!viewModel_.chapterProblems().isEmpty()) {
        fail(viewModel_.chapterProblems().join(QLatin1Char('\n')));
        return;
    }
    // The window asks before saving without the template's artwork; a script cannot answer, so it
    // is told and the episode's own picture stays.
    if (!request_.artworkFile && viewModel_.artworkIsMissing())
        printMessage(QStringLiteral("airlark: ") + viewModel_.artworkNotice());
    const std::optional<EmbeddedArtwork> artwork =
        request_.artworkFile ? artworkFromFile(*request_.artworkFile) : viewModel_.artworkToWrite();

    PodcastFieldTexts fields = viewModel_.podcastFields();
    for (const auto& [field, text] : request_.podcastFields)
        fields.*field = text;
    if (request_.explicitContent)
        fields.explicitContent = *request_.explicitContent;

    ID3TagValues form;
    form.title = request_.tags.title;
    form.album = request_.tags.album.value_or(viewModel_.podcast());
    form.artist = request_.tags.artist.value_or(viewModel_.artist());
    form.comment = description();
    form.artwork = artwork;
    if (!viewModel_.save(form, fields))
        fail(viewModel_.errorText());
}

void TagStep::fail(const QString& message)
{
    printMessage(QStringLiteral("airlark: ") + message);
    MainQueue::async([done = done_] { done(ExitStatus::TagFailure); });
}

void TagStep::editMetadataViewModelDidLoadArtwork(EditMetadataViewModel&)
{
    saveWhenReady();
}

void TagStep::editMetadataViewModelDidLoadChapters(EditMetadataViewModel&)
{
    saveWhenReady();
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
