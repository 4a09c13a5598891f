#pragma once

#include "metadata/FileDropLocationViewDelegate.h"
#include "store/ID3Template.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace airlark {

enum class SelectTemplateInteractionState
{
    FileNotSelectedAndTemplateNotSelected,
    FileSelectedAndTemplateNotSelected,
    FileNotSelectedAndTemplateSelected,
    FileSelectedAndTemplateSelected,
};

class SelectTemplateViewModel;

class SelectTemplateViewModelDelegate
{
public:
    virtual ~SelectTemplateViewModelDelegate() = default;
    // The template list changed.
    virtual void selectTemplateViewModelAvailableTemplatesDidChange(SelectTemplateViewModel& viewModel) = 0;
    // The state was recomputed (sent after every recomputation, changed or not).
    virtual void selectTemplateViewModelInteractionStateDidChange(SelectTemplateViewModel& viewModel) = 0;
};

// The logic of step 1: the template list, the chosen template and MP3 file, and the state they
// make, and renaming and deleting templates. The list is read, and templates renamed and deleted,
// on a thread of its own (through a store connection of its own), so that a database another
// program holds never freezes the window; it is read again whenever a template is created or
// changed, here or in another window.
class SelectTemplateViewModel : public FileDropLocationViewDelegate
{
public:
    // Names of the drop area's images (":/images/<name>.svg").
    static inline const QString AudioDropzone = QStringLiteral("AudioDropzone");
    static inline const QString AudioDropzoneFileOK = QStringLiteral("AudioDropzoneFileOK");
    static inline const QString ChooseYourPodcast = QStringLiteral("ChooseYourPodcast");
    // Template thumbnails are kept at most this many pixels wide and high.
    static constexpr int ThumbnailSide = 96;

    SelectTemplateViewModel();
    ~SelectTemplateViewModel() override;
    SelectTemplateViewModel(const SelectTemplateViewModel&) = delete;
    SelectTemplateViewModel& operator=(const SelectTemplateViewModel&) = delete;

    // The list as last read; row i of the table is element i.
    std::vector<ID3TemplateSelectAllQueryResult> cachedTemplates;
    SelectTemplateViewModelDelegate* delegate = nullptr; // weak

    const std::optional<qint64>& selectedItemIndex() const { return selectedItemIndex_; }
    void setSelectedItemIndex(std::optional<qint64> index);

    SelectTemplateInteractionState state() const { return state_; }

    const std::optional<QUrl>& fileURL() const { return fileURL_; }
    void setFileURL(std::optional<QUrl> url);

    // Reads the list again (creating the tables first) in the background; once it has arrived in
    // cachedTemplates the delegate hears selectTemplateViewModelAvailableTemplatesDidChange.
    void reloadTemplates();
    // Why the list could not be read the last time, in words; none when it was read. The database
    // file is never changed by a failed read.
    const std::optional<QString>& templatesFailure() const { return templatesFailure_; }
    // Whether a read of the list has not arrived yet.
    bool isReadingTemplates() const { return readingTemplates_; }
    std::optional<ID3TemplateSelectAllQueryResult> selectedTemplate() const;
    bool canAdvance() const
    {
        return state_ == SelectTemplateInteractionState::FileSelectedAndTemplateSelected;
    }

    // The drop area's image for the current state, by name and as an image.
    QString artworkName() const;
    QImage artwork() const;

    // The template's artwork as a thumbnail, as the last reload of the list read it.
    std::optional<QImage> artworkForTemplateWithID(qint64 id) const;

    // Says so when the chosen template names an artwork file that is gone (a template made before
    // Airlark kept copies of artwork, whose image was moved or deleted); empty otherwise.
    QString missingArtworkNotice() const;

    void templateWasCreated();
    // A template was edited, renamed or deleted: the list is read again and the chosen template
    // stays chosen while it exists.
    void templatesDidChange();

    // Renames or deletes the template `id` in the background. `completion` runs on the main thread
    // with the message to show, or none when done (the list then reloads by itself).
    using Completion = std::function<void(std::optional<QString> problem)>;
    void renameTemplate(qint64 id, const QString& name, Completion completion);
    void deleteTemplate(qint64 id, Completion completion);
    // The confirmation's question and what it adds, naming the template.
    static QString deleteQuestion(const QString& name);
    static QString deleteDetail();
    QString selectedFileDisplayName() const;
    void didSetFileWithURL(const QUrl& url) override;
    bool chooseFileButtonHidden() const { return fileURL_.has_value(); }
    void updateState();

private:
    void showTemplates(std::vector<ID3TemplateSelectAllQueryResult> list, std::optional<QString> failure,
                       std::map<qint64, QImage> thumbnails);

    std::optional<qint64> selectedItemIndex_;
    SelectTemplateInteractionState state_ =
        SelectTemplateInteractionState::FileNotSelectedAndTemplateNotSelected;
    std::map<qint64, QImage> artworks_;
    std::optional<QUrl> fileURL_;
    std::optional<QString> templatesFailure_;
    quint64 reloads_ = 0;
    bool readingTemplates_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// Loads an image file scaled down to fit `side` x `side` pixels (never scaled up); nothing when the
// file is missing, too large to be artwork, or not an image.
std::optional<QImage> loadThumbnail(const QUrl& url, int side);

} // namespace airlark
