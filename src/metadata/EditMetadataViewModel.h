#pragma once

#include "metadata/ArtworkCheck.h"
#include "metadata/BackgroundJob.h"
#include "metadata/BackgroundTagWrite.h"
#include "metadata/ChapterFile.h"
#include "metadata/EmbeddedArtwork.h"
#include "metadata/EpisodeCheck.h"
#include "metadata/FileSystemMetadata.h"
#include "metadata/ID3TagValues.h"
#include "metadata/PodcastFieldTexts.h"
#include "metadata/PodcastID3TagWriter.h"
#include "store/ID3Template.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <atomic>
#include <memory>
#include <optional>

namespace airlark {

class EditMetadataViewModel;

class EditMetadataViewModelDelegate
{
public:
    virtual ~EditMetadataViewModelDelegate() = default;
    // The screen refreshes every field from the view model: sent when a template read in the
    // background has arrived.
    virtual void editMetadataViewModelDidFillTemplate(EditMetadataViewModel& viewModel) = 0;
    virtual void editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel& viewModel) = 0;
    virtual void editMetadataViewModelDidSetErrorMessageFromSaving(EditMetadataViewModel& viewModel,
                                                                   const QString& errorMessage) = 0;
    // A save that save() started has ended: `saved` when the file carries the tags now.
    virtual void editMetadataViewModelDidFinishSaving(EditMetadataViewModel& viewModel, bool saved) = 0;
    // The template's artwork has been read (or found missing), or a chapter file has been read.
    virtual void editMetadataViewModelDidLoadArtwork(EditMetadataViewModel& viewModel) = 0;
    virtual void editMetadataViewModelDidLoadChapters(EditMetadataViewModel& viewModel) = 0;
    // The episode's facts were read again in the background after a save.
    virtual void editMetadataViewModelDidReadEpisodeFile(EditMetadataViewModel&) {}
    // The preflight check moved on (its progress), ended, or was stopped.
    virtual void editMetadataViewModelDidUpdateCheck(EditMetadataViewModel&) {}
};

// The logic of step 2: the form's values from the audio file's own tags and the chosen template,
// the template's artwork (read and checked on a worker), chapters loaded from a file, and the save
// that writes the tags on a worker thread.
class EditMetadataViewModel
{
public:
    static inline const QString FilePathNotProvided = QStringLiteral("File path not provided");
    static inline const QString UnableToWriteID3Tags = QStringLiteral("Unable to write ID3 tags.");
    static inline const QString EpisodeTitleMissing =
        QStringLiteral("Type the episode's title before saving: an episode without one would be published "
                       "untitled.");
    // The artwork preview fits this many pixels.
    static constexpr int PreviewSide = 320;
    // Chapter files longer than this are not chapter lists.
    static constexpr qint64 MaximumChapterFileSize = 1024 * 1024;

    enum class TemplateRead
    {
        Now,
        // For the window, where a store that another program holds must not freeze the screen.
        InBackground,
    };

    // Reads the template with `templateID` (when given) and its podcast fields through a connection
    // of its own, once: at once, or on a thread of its own together with the episode's facts and
    // tags, after which the delegate hears editMetadataViewModelDidFillTemplate. `today` dates the tags
    // (tests pass their own).
    EditMetadataViewModel(std::optional<qint64> templateID, std::optional<QUrl> fileURL,
                          PodcastID3TagWriter::Clock today = {}, TemplateRead read = TemplateRead::Now);
    // Work still running (a save, reading the artwork or a chapter file) is stopped and waited for.
    ~EditMetadataViewModel();

    // The chosen template, a snapshot taken once it was read: the store's later record of the last
    // episode title does not change it.
    const std::optional<ID3Template>& id3Template() const { return template_; }
    // Whether the template is still being read in the background.
    bool isLoadingTemplate() const { return loadingTemplate_; }

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
    PodcastFieldTexts podcastFields() const;
    QString previousEpisodeFormattedTitleString() const;
    std::optional<QUrl> artworkURL() const;
    QString fileName() const;
    QString duration() const;
    QString length() const;

    // Starts reading and checking the template's artwork on a worker; the delegate hears when it
    // is done. Nothing to do when the template has no artwork or it is read already.
    void loadArtwork();
    bool isLoadingArtwork() const { return artworkLoading_ != nullptr; }
    // The template's artwork as read, or none (no artwork, or not read yet).
    const std::optional<ArtworkCheck>& artworkCheck() const { return artworkCheck_; }
    // The artwork's size and type ("1400×1400 JPEG"), and what is wrong with it or its file.
    QString artworkFacts() const;
    QString artworkNotice() const;
    // The template names artwork whose file is gone (or no longer an image): Save asks first.
    bool artworkIsMissing() const;
    QString missingArtworkQuestion() const;
    // What goes into the tag: the image file's own bytes.
    std::optional<EmbeddedArtwork> artworkToWrite() const;

