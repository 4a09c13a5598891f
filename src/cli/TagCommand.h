#pragma once

#include "cli/CommandLine.h"
#include "metadata/EditMetadataViewModel.h"

#include <QCommandLineParser>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace airlark::cli {

// The fields of the window's episode form, as options. A field left out keeps what the form would
// show: the episode's own tag, else the template's value.
struct TagRequest
{
    qint64 templateID = 0;
    // The title (always given), and the podcast (album), artist and description (comment) when given.
    EpisodeTags tags;
    std::optional<QString> artworkFile;
    // The podcast fields given on the command line, as typed (the save checks them as it checks the
    // form); the others keep what the form would show.
    std::vector<std::pair<QString PodcastFieldTexts::*, QString>> podcastFields;
    std::optional<bool> explicitContent;
    std::optional<QString> chapterFile;
};

void addTagOptions(QCommandLineParser& parser);
// Whether any tag option was given (publish tags only then).
bool hasTagOptions(const QCommandLineParser& parser);
// The request the options describe; on bad usage says why on standard error and gives nothing.
std::optional<TagRequest> tagRequest(const QCommandLineParser& parser);

// Step 2's save of one episode, through its view model: the template's last episode title, then
// the tags written on a worker thread. `done` is called once, on the main thread, later.
class TagStep final : public EditMetadataViewModelDelegate
{
public:
    using Done = std::function<void(ExitStatus)>;

    TagStep(const TagRequest& request, const QUrl& episode, Done done);
    ~TagStep() override;

    void start();
    // Asks the save to stop as soon as it safely can; `done` still reports how it ended.
    void cancel();

    // What the upload sends beside the file, as the window hands it on.
    QString title() const { return request_.tags.title.value_or(QString()); }
    QString description() const;
    std::optional<QUrl> artworkURL() const;

    void editMetadataViewModelDidFillTemplate(EditMetadataViewModel&) override {}
    void editMetadataViewModelDidClearErrorMessageFromSaving(EditMetadataViewModel&) override {}
    void editMetadataViewModelDidSetErrorMessageFromSaving(EditMetadataViewModel&, const QString&) override {}
    void editMetadataViewModelDidFinishSaving(EditMetadataViewModel& viewModel, bool saved) override;
    void editMetadataViewModelDidLoadArtwork(EditMetadataViewModel& viewModel) override;
    void editMetadataViewModelDidLoadChapters(EditMetadataViewModel& viewModel) override;

private:
    // Reading the template's artwork and a chapter file run on workers, as in the window; the save
    // starts once both are in.
    void saveWhenReady();
    void fail(const QString& message);

    TagRequest request_;
    EditMetadataViewModel viewModel_;
    Done done_;
    bool cancelled_ = false;
    bool started_ = false;
};

// "airlark tag": runs the save in the event loop and returns the exit status.
int runTag(const QCommandLineParser& parser);

} // namespace airlark::cli
