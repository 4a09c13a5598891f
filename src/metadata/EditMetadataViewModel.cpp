#include "metadata/EditMetadataViewModel.h"

#include "metadata/TagLibMetadata.h"
#include "platform/MainQueue.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace airlark {

namespace {

// Shown to the podcaster, in their language.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(EditMetadataViewModel)
};

} // namespace
namespace {

// The chapter file's text: UTF-8 (what editors write today), or Latin-1 when it is not.
std::optional<QString> readChapterText(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(EditMetadataViewModel::MaximumChapterFileSize + 1);
    if (bytes.size() > EditMetadataViewModel::MaximumChapterFileSize)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

struct TemplateSnapshot
{
    std::optional<ID3Template> record;
    PodcastFieldTexts podcastFields;
};

// The template and its podcast fields; no template when the store cannot be read.
TemplateSnapshot readTemplate(qint64 id)
{
    TemplateSnapshot snapshot;
    if (const std::optional<Database> database = Database::open()) {
        snapshot.record = ID3Template::find(*database, id);
        if (snapshot.record)
            snapshot.podcastFields = PodcastFieldTexts::from(snapshot.record->tags.podcast);
    }
    return snapshot;
}

// What step 2 shows of the episode itself. Reading it opens and parses the file, which on a slow
// or network disk can take long: the window reads it on a worker.
struct EpisodeFile
{
    FileSystemMetadata facts;
    ID3TagValues tags;
};

ID3TagValues readFileTags(const QUrl& url)
{
    const auto metadata = TagLibMetadata::open(url, true, nullptr);
    return metadata ? metadata->readTags().value_or(ID3TagValues()) : ID3TagValues();
}

EpisodeFile readEpisodeFile(const QUrl& url)
{
    return EpisodeFile{FileSystemMetadata(url), readFileTags(url)};
}

// Records the title as the template's last episode title. The store may wait for another
// program's lock, so this runs on a thread of its own with a connection of its own; a title that
// cannot be recorded only leaves next time's hint behind.
void rememberLastEpisodeTitle(qint64 templateID, const QString& title)
{
    MainQueue::runInBackground([templateID, title] {
        const std::optional<Database> database = Database::open();
        if (!database || !ID3Template(*database, templateID, QString()).updateLastEpisodeTitle(title))
            qWarning("The episode title could not be recorded as the template's last one");
    });
}

} // namespace

EditMetadataViewModel::EditMetadataViewModel(std::optional<qint64> templateID, std::optional<QUrl> fileURL,
                                             PodcastID3TagWriter::Clock today, TemplateRead read)
    : fileURL_(std::move(fileURL)), today_(std::move(today))
{
    if (!templateID)
        return;
    if (read == TemplateRead::Now) {
        TemplateSnapshot snapshot = readTemplate(*templateID);
        template_ = std::move(snapshot.record);
        templatePodcastFields_ = snapshot.podcastFields;
        return;
    }
    loadingTemplate_ = true;
    readsFileInBackground_ = true;
    MainQueue::runInBackground([this, alive = std::weak_ptr<int>(alive_), id = *templateID, url = fileURL_] {
        TemplateSnapshot snapshot = readTemplate(id);
        std::optional<EpisodeFile> episode;
        if (url)
            episode = readEpisodeFile(*url);
        MainQueue::performOnMainThread(
            [this, alive, snapshot = std::move(snapshot), episode = std::move(episode)]() mutable {
                if (alive.expired())
                    return;
                template_ = std::move(snapshot.record);
                templatePodcastFields_ = snapshot.podcastFields;
                if (episode) {
                    fileMetadata_ = std::move(episode->facts);
                    fileTags_ = std::move(episode->tags);
                }
                loadingTemplate_ = false;
                if (delegate)
                    delegate->editMetadataViewModelDidFillTemplate(*this);
            });
    });
}

EditMetadataViewModel::~EditMetadataViewModel() = default;

void EditMetadataViewModel::startCheck()
{
    if (checking_ || !fileURL_ || !fileURL_->isLocalFile())
        return;
    checkStopped_ = false;
    checkProgress_ = std::make_shared<std::atomic<double>>(0.0);
    // The screen hears of progress in whole percents, so a long episode sends a hundred updates.
    const auto reported = std::make_shared<std::atomic<int>>(-1);
    const auto progress = [this, alive = std::weak_ptr<int>(alive_), fraction = checkProgress_,
                           reported](double now) {
        fraction->store(now);
        const int percent = int(now * 100);
        if (reported->exchange(percent) == percent)
            return;
        MainQueue::async([this, alive] {
            if (!alive.expired() && checking_ && delegate)
                delegate->editMetadataViewModelDidUpdateCheck(*this);
        });
    };
    checking_ = std::make_unique<BackgroundJob<CheckedAudio>>(
        [path = fileURL_->toLocalFile(), progress](std::stop_token stop) {
            CheckedAudio result{analyseEpisodeAudio(path, progress, stop), {}};
            if (result.audio)
                result.ownTags = readEpisodeCheckTags(path);
            return result;
        },
        [this](CheckedAudio result) {
            checking_.reset();
            checkStopped_ = !result.audio;
            if (result.audio)
                checked_ = std::move(result);
            if (delegate)
                delegate->editMetadataViewModelDidUpdateCheck(*this);
        });
}

void EditMetadataViewModel::cancelCheck()
{
    if (checking_)
        checking_->cancel();
}

std::optional<EpisodeCheckReport> EditMetadataViewModel::checkReport(const QString& title) const
{
    if (!checked_ || !checked_->audio)
        return std::nullopt;
    EpisodeCheckTags tags = checked_->ownTags;
    tags.values.title = title;
    tags.values.podcast.chapters = chapters();
    tags.tagWillBeWritten = true;
    // A save writes the template's artwork; without one the episode keeps its own cover.
    if (artworkCheck_)
        tags.artwork = artworkCheck_;
    return episodeCheckReport(*checked_->audio, tags);
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

QString EditMetadataViewModel::errorText() const
{
    if (!errorMessageFromSaving_ || errorMessageFromSaving_->isEmpty())
        return {};
    QString text = *errorMessageFromSaving_;
    if (!saveFailureReason_.isEmpty() && saveFailureReason_ != text)
        text += QLatin1Char('\n') + saveFailureReason_;
    if (failureLeftFileUnchanged_)
        text += Text::tr("\nThe file was not changed.");
    return text;
}

const ID3TagValues& EditMetadataViewModel::fileTags() const
{
    static const ID3TagValues notReadYet;
    if (!fileTags_ && readsFileInBackground_)
        return notReadYet;
    if (!fileTags_)
        fileTags_ = fileURL_ ? readFileTags(*fileURL_) : ID3TagValues();
    return *fileTags_;
}

QString EditMetadataViewModel::templateValue(const std::optional<QString> EpisodeTags::*field) const
{
    return template_ ? (template_->tags.*field).value_or(QString()) : QString();
}

QString EditMetadataViewModel::title() const
{
    return fileTags().title.value_or(templateValue(&EpisodeTags::title));
}

QString EditMetadataViewModel::podcast() const
{
    return fileTags().album.value_or(templateValue(&EpisodeTags::album));
}

QString EditMetadataViewModel::artist() const
{
    return fileTags().artist.value_or(templateValue(&EpisodeTags::artist));
}

QString EditMetadataViewModel::episodeDescription() const
{
    return fileTags().comment.value_or(templateValue(&EpisodeTags::comment));
}

QString EditMetadataViewModel::previousEpisodeFormattedTitleString() const
{
    return template_ ? template_->lastEpisodeTitle.value_or(QString()) : QString();
}

std::optional<QUrl> EditMetadataViewModel::artworkURL() const
{
    return template_ ? template_->artworkURL : std::nullopt;
}

PodcastFieldTexts EditMetadataViewModel::podcastFields() const
{
    return PodcastFieldTexts::from(fileTags().podcast, templatePodcastFields_);
}

void EditMetadataViewModel::loadArtwork()
{
    const std::optional<QUrl> url = artworkURL();
    if (!url || artworkCheck_ || artworkLoading_)
        return;
    const QString path = url->isLocalFile() ? url->toLocalFile() : QString();
    artworkLoading_ = std::make_unique<BackgroundJob<ArtworkCheck>>(
        [path](std::stop_token stop) { return checkArtwork(path, PreviewSide, std::move(stop)); },
        [this](ArtworkCheck check) {
            artworkLoading_.reset();
            artworkCheck_ = std::move(check);
            if (delegate)
                delegate->editMetadataViewModelDidLoadArtwork(*this);
        });
}

QString EditMetadataViewModel::artworkFacts() const
{
    return artworkCheck_ && artworkCheck_->isAccepted() ? artworkCheck_->description : QString();
}

QString EditMetadataViewModel::artworkNotice() const
{
    if (!artworkCheck_)
        return {};
    if (artworkCheck_->verdict == ArtworkCheck::Verdict::Refused)
        return Text::tr("The template\u2019s artwork cannot be used: ") + artworkCheck_->message;
    return artworkCheck_->message;
}

bool EditMetadataViewModel::artworkIsMissing() const
{
    return artworkCheck_ && !artworkCheck_->isAccepted();
}

QString EditMetadataViewModel::missingArtworkQuestion() const
{
    return artworkNotice() + Text::tr("\n\nSave and publish the episode without artwork? Its file keeps any "
                                      "picture it already has.");
}

std::optional<EmbeddedArtwork> EditMetadataViewModel::artworkToWrite() const
{
    return artworkCheck_ && artworkCheck_->isAccepted() ? artworkCheck_->artwork : std::nullopt;
}

void EditMetadataViewModel::loadChapterFile(const QUrl& url)
{
    const QString path = url.toLocalFile();
    const FileSystemMetadata* metadata = fileMetadata();
    const qint64 length = metadata ? metadata->durationMilliseconds().value_or(0) : 0;
    chaptersLoading_ = std::make_unique<BackgroundJob<ChapterFile>>(
        [path, length](std::stop_token) {
            if (const std::optional<QString> text = readChapterText(path))
                return parseChapterFile(*text, length);
            ChapterFile unreadable;
            unreadable.problems << Text::tr("\u201c%1\u201d cannot be read as a chapter list.")
                                       .arg(QFileInfo(path).fileName());
            return unreadable;
        },
        [this, name = QFileInfo(path).fileName()](ChapterFile file) {
            chaptersLoading_.reset();
            chapterProblems_ = file.problems;
            if (file.isValid()) {
                loadedChapters_ = std::move(file.chapters);
                loadedChapterFileName_ = name;
            }
            if (delegate)
                delegate->editMetadataViewModelDidLoadChapters(*this);
        });
}

std::vector<ChapterMark> EditMetadataViewModel::chapters() const
{
    return loadedChapters_ ? *loadedChapters_
                           : fileTags().podcast.chapters.value_or(std::vector<ChapterMark>());
}

QString EditMetadataViewModel::chapterSummary() const
{
    const std::size_t count = chapters().size();
    const QString chapterCount = count == 1 ? Text::tr("1 chapter") : Text::tr("%1 chapters").arg(count);
    if (loadedChapters_)
        return Text::tr("%1 from \u201c%2\u201d: written on Save.").arg(chapterCount, loadedChapterFileName_);
    if (count)
        return Text::tr("%1 in the episode: kept unless you load others.").arg(chapterCount);
    return Text::tr("No chapters.");
}

const FileSystemMetadata* EditMetadataViewModel::fileMetadata() const
{
    if (!fileURL_)
        return nullptr;
    if (!fileMetadata_ && !readsFileInBackground_)
        fileMetadata_.emplace(*fileURL_);
    return fileMetadata_ ? &*fileMetadata_ : nullptr;
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

bool EditMetadataViewModel::save(const ID3TagValues& form,
                                 const std::optional<PodcastFieldTexts>& podcastFields)
{
    const std::optional<QString>& title = form.title;
    // The tag write and the store's record of the title each go to a worker.
    Q_ASSERT(MainQueue::isMainThread());
    if (saving_)
        return false;
    saveFailureReason_.clear();
    failureLeftFileUnchanged_ = false;
    if (!title || title->trimmed().isEmpty()) {
        setErrorMessageFromSaving(EpisodeTitleMissing);
        return false;
    }
    if (const QStringList problems = podcastFields ? podcastFields->problems() : QStringList();
        !problems.isEmpty()) {
        setErrorMessageFromSaving(problems.join(QLatin1Char('\n')));
        return false;
    }
    if (template_)
        rememberLastEpisodeTitle(template_->id, *title);

    if (!fileURL_ || fileURL_->isEmpty()) {
        saveFailureReason_ = FilePathNotProvided;
        setErrorMessageFromSaving(FilePathNotProvided);
        return false;
    }

    PodcastID3TagWriter writer(*fileURL_, today_);
    writer.setTitle(*title);
    if (form.album)
        writer.setPodcast(*form.album);
    if (form.artwork)
        writer.setArtwork(*form.artwork);
    if (form.artist)
        writer.setArtist(*form.artist);
    if (form.comment)
        writer.setDescription(*form.comment);
    if (podcastFields)
        writer.values.podcast = podcastFields->tagValues();
    writer.values.podcast.chapters = loadedChapters_;
    saving_ = std::make_unique<BackgroundTagWrite>(
        std::move(writer),
        [this](const std::optional<TagLibMetadataError>& failure) { finishSaving(failure); });
    return true;
}

void EditMetadataViewModel::finishSaving(const std::optional<TagLibMetadataError>& failure)
{
    saving_.reset();
    // The file's facts (its size above all) and tags have changed; its chapters are the loaded ones.
    // The window keeps showing the old facts until the new ones are read.
    if (readsFileInBackground_ && fileURL_) {
        const quint64 read = ++fileReads_;
        MainQueue::runInBackground([this, alive = std::weak_ptr<int>(alive_), url = *fileURL_, read] {
            EpisodeFile episode = readEpisodeFile(url);
            MainQueue::performOnMainThread([this, alive, read, episode = std::move(episode)]() mutable {
                if (alive.expired() || read != fileReads_)
                    return;
                fileMetadata_ = std::move(episode.facts);
                fileTags_ = std::move(episode.tags);
                if (delegate)
                    delegate->editMetadataViewModelDidReadEpisodeFile(*this);
            });
        });
    } else {
        fileMetadata_.reset();
        fileTags_.reset();
    }
    if (!failure && loadedChapters_) {
        // Until the file is read again, the chapters just written stand in for the file's own, so a
        // second Save before that read keeps them.
        if (fileTags_)
            fileTags_->podcast.chapters = std::move(*loadedChapters_);
        loadedChapters_.reset();
    }
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
