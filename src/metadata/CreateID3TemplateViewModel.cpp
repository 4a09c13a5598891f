#include "metadata/CreateID3TemplateViewModel.h"

#include "store/Artwork.h"
#include "store/Database.h"
#include "store/ID3Template.h"

#include <QCoreApplication>

namespace airlark {

QString printable(ID3TemplateFieldValidationError error)
{
    switch (error) {
    case ID3TemplateFieldValidationError::Name:
        return QStringLiteral("ID3TemplateFieldValidationError.Name");
    case ID3TemplateFieldValidationError::Database:
        return QStringLiteral("ID3TemplateFieldValidationError.Database");
    case ID3TemplateFieldValidationError::Fields:
        return QStringLiteral("ID3TemplateFieldValidationError.Fields");
    case ID3TemplateFieldValidationError::Artwork:
        return QStringLiteral("ID3TemplateFieldValidationError.Artwork");
    case ID3TemplateFieldValidationError::Save:
        break;
    }
    return QStringLiteral("ID3TemplateFieldValidationError.Save");
}

CreateID3TemplateViewModel::CreateID3TemplateViewModel(std::optional<qint64> editedTemplateID)
    : editedTemplateID_(editedTemplateID)
{
    podcastFields_.genre = TemplatePodcastFields::DefaultGenre;
    if (!editedTemplateID_)
        return;
    loading_ = std::make_unique<BackgroundJob<std::optional<Stored>>>(
        [id = *editedTemplateID_](std::stop_token) -> std::optional<Stored> {
            const std::optional<Database> database = Database::open();
            const std::optional<ID3Template> record =
                database ? ID3Template::find(*database, id) : std::nullopt;
            if (!record)
                return std::nullopt;
            return Stored{record->tags.album.value_or(record->name), record->tags.artist.value_or(QString()),
                          PodcastFieldTexts::from(record->tags.podcast), record->artworkURL};
        },
        [this](std::optional<Stored> stored) { finishLoading(stored); });
}

void CreateID3TemplateViewModel::finishLoading(const std::optional<Stored>& stored)
{
    loading_.reset();
    if (!stored) {
        loadProblem_ = QCoreApplication::translate(
            "CreateID3TemplateViewModel", "The template cannot be read: it was deleted, or Airlark’s "
                                          "data folder cannot be opened.");
    } else {
        podcast_ = stored->podcast;
        artist_ = stored->artist;
        podcastFields_ = stored->podcastFields;
        // Checked like a newly chosen file, so the form shows its preview and any broken rule.
        if (stored->artworkURL)
            chooseArtwork(*stored->artworkURL);
    }
    if (delegate)
        delegate->createID3TemplateViewModelDidLoadTemplate(*this);
    notify();
}

// A check or a save still running is stopped and waited for by its job.
CreateID3TemplateViewModel::~CreateID3TemplateViewModel() = default;

void CreateID3TemplateViewModel::setPodcast(const QString& podcast)
{
    podcast_ = podcast;
    notify();
}

void CreateID3TemplateViewModel::setArtist(const QString& artist)
{
    artist_ = artist;
    notify();
}

void CreateID3TemplateViewModel::setPodcastFields(const PodcastFieldTexts& fields)
{
    podcastFields_ = fields;
    notify();
}

void CreateID3TemplateViewModel::notify()
{
    if (delegate)
        delegate->createID3TemplateViewModelFieldValuesDidChange(*this);
}

void CreateID3TemplateViewModel::chooseArtwork(const QUrl& url)
{
    const QString path = url.toLocalFile();
    checking_ = std::make_unique<BackgroundJob<ArtworkCheck>>(
        [path](std::stop_token stop) { return checkArtwork(path, PreviewSide, std::move(stop)); },
        [this, url](ArtworkCheck check) { finishChecking(url, std::move(check)); });
    notify();
}

void CreateID3TemplateViewModel::finishChecking(const QUrl& url, ArtworkCheck check)
{
    checking_.reset();
    if (check.isAccepted()) {
        artworkRefusal_.clear();
        artworkURL_ = url;
        artworkCheck_ = std::move(check);
    } else {
        artworkRefusal_ = check.message;
    }
    notify();
}

QString CreateID3TemplateViewModel::artworkNotice() const
{
    if (!artworkRefusal_.isEmpty())
        return artworkRefusal_;
    return artworkCheck_ ? artworkCheck_->message : QString();
}

QString CreateID3TemplateViewModel::artworkURLDisplay() const
{
    return artworkURL_ ? artworkURL_->fileName() : QStringLiteral("");
}

bool CreateID3TemplateViewModel::canSave() const
{
    return !podcast_.isEmpty() && !artist_.isEmpty() && artworkURL_.has_value() && !checking_ && !saving_ &&
           !loading_ && loadProblem_.isEmpty() && podcastFields_.problems().isEmpty();
}

std::optional<ID3TemplateFieldValidationError> CreateID3TemplateViewModel::save()
{
    if (podcast_.isEmpty())
        return ID3TemplateFieldValidationError::Name;
    if (!podcastFields_.problems().isEmpty())
        return ID3TemplateFieldValidationError::Fields;
    if (saving_ || loading_)
        return std::nullopt;
    // The copy is what the template keeps: the user may move or delete their own file later.
    const QByteArray bytes = artworkCheck_ ? artworkCheck_->fileBytes : QByteArray();
    const QString extension = artworkCheck_ ? artworkCheck_->extension : QString();
    saving_ = std::make_unique<BackgroundJob<std::optional<ID3TemplateFieldValidationError>>>(
        [bytes, extension, podcast = podcast_, artist = artist_, fields = podcastFields_.templateFields(),
         edited = editedTemplateID_](std::stop_token) -> std::optional<ID3TemplateFieldValidationError> {
            const std::optional<Database> database = Database::open();
            if (!database)
                return ID3TemplateFieldValidationError::Database;
            std::optional<QUrl> kept;
            if (!bytes.isEmpty()) {
                const std::optional<Artwork> folder = Artwork::open();
                kept = folder ? folder->keep(bytes, extension) : std::nullopt;
                if (!kept)
                    return ID3TemplateFieldValidationError::Artwork;
            }
            std::optional<ID3Template> stored = edited ? ID3Template::find(*database, *edited) : std::nullopt;
            if (edited && !stored)
                return ID3TemplateFieldValidationError::Save;
            ID3TemplateQueryBuilder builder =
                stored ? ID3TemplateQueryBuilder(*stored) : ID3TemplateQueryBuilder(*database, podcast);
            // A template is named after its podcast unless the user gave it a name of its own.
            if (stored && stored->name == stored->tags.album.value_or(stored->name))
                builder.name = podcast;
            builder.tags.artist = artist;
            builder.tags.album = podcast;
            builder.tags.albumArtist = artist;
            builder.artworkURL =
                kept ? std::optional(kept->toString(QUrl::FullyEncoded)) : std::optional<QString>();
            builder.tags.podcast = fields;
            const bool saved = edited ? !builder.update(*edited) : builder.insert().has_value();
            return saved ? std::nullopt : std::optional(ID3TemplateFieldValidationError::Save);
        },
        [this](std::optional<ID3TemplateFieldValidationError> error) { finishSaving(error); });
    notify();
    return std::nullopt;
}

void CreateID3TemplateViewModel::finishSaving(std::optional<ID3TemplateFieldValidationError> error)
{
    saving_.reset();
    notify();
    if (delegate)
        delegate->createID3TemplateViewModelDidFinishSaving(*this, error);
}

} // namespace airlark