    // Reads a chapter file on a worker and checks it against the episode; the delegate hears when
    // it is done. A valid list replaces the chapters the next save writes; an invalid one changes
    // nothing and its problems are reported.
    void loadChapterFile(const QUrl& url);
    bool isLoadingChapters() const { return chaptersLoading_ != nullptr; }
    // The chapters the next save leaves in the file: the loaded ones, else the episode's own.
    std::vector<ChapterMark> chapters() const;
    bool hasLoadedChapters() const { return loadedChapters_.has_value(); }
    // What the chapter list is ("3 chapters from chapters.txt: written on Save"), and what is
    // wrong with the file last loaded ("Line 3: …"), empty when nothing.
    QString chapterSummary() const;
    const QStringList& chapterProblems() const { return chapterProblems_; }

    // Refuses an empty title and podcast fields that cannot be written; otherwise starts recording
    // the title as the template's last episode title (in the background) and writing the form's
    // values into the file on a worker thread: the title, and each of the podcast (album), artist
    // (also the album artist), description (comment) and artwork that is given; the podcast fields
    // when given (each empty one removes its frame); any loaded chapters; the year of the save.
    // The form's other values are not used. False when nothing was started (errorMessageFromSaving
    // says why). Otherwise the delegate hears editMetadataViewModelDidFinishSaving; if the write
    // failed, errorMessageFromSaving says so and the file is as it was.
    bool save(const ID3TagValues& form, const std::optional<PodcastFieldTexts>& podcastFields = std::nullopt);
    bool isSaving() const { return saving_ != nullptr; }

    // The preflight check: decodes and measures the episode on a worker (at once when this file was
    // measured before in this process); the delegate hears its progress and its end. It never holds
    // up Save. Starting again while it runs does nothing.
    void startCheck();
    void cancelCheck();
    bool isChecking() const { return checking_ != nullptr; }
    // 0 to 1 while it runs.
    double checkProgress() const { return checkProgress_ ? checkProgress_->load() : 0.0; }
    bool checkWasStopped() const { return checkStopped_; }
    // The report for the episode as Save would leave it, with `title` as typed; none until the
    // audio has been measured.
    std::optional<EpisodeCheckReport> checkReport(const QString& title) const;
    // Asks a running save to stop; it still reports how it ended.
    void cancelSaving();
    // Stops a running save and waits for it, without a report (the application is quitting).
    void abandonSaving();

private:
    const FileSystemMetadata* fileMetadata() const;
    const ID3TagValues& fileTags() const;
    QString templateValue(const std::optional<QString> EpisodeTags::*field) const;
    void finishSaving(const std::optional<TagLibMetadataError>& failure);

    std::optional<ID3Template> template_;
    PodcastFieldTexts templatePodcastFields_;
    std::optional<QUrl> fileURL_;
    std::optional<QString> errorMessageFromSaving_;
    QString saveFailureReason_;
    bool failureLeftFileUnchanged_ = false;
    PodcastID3TagWriter::Clock today_;
    // Read once: with the template when it is read in the background, else on first use.
    mutable std::optional<FileSystemMetadata> fileMetadata_;
    mutable std::optional<ID3TagValues> fileTags_;
    bool readsFileInBackground_ = false;
    quint64 fileReads_ = 0;
    std::unique_ptr<BackgroundTagWrite> saving_;
    std::optional<ArtworkCheck> artworkCheck_;
    std::unique_ptr<BackgroundJob<ArtworkCheck>> artworkLoading_;
    std::optional<std::vector<ChapterMark>> loadedChapters_;
    QString loadedChapterFileName_;
    QStringList chapterProblems_;
    std::unique_ptr<BackgroundJob<ChapterFile>> chaptersLoading_;
    bool loadingTemplate_ = false;
    struct CheckedAudio
    {
        std::optional<EpisodeAudio> audio; // none when stopped
        EpisodeCheckTags ownTags;
    };
    std::optional<CheckedAudio> checked_;
    std::shared_ptr<std::atomic<double>> checkProgress_;
    bool checkStopped_ = false;
    std::unique_ptr<BackgroundJob<CheckedAudio>> checking_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace airlark
