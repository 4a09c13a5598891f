#pragma once

#include "metadata/EmbeddedArtwork.h"
#include "metadata/FileSystemMetadata.h"
#include "metadata/PodcastID3TagWriter.h"
#include "store/ID3Template.h"

#include <QImage>
#include <QString>
#include <QUrl>
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
};

// The logic of step 2: the form's values from the chosen template and the audio file, and the
// save that writes the tags.
class EditMetadataViewModel
{
public:
    static inline const QString FilePathNotProvided = QStringLiteral("File path not provided");
    static inline const QString UnableToWriteID3Tags = QStringLiteral("Unable to write ID3 tags.");

    // Reads the template with `templateID` (when given) through a connection of its own, once.
    // `today` dates the tags (tests pass their own).
    EditMetadataViewModel(std::optional<qint64> templateID, std::optional<QUrl> fileURL,
                          PodcastID3TagWriter::Clock today = {});

    // The chosen template, a snapshot taken at construction (`template` in the design).
    const std::optional<ID3Template>& id3Template() const { return template_; }

    EditMetadataViewModelDelegate* delegate = nullptr; // weak

    const std::optional<QUrl>& fileURL() const { return fileURL_; }

    const std::optional<QString>& errorMessageFromSaving() const { return errorMessageFromSaving_; }
    void setErrorMessageFromSaving(std::optional<QString> message);
    // Why the last failed save failed, in more detail than the message (for the screen).
    const QString& saveFailureReason() const { return saveFailureReason_; }

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

    // Records the title as the template's last episode title, then writes the given values into
    // the file with the year of the save. True when the tags were written; otherwise
    // errorMessageFromSaving says so and the file is exactly as it was.
    bool save(const std::optional<QString>& title, const std::optional<EmbeddedArtwork>& artwork,
              const std::optional<QString>& podcast, const std::optional<QString>& artist,
              const std::optional<QString>& description);

private:
    const FileSystemMetadata* fileMetadata() const;

    std::optional<ID3Template> template_;
    std::optional<QUrl> fileURL_;
    std::optional<QString> errorMessageFromSaving_;
    QString saveFailureReason_;
    PodcastID3TagWriter::Clock today_;
    mutable std::optional<FileSystemMetadata> fileMetadata_; // read once, on first use
};

} // namespace airlark
