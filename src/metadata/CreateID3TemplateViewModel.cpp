#include "metadata/CreateID3TemplateViewModel.h"

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
    case ID3TemplateFieldValidationError::Save:
        break;
    }
    return QStringLiteral("ID3TemplateFieldValidationError.Save");
}

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

void CreateID3TemplateViewModel::setArtworkURL(std::optional<QUrl> url)
{
    artworkURL_ = std::move(url);
    notify();
}

void CreateID3TemplateViewModel::notify()
{
    if (delegate)
        delegate->createID3TemplateViewModelFieldValuesDidChange(*this);
}

QString CreateID3TemplateViewModel::artworkURLDisplay() const
{
    return artworkURL_ ? artworkURL_->fileName() : QStringLiteral("");
}

bool CreateID3TemplateViewModel::canSave() const
{
    return !podcast_.isEmpty() && !artist_.isEmpty() && artworkURL_.has_value();
}

std::optional<ID3TemplateFieldValidationError> CreateID3TemplateViewModel::save() const
{
    if (podcast_.isEmpty())
        return ID3TemplateFieldValidationError::Name;
    const std::optional<Database> database = Database::open();
    if (!database)
        return ID3TemplateFieldValidationError::Database;

    ID3TemplateQueryBuilder builder(*database, podcast_);
    builder.artist = artist_;
    builder.album = podcast_;
    builder.albumArtist = artist_;
    if (artworkURL_ && artworkURL_->isValid() && !artworkURL_->isEmpty())
        builder.artworkURL = artworkURL_->toString(QUrl::FullyEncoded);
    if (!builder.insert())
        return ID3TemplateFieldValidationError::Save;
    return std::nullopt;
}

bool CreateID3TemplateViewModel::saveAndReturnError(ID3TemplateFieldValidationError* error) const
{
    const auto failure = save();
    if (failure && error)
        *error = *failure;
    return !failure;
}

} // namespace airlark
