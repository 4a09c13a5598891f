#pragma once

#include "metadata/ArtworkCheck.h"
#include "metadata/BackgroundJob.h"
#include "metadata/PodcastFieldTexts.h"

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace airlark {

// Why a template could not be saved.
enum class ID3TemplateFieldValidationError
{
    Name,     // the podcast name is empty
    Database, // the store cannot be opened
    Save,     // the insert yielded nothing (for example, a template with that name exists)
    Fields,   // a podcast field holds something that cannot be written (podcastFields().problems())
    Artwork,  // the artwork could not be copied into the artwork folder
};

QString printable(ID3TemplateFieldValidationError error);

class CreateID3TemplateViewModel;

class CreateID3TemplateViewModelDelegate
{
public:
    virtual ~CreateID3TemplateViewModelDelegate() = default;
    // Sent after every assignment of a field, changed or not, and when an artwork check or a save
    // starts or ends.
    virtual void createID3TemplateViewModelFieldValuesDidChange(CreateID3TemplateViewModel& viewModel) = 0;
    // A save that save() started has ended: none when the template is stored.
    virtual void
    createID3TemplateViewModelDidFinishSaving(CreateID3TemplateViewModel& viewModel,
                                              std::optional<ID3TemplateFieldValidationError> error) = 0;
    // The edited template has been read: the form shows its values (or loadProblem() says why not).
    virtual void createID3TemplateViewModelDidLoadTemplate(CreateID3TemplateViewModel&) {}
};

// The logic of the template window: podcast name, artist, artwork file and the podcast fields, and
// the save that inserts them as a new template or, when editing one, writes them over it. An
// edited template is read on a worker, its artwork checked like a newly chosen one.
//
// Chosen artwork is read and checked on a worker thread (a large image never freezes the window):
// a file that is not an image is refused and the earlier choice stays; an image that breaks a
// directory rule is taken with a warning. Saving copies the image into the artwork folder (on a
// worker), so that the template no longer depends on the user's own file, then stores the template
// there too: the window never waits for a database that another program holds.
class CreateID3TemplateViewModel
{
public:
    // Artwork previews fit this many pixels.
    static constexpr int PreviewSide = 256;

    // A new template, or an edit of the stored template `editedTemplateID` (read at once).
    explicit CreateID3TemplateViewModel(std::optional<qint64> editedTemplateID = std::nullopt);
    ~CreateID3TemplateViewModel();

    CreateID3TemplateViewModelDelegate* delegate = nullptr; // weak

    const std::optional<qint64>& editedTemplateID() const { return editedTemplateID_; }
    bool isLoadingTemplate() const { return loading_ != nullptr; }
    // Why the edited template could not be read; empty when it was.
    const QString& loadProblem() const { return loadProblem_; }

    const QString& podcast() const { return podcast_; }
    void setPodcast(const QString& podcast);
    const QString& artist() const { return artist_; }
    void setArtist(const QString& artist);
    // The accepted artwork file.
    const std::optional<QUrl>& artworkURL() const { return artworkURL_; }
    const PodcastFieldTexts& podcastFields() const { return podcastFields_; }
    void setPodcastFields(const PodcastFieldTexts& fields);

    // Reads and checks the image at `url` on a worker; the delegate hears when it is done.
    void chooseArtwork(const QUrl& url);
    bool isCheckingArtwork() const { return checking_ != nullptr; }
    // The accepted artwork's check: its preview, its description and any warning.
    const std::optional<ArtworkCheck>& artworkCheck() const { return artworkCheck_; }
    // Why the last chosen file was refused, or the rule the accepted artwork breaks; empty when
    // there is nothing to say.
    QString artworkNotice() const;

    QString artworkURLDisplay() const;
    // White space counts as content; only zero characters is empty. False while the edited template
    // or artwork is being read or a save runs, and while a podcast field cannot be written.
    bool canSave() const;

    // Starts saving. An error at once when the name is empty, a field cannot be written or the
    // store cannot be opened; otherwise none, and the delegate hears how the save ended. On
    // success the store posts "id3_template_created" (or "id3_template_changed" for an edit).
    std::optional<ID3TemplateFieldValidationError> save();
    bool isSaving() const { return saving_ != nullptr; }

private:
    // What the form shows of a stored template.
    struct Stored
    {
        QString podcast;
        QString artist;
        PodcastFieldTexts podcastFields;
        std::optional<QUrl> artworkURL;
    };
    void notify();
    void finishLoading(const std::optional<Stored>& stored);
    void finishChecking(const QUrl& url, ArtworkCheck check);
    void finishSaving(std::optional<ID3TemplateFieldValidationError> error);

    std::optional<qint64> editedTemplateID_;
    QString loadProblem_;
    std::unique_ptr<BackgroundJob<std::optional<Stored>>> loading_;
    QString podcast_ = QStringLiteral("");
    QString artist_ = QStringLiteral("");
    std::optional<QUrl> artworkURL_;
    PodcastFieldTexts podcastFields_;
    std::optional<ArtworkCheck> artworkCheck_;
    QString artworkRefusal_;
    std::unique_ptr<BackgroundJob<ArtworkCheck>> checking_;
    std::unique_ptr<BackgroundJob<std::optional<ID3TemplateFieldValidationError>>> saving_;
};

} // namespace airlark
