#include "metadata/CreateID3TemplateViewModel.h"

#include "store/Artwork.h"
#include "store/Database.h"
#include "store/ID3Template.h"

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

CreateID3TemplateViewModel::CreateID3TemplateViewModel()
{
    podcastFields_.genre = TemplatePodcastFields::DefaultGenre;
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
           podcastFields_.problems().isEmpty();
}

std::optional<ID3TemplateFieldValidationError> CreateID3TemplateViewModel::save()
{
    if (podcast_.isEmpty())
        return ID3TemplateFieldValidationError::Name;
    if (!podcastFields_.problems().isEmpty())
        return ID3TemplateFieldValidationError::Fields;
    if (saving_)
        return std::nullopt;
    if (!Database::open())
        return ID3TemplateFieldValidationError::Database;
    // The copy is what the template keeps: the user may move or delete their own file later.
    const QByteArray bytes = artworkCheck_ ? artworkCheck_->fileBytes : QByteArray();
    const QString extension = artworkCheck_ ? artworkCheck_->extension : QString();
    saving_ = std::make_unique<BackgroundJob<std::optional<QUrl>>>(
        [bytes, extension](std::stop_token) -> std::optional<QUrl> {
            const std::optional<Artwork> folder = Artwork::open();
            return folder && !bytes.isEmpty() ? folder->keep(bytes, extension) : std::nullopt;
        },
        [this](std::optional<QUrl> kept) { finishSaving(kept); });
    notify();
    return std::nullopt;
}

void CreateID3TemplateViewModel::finishSaving(const std::optional<QUrl>& keptArtwork)
{
    saving_.reset();
    std::optional<ID3TemplateFieldValidationError> error;
    const std::optional<Database> database = Database::open();
    if (artworkCheck_ && !keptArtwork) {
        error = ID3TemplateFieldValidationError::Artwork;
    } else if (!database) {
        error = ID3TemplateFieldValidationError::Database;
    } else {
        ID3TemplateQueryBuilder builder(*database, podcast_);
        builder.artist = artist_;
        builder.album = podcast_;
        builder.albumArtist = artist_;
        if (keptArtwork)
            builder.artworkURL = keptArtwork->toString(QUrl::FullyEncoded);
        builder.podcastFields = podcastFields_.templateFields();
        if (!builder.insert())
            error = ID3TemplateFieldValidationError::Save;
    }
    notify();
    if (delegate)
        delegate->createID3TemplateViewModelDidFinishSaving(*this, error);
}

} // namespace airlark
