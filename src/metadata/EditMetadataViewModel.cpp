#include "metadata/EditMetadataViewModel.h"

#include "metadata/TagLibMetadata.h"
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

EditMetadataViewModel::~EditMetadataViewModel() = default;

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

QString EditMetadataViewModel::errorText() const
{
    if (!errorMessageFromSaving_ || errorMessageFromSaving_->isEmpty())
        return {};
    QString text = *errorMessageFromSaving_;
    if (!saveFailureReason_.isEmpty() && saveFailureReason_ != text)
        text += QLatin1Char('\n') + saveFailureReason_;
    if (failureLeftFileUnchanged_)
        text += QStringLiteral("\nThe file was not changed.");
    return text;
}

const ID3TagValues& EditMetadataViewModel::fileTags() const
{
    if (!fileTags_) {
        fileTags_.emplace();
        if (fileURL_)
            if (const auto metadata = TagLibMetadata::open(*fileURL_, true, nullptr))
                fileTags_ = metadata->readTags().value_or(ID3TagValues());
    }
    return *fileTags_;
}

QString EditMetadataViewModel::templateValue(const std::optional<QString> ID3Template::*field) const
{
    return template_ ? (*template_.*field).value_or(QString()) : QString();
}

QString EditMetadataViewModel::title() const
{
    return fileTags().title.value_or(templateValue(&ID3Template::title));
}

QString EditMetadataViewModel::podcast() const
{
    return fileTags().album.value_or(templateValue(&ID3Template::album));
}

QString EditMetadataViewModel::artist() const
{
    return fileTags().artist.value_or(templateValue(&ID3Template::artist));
}

QString EditMetadataViewModel::episodeDescription() const
{
    return fileTags().comment.value_or(templateValue(&ID3Template::comment));
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
    // The store connection belongs to the main thread; the tag write goes to a worker.
    Q_ASSERT(MainQueue::isMainThread());
    if (saving_)
        return false;
    saveFailureReason_.clear();
    failureLeftFileUnchanged_ = false;
    if (!title || title->trimmed().isEmpty()) {
        setErrorMessageFromSaving(EpisodeTitleMissing);
        return false;
    }
    if (template_)
        template_->updateLastEpisodeTitle(*title);

    if (!fileURL_ || fileURL_->isEmpty()) {
        saveFailureReason_ = FilePathNotProvided;
        setErrorMessageFromSaving(FilePathNotProvided);
        return false;
    }

    PodcastID3TagWriter writer(*fileURL_, today_);
    writer.setTitle(*title);
    if (podcast)
        writer.setPodcast(*podcast);
    if (artwork)
        writer.setArtwork(*artwork);
    if (artist)
        writer.setArtist(*artist);
    if (description)
        writer.setDescription(*description);
    saving_ = std::make_unique<BackgroundTagWrite>(
        std::move(writer),
        [this](const std::optional<TagLibMetadataError>& failure) { finishSaving(failure); });
    return true;
}

void EditMetadataViewModel::finishSaving(const std::optional<TagLibMetadataError>& failure)
{
    saving_.reset();
    // The file's facts (its size above all) and tags have changed.
    fileMetadata_.reset();
    fileTags_.reset();
    // A write that fails is a failure whatever its reason: the user must not move on believing the
    // episode carries its tags. A cancelled one was the user's wish and needs no message.
    if (failure && failure->code != TagLibMetadataErrorCode::Cancelled) {
        saveFailureReason_ = failure->message;
        failureLeftFileUnchanged_ = failure->fileUnchanged;
        setErrorMessageFromSaving(UnableToWriteID3Tags);
    }
    if (delegate)
        delegate->editMetadataViewModelDidFinishSaving(*this, !failure);
}

void EditMetadataViewModel::cancelSaving()
{
    if (saving_)
        saving_->cancel();
}

void EditMetadataViewModel::abandonSaving()
{
    saving_.reset();
}

} // namespace airlark
