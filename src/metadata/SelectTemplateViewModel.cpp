#include "metadata/SelectTemplateViewModel.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "store/Artwork.h"
#include "store/DataDirectory.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <set>

namespace airlark {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SelectTemplateViewModel", text);
}

} // namespace

namespace {

// Shown to the podcaster, in their language.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(SelectTemplateViewModel)
};

} // namespace

SelectTemplateViewModel::SelectTemplateViewModel()
{
    NotificationCenter::defaultCenter().addObserver(
        this, ID3Template::createdNotificationName,
        [this](const NotificationCenter::Notification&) { templateWasCreated(); });
    NotificationCenter::defaultCenter().addObserver(
        this, ID3Template::changedNotificationName,
        [this](const NotificationCenter::Notification&) { templatesDidChange(); });
}

SelectTemplateViewModel::~SelectTemplateViewModel()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void SelectTemplateViewModel::setSelectedItemIndex(std::optional<qint64> index)
{
    selectedItemIndex_ = index;
    updateState();
}

void SelectTemplateViewModel::setFileURL(std::optional<QUrl> url)
{
    fileURL_ = std::move(url);
    updateState();
}

namespace {

struct TemplateRead
{
    std::vector<ID3TemplateSelectAllQueryResult> list;
    std::optional<QString> failure;
    std::map<qint64, QImage> thumbnails;
};

// File work, for a background thread: the templates and the thumbnails not already in `known`.
TemplateRead readTemplates(const std::set<qint64>& known)
{
    TemplateRead read;
    const auto database = Database::open();
    SQLError error;
    if (!database) {
        read.failure = Text::tr("Airlark cannot open its data folder %1 to read the templates.")
                           .arg(dataDirectoryPath());
    } else if (auto created = database->createTables()) {
        error = *created;
    } else {
        read.list = ID3Template::selectAll(*database, &error);
    }
    if (database && error.code != 0)
        read.failure = Text::tr("Airlark cannot read its templates from %1 (%2). The file was left as it "
                                "is: quit any other program that uses it, then show this step again.")
                           .arg(database->url().toLocalFile(), error.message);
    // Decoding artwork is file work: it is done here, not while the list paints. A thumbnail
    // already shown is not read again; one that failed is tried again on the next reload.
    for (const auto& item : read.list) {
        if (!item.artworkURL || known.count(item.id))
            continue;
        if (std::optional<QImage> image =
                loadThumbnail(*item.artworkURL, SelectTemplateViewModel::ThumbnailSide))
            read.thumbnails.emplace(item.id, std::move(*image));
    }
    return read;
}

} // namespace

void SelectTemplateViewModel::reloadTemplates()
{
    Q_ASSERT(MainQueue::isMainThread());
    const quint64 reload = ++reloads_;
    readingTemplates_ = true;
    std::set<qint64> known;
    for (const auto& [id, image] : artworks_)
        known.insert(id);
    // The read starts from the main queue rather than at once: the first reload comes while the
    // window is being built, and reading and decoding the artwork would compete with it for the
    // processor until its first frame.
    MainQueue::async([alive = std::weak_ptr<int>(alive_), this, reload, known = std::move(known)] {
        if (alive.expired() || reload != reloads_)
            return;
        MainQueue::runInBackground([alive, this, reload, known] {
            MainQueue::performOnMainThread([alive, this, reload, read = readTemplates(known)]() mutable {
                // A later reload, or a view model that is gone, makes this answer stale.
                if (alive.expired() || reload != reloads_)
                    return;
                showTemplates(std::move(read.list), std::move(read.failure), std::move(read.thumbnails));
            });
        });
    });
}

void SelectTemplateViewModel::showTemplates(std::vector<ID3TemplateSelectAllQueryResult> list,
                                            std::optional<QString> failure,
                                            std::map<qint64, QImage> thumbnails)
{
    // The choice follows its template, wherever a rename or a deletion moved it.
    const std::optional<ID3TemplateSelectAllQueryResult> chosen = selectedTemplate();
    cachedTemplates = std::move(list);
    artworks_.merge(thumbnails);
    if (chosen) {
        const auto found = std::find_if(cachedTemplates.begin(), cachedTemplates.end(),
                                        [&chosen](const auto& item) { return item.id == chosen->id; });
        selectedItemIndex_ = found == cachedTemplates.end()
                                 ? std::nullopt
                                 : std::optional<qint64>(found - cachedTemplates.begin());
    }
    templatesFailure_ = std::move(failure);
    readingTemplates_ = false;
    if (delegate)
        delegate->selectTemplateViewModelAvailableTemplatesDidChange(*this);
}

std::optional<ID3TemplateSelectAllQueryResult> SelectTemplateViewModel::selectedTemplate() const
{
    if (!selectedItemIndex_ || *selectedItemIndex_ < 0 ||
        *selectedItemIndex_ >= qint64(cachedTemplates.size()))
        return std::nullopt;
    return cachedTemplates[static_cast<std::size_t>(*selectedItemIndex_)];
}

QString SelectTemplateViewModel::artworkName() const
{
    switch (state_) {
    case SelectTemplateInteractionState::FileSelectedAndTemplateSelected:
        return AudioDropzoneFileOK;
    case SelectTemplateInteractionState::FileSelectedAndTemplateNotSelected:
        return ChooseYourPodcast;
    case SelectTemplateInteractionState::FileNotSelectedAndTemplateNotSelected:
    case SelectTemplateInteractionState::FileNotSelectedAndTemplateSelected:
        break;
    }
    return AudioDropzone;
}

