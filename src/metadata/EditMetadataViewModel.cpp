#include "metadata/EditMetadataViewModel.h"

#include "platform/MainQueue.h"
#include "store/Artwork.h"
#include "store/Database.h"

namespace airlark {

EditMetadataViewModel::EditMetadataViewModel(std::optional<qint64> templateID, std::optional<QUrl> fileURL,
                                             PodcastID3TagWriter::Clock today)
    : fileURL_(std::move(fileURL)), today_(std::move(today))
{
    if (!templateID)
        return;
    if (const std::optional<Database> database = Database::open())
        template_ = ID3Template::find(*database, *templateID);
}

void EditMetadataViewModel::setErrorMessageFromSaving(std::optional<QString> message)
{
    errorMessageFromSaving_ = std::move(message);
    if (!delegate)
        return;
    if (!errorMessageFromSaving_ || errorMessageFromSaving_->isEmpty())
        delegate->editMetadataViewModelDidClearErrorMessageFromSaving(*this);
    else
        delegate->editMetadataViewModelDidSetErrorMessageFromSaving(*this, *errorMessageFromSaving_);
}

QString EditMetadataViewModel::title() const
{
    return template_ ? template_->title.value_or(QString()) : QString();
}

QString EditMetadataViewModel::podcast() const
{
    return template_ ? template_->album.value_or(QString()) : QString();
}

QString EditMetadataViewModel::artist() const
{
    return template_ ? template_->artist.value_or(QString()) : QString();
}

QString EditMetadataViewModel::episodeDescription() const
{
    return template_ ? template_->comment.value_or(QString()) : QString();
}

QString EditMetadataViewModel::previousEpisodeFormattedTitleString() const
{
    return template_ ? template_->lastEpisodeTitle.value_or(QString()) : QString();
}

std::optional<QUrl> EditMetadataViewModel::artworkURL() const
{
    return template_ ? template_->artworkURL : std::nullopt;
}

std::optional<QImage> EditMetadataViewModel::artwork() const
{
    const std::optional<QUrl> url = artworkURL();
    if (!url)
        return std::nullopt;
    const std::optional<Artwork> store = Artwork::open();
    if (!store)
        return std::nullopt;
    return store->imageAtURL(*url);
}

const FileSystemMetadata* EditMetadataViewModel::fileMetadata() const
{
    if (!fileURL_)
        return nullptr;
    if (!fileMetadata_)
        fileMetadata_.emplace(*fileURL_);
    return &*fileMetadata_;
}

QString EditMetadataViewModel::fileName() const
{
    const FileSystemMetadata* metadata = fileMetadata();
    return metadata ? metadata->fileName().value_or(QString()) : QString();
}

QString EditMetadataViewModel::duration() const
{
    const FileSystemMetadata* metadata = fileMetadata();
    if (!metadata || !metadata->durationSeconds())
        return {};
    return formattedDuration(*metadata->durationSeconds());
}

QString EditMetadataViewModel::length() const
{
    const FileSystemMetadata* metadata = fileMetadata();
    if (!metadata || !metadata->fileSize())
        return {};
    return QString::number(*metadata->fileSize());
}

bool EditMetadataViewModel::save(const std::optional<QString>& title,
                                 const std::optional<EmbeddedArtwork>& artwork,
                                 const std::optional<QString>& podcast, const std::optional<QString>& artist,
                                 const std::optional<QString>& description)
{
    // The store connection and the tag write belong to the main thread.
    Q_ASSERT(MainQueue::isMainThread());
    if (title && template_)
        template_->updateLastEpisodeTitle(*title);

    if (!fileURL_ || fileURL_->isEmpty()) {
        saveFailureReason_ = FilePathNotProvided;
        setErrorMessageFromSaving(FilePathNotProvided);
        return false;
    }

    PodcastID3TagWriter writer(*fileURL_, today_);
    if (title)
        writer.setTitle(*title);
    if (podcast)
        writer.setPodcast(*podcast);
    if (artwork)
        writer.setArtwork(*artwork);
    if (artist)
        writer.setArtist(*artist);
    if (description)
        writer.setDescription(*description);

    // A write that fails without an error from the tag layer is a failure all the same: the user
    // must not move on believing the episode carries its tags.
    TagLibMetadataError error;
    if (!writer.write(&error)) {
        saveFailureReason_ = error.message;
        setErrorMessageFromSaving(UnableToWriteID3Tags);
        return false;
    }
    // The file's facts (its size above all) have changed.
    fileMetadata_.reset();
    return true;
}

} // namespace airlark
