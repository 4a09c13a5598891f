#pragma once

#include "metadata/FileDropLocationViewDelegate.h"
#include "store/Database.h"
#include "store/ID3Template.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <map>
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
// make. It opens its own store connection and reloads the list when a template is created.
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

    std::vector<ID3TemplateSelectAllQueryResult> cachedTemplates;
    std::optional<Database> database;
    SelectTemplateViewModelDelegate* delegate = nullptr; // weak

    const std::optional<qint64>& selectedItemIndex() const { return selectedItemIndex_; }
    void setSelectedItemIndex(std::optional<qint64> index);

    SelectTemplateInteractionState state() const { return state_; }

    const std::optional<QUrl>& fileURL() const { return fileURL_; }
    void setFileURL(std::optional<QUrl> url);

    // Re-reads the list (creating the tables first); empty when the store is unavailable.
    std::vector<ID3TemplateSelectAllQueryResult> templates();
    std::optional<ID3TemplateSelectAllQueryResult> selectedTemplate() const;
    bool canAdvance() const
    {
        return state_ == SelectTemplateInteractionState::FileSelectedAndTemplateSelected;
    }

    // The drop area's image for the current state, by name and as an image.
    QString artworkName() const;
    QImage artwork() const;

    // The template's artwork as a thumbnail; loaded once while it loads successfully.
    std::optional<QImage> artworkForTemplateWithID(qint64 id);

    // Says so when the chosen template names an artwork file that is gone (a template made before
    // Airlark kept copies of artwork, whose image was moved or deleted); empty otherwise.
    QString missingArtworkNotice() const;

    void templateWasCreated();
    QString selectedFileDisplayName() const;
    void didSetFileWithURL(const QUrl& url) override;
    bool chooseFileButtonHidden() const { return fileURL_.has_value(); }
    void updateState();

private:
    std::optional<qint64> selectedItemIndex_;
    SelectTemplateInteractionState state_ =
        SelectTemplateInteractionState::FileNotSelectedAndTemplateNotSelected;
    std::map<qint64, QImage> artworks_;
    std::optional<QUrl> fileURL_;
};

// Loads an image file scaled down to fit `side` x `side` pixels (never scaled up); nothing when the
// file is missing, too large to be artwork, or not an image.
std::optional<QImage> loadThumbnail(const QUrl& url, int side);

} // namespace airlark