QImage SelectTemplateViewModel::artwork() const
{
    // Each named image is read once, on first use.
    static std::map<QString, QImage> images;
    const QString name = artworkName();
    auto found = images.find(name);
    if (found == images.end())
        found =
            images.emplace(name, QImage(QStringLiteral(":/images/") + name + QStringLiteral(".svg"))).first;
    return found->second;
}

std::optional<QImage> SelectTemplateViewModel::artworkForTemplateWithID(qint64 id) const
{
    if (const auto cached = artworks_.find(id); cached != artworks_.end())
        return cached->second;
    return std::nullopt;
}

QString SelectTemplateViewModel::missingArtworkNotice() const
{
    const std::optional<ID3TemplateSelectAllQueryResult> chosen = selectedTemplate();
    if (!chosen || !chosen->artworkURL || !chosen->artworkURL->isLocalFile() ||
        QFileInfo::exists(chosen->artworkURL->toLocalFile()))
        return {};
    return Text::tr("The artwork of \u201c%1\u201d, \u201c%2\u201d, is missing: it was moved or deleted. "
                    "The episode can still be saved, without artwork.")
        .arg(chosen->name, chosen->artworkURL->fileName());
}

void SelectTemplateViewModel::templateWasCreated()
{
    setSelectedItemIndex(std::nullopt);
    reloadTemplates();
}

void SelectTemplateViewModel::templatesDidChange()
{
    artworks_.clear(); // an edit may have changed the artwork
    reloadTemplates();
}

namespace {

// Runs a change of the store in the background and reports its message on the main thread.
void changeInBackground(std::weak_ptr<int> alive,
                        std::function<std::optional<QString>(const Database&)> change,
                        SelectTemplateViewModel::Completion completion)
{
    MainQueue::runInBackground([alive, change = std::move(change), completion = std::move(completion)] {
        const std::optional<Database> database = Database::open();
        std::optional<QString> problem =
            database ? change(*database)
                     : tr("Airlark cannot open its data folder %1.").arg(dataDirectoryPath());
        MainQueue::performOnMainThread([alive, completion, problem] {
            if (!alive.expired() && completion)
                completion(problem);
        });
    });
}

QString storeProblem(const ID3TemplateWriteError& error)
{
    if (error.kind == ID3TemplateWriteError::Kind::NotFound)
        return tr("The template is gone: another window deleted it.");
    return tr("Airlark could not change its templates (%1). Quit any other program that uses "
              "its data folder, then try again.")
        .arg(error.message);
}

} // namespace

void SelectTemplateViewModel::renameTemplate(qint64 id, const QString& name, Completion completion)
{
    const QString newName = name.trimmed();
    if (newName.isEmpty()) {
        completion(tr("A template needs a name."));
        return;
    }
    changeInBackground(
        alive_,
        [id, newName](const Database& database) -> std::optional<QString> {
            const std::optional<ID3TemplateWriteError> error = ID3Template::rename(database, id, newName);
            if (!error)
                return std::nullopt;
            if (error->kind == ID3TemplateWriteError::Kind::NameTaken)
                return tr("A template named \u201c%1\u201d already exists. Choose another name.")
                    .arg(newName);
            return storeProblem(*error);
        },
        std::move(completion));
}

void SelectTemplateViewModel::deleteTemplate(qint64 id, Completion completion)
{
    changeInBackground(
        alive_,
        [id](const Database& database) -> std::optional<QString> {
            const std::optional<ID3TemplateWriteError> error = ID3Template::remove(database, id);
            return error ? std::optional(storeProblem(*error)) : std::nullopt;
        },
        std::move(completion));
}

QString SelectTemplateViewModel::deleteQuestion(const QString& name)
{
    return tr("Delete the template \u201c%1\u201d?").arg(name);
}

QString SelectTemplateViewModel::deleteDetail()
{
    return tr("Episodes already tagged with it keep their tags. This cannot be undone.");
}

QString SelectTemplateViewModel::selectedFileDisplayName() const
{
    if (!fileURL_)
        return QStringLiteral("");
    return fileURL_->fileName();
}

void SelectTemplateViewModel::didSetFileWithURL(const QUrl& url)
{
    setFileURL(url);
}

void SelectTemplateViewModel::updateState()
{
    const bool file = fileURL_.has_value();
    const bool chosenTemplate = selectedItemIndex_.has_value();
    if (chosenTemplate && file)
        state_ = SelectTemplateInteractionState::FileSelectedAndTemplateSelected;
    else if (file)
        state_ = SelectTemplateInteractionState::FileSelectedAndTemplateNotSelected;
    else if (chosenTemplate)
        state_ = SelectTemplateInteractionState::FileNotSelectedAndTemplateSelected;
    else
        state_ = SelectTemplateInteractionState::FileNotSelectedAndTemplateNotSelected;
    if (delegate)
        delegate->selectTemplateViewModelInteractionStateDidChange(*this);
}

std::optional<QImage> loadThumbnail(const QUrl& url, int side)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QFileInfo info(url.toLocalFile());
    if (!info.isFile() || info.size() > Artwork::MaximumImageFileSize)
        return std::nullopt;
    QImageReader reader(info.absoluteFilePath());
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > side || size.height() > side))
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace airlark
