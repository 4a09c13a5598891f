#include "hosts/AddPodcastHostViewModel.h"

#include <QTextBoundaryFinder>

namespace airlark {

qsizetype userPerceivedLength(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

AddPodcastHostViewModel::AddPodcastHostViewModel(PaneProvider libsynPane, PaneProvider soundCloudPane)
    : libsynPane_(std::move(libsynPane)), soundCloudPane_(std::move(soundCloudPane))
{
}

void AddPodcastHostViewModel::setSelectedHost(PodcastHost host)
{
    selectedHost_ = host;
    if (delegate_)
        delegate_->addPodcastHostViewModelDelegateSelectedHostDidSet(*this);
}

void AddPodcastHostViewModel::setIdentifier(const QString& identifier)
{
    identifier_ = identifier;
    if (delegate_)
        delegate_->addPodcastHostViewModelFieldsDidChange(*this);
}

void AddPodcastHostViewModel::setAccessToken(const QString& accessToken)
{
    accessToken_ = accessToken;
    if (delegate_)
        delegate_->addPodcastHostViewModelFieldsDidChange(*this);
}

bool AddPodcastHostViewModel::canSubmit() const
{
    return userPerceivedLength(identifier_) > 0;
}

QWidget* AddPodcastHostViewModel::getAuthenticationViewControllerForSelectedHost() const
{
    const auto& provider = selectedHost_ == PodcastHost::Libsyn ? libsynPane_ : soundCloudPane_;
    return provider ? provider() : nullptr;
}

} // namespace airlark
