#pragma once

#include "metadata/BackgroundTagWrite.h"
#include "metadata/EmbeddedArtwork.h"
#include "metadata/FileSystemMetadata.h"
#include "metadata/ID3TagValues.h"
#include "metadata/PodcastID3TagWriter.h"
#include "store/ID3Template.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace airlark {

class EditMetadataViewModel;

class EditMetadataViewModelDelegate
{
public:
    virtual ~EditMetadataViewModelDelegate() = default;
    // The screen refreshes every field from the view model (the view model never sends it itself).
    virtual void editMetadataViewModelDidFillTemplate(EditMetadataViewModel& viewModel) = 0;
    virtual void editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel& viewModel) = 0;
    virtual void editMetadataViewModelDidSetErrorMessageFromSaving(EditMetadataViewModel& viewModel,
                                                                   const QString& errorMessage) = 0;
    // A save that save() started has ended: `saved` when the file carries the tags now.
    virtual void editMetadataViewModelDidFinishSaving(EditMetadataViewModel& viewModel, bool saved) = 0;
};

// The logic of step 2: the form's values from the audio file's own tags and the chosen template,
// and the save that writes the tags on a worker thread.
class EditMetadataViewModel
{
public:
    static inline const QString FilePathNotProvided = QStringLiteral("File path not provided");
    static inline const QString UnableToWriteID3Tags = QStringLiteral("Unable to write ID3 tags.");
    static inline const QString EpisodeTitleMissing =
        QStringLiteral("Type the episode's title before saving: an episode without one would be published "
                       "untitled.");

    // Reads the template with `templateID` (when given) through a connection of its own, once.
    // `today` dates the tags (tests pass their own).
    EditMetadataViewModel(std::optional<qint64> templateID, std::optional<QUrl> fileURL,
                          PodcastID3TagWriter::Clock today = {});
    // A save still running is stopped and waited for (it ends as quickly as it safely can).
    ~EditMetadataViewModel();

    // The chosen template, a snapshot taken at construction (`template` in the design).
    const std::optional<ID3Template>& id3Template() const { return template_; }

    EditMetadataViewModelDelegate* delegate = nullptr; // weak

    const std::optional<QUrl>& fileURL() const { return fileURL_; }

    const std::optional<QString>& errorMessageFromSaving() const { return errorMessageFromSaving_; }
    void setErrorMessageFromSaving(std::optional<QString> message);
    // Why the last failed save failed, in more detail than the message.
    const QString& saveFailureReason() const { return saveFailureReason_; }
    // What the screen shows for the last failure: the message, the reason, and whether the file was
    // left as it was.
    QString errorText() const;

    // The episode's own tags where the file has them, else the template's values: a save never
    // erases a title or description the file already carries.
    QString title() const;
    QString podcast() const;
    QString artist() const;
    QString episodeDescription() const;
    QString previousEpisodeFormattedTitleString() const;
    std::optional<QUrl> artworkURL() const;
    // Loaded through the artwork store each time it is asked for.
    std::optional<QImage> artwork() const;
    QString fileName() const;
    QString duration() const;
    QString length() const;

    // Refuses an empty title; otherwise records the title as the template's last episode title and
    // starts writing the given values into the file, with the year of the save, on a worker thread.
    // False when nothing was started (errorMessageFromSaving says why). Otherwise the delegate hears
    // editMetadataViewModelDidFinishSaving; if the write failed, errorMessageFromSaving says so and
    // the file is as it was.
    bool save(const std::optional<QString>& title, const std::optional<EmbeddedArtwork>& artwork,
              const std::optional<QString>& podcast, const std::optional<QString>& artist,
              const std::optional<QString>& description);
    bool isSaving() const { return saving_ != nullptr; }
    // Asks a running save to stop; it still reports how it ended.
    void cancelSaving();
    // Stops a running save and waits for it, without a report (the application is quitting).
    void abandonSaving();

private:
    const FileSystemMetadata* fileMetadata() const;
    const ID3TagValues& fileTags() const;
    QString templateValue(const std::optional<QString> ID3Template::*field) const;
    void finishSaving(const std::optional<TagLibMetadataError>& failure);

    std::optional<ID3Template> template_;
    std::optional<QUrl> fileURL_;
    std::optional<QString> errorMessageFromSaving_;
    QString saveFailureReason_;
    bool failureLeftFileUnchanged_ = false;
    PodcastID3TagWriter::Clock today_;
    mutable std::optional<FileSystemMetadata> fileMetadata_; // read once, on first use
    mutable std::optional<ID3TagValues> fileTags_;           // likewise
    std::unique_ptr<BackgroundTagWrite> saving_;
};

} // namespace airlark
