#pragma once

#include <QString>
#include <optional>

namespace airlark {

class UploadPodcastViewModel;

// What the desktop notification says when an upload ends while Airlark's window is in the
// background: the podcaster learns which episode went where, or that it did not, without
// switching back.
struct UploadEndNotice
{
    QString summary;
    QString body;
};

// None while the upload has not ended. Main thread (it may read the account from the store).
std::optional<UploadEndNotice> uploadEndNotice(const UploadPodcastViewModel& viewModel);

} // namespace airlark
