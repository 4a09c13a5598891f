#pragma once

#include "platform/MainQueue.h"
#include "publish/UploadPodcastViewModel.h"

#include <QCoreApplication>

#include <atomic>
#include <vector>

namespace airlark::test {

// What an upload view model showed its screen: one snapshot per status report, taken when the
// report arrived.
class RecordingUploadDelegate : public UploadPodcastViewModelDelegate
{
public:
    struct Snapshot
    {
        UploadPodcastState state;
        int progress;
        QString buttonText;
        bool buttonEnabled;
        QString statusText;
    };

    void uploadPodcastViewModelUploadStatusDidChange(UploadPodcastViewModel& viewModel) override
    {
        if (!MainQueue::isMainThread())
            offMainThread = true;
        snapshots.push_back({viewModel.uploadState(), viewModel.uploadProgress(), viewModel.uploadButtonText(),
                             viewModel.uploadButtonEnabled(), viewModel.statusText()});
    }

    bool ended() const
    {
        return !snapshots.empty() && (snapshots.back().state == UploadPodcastState::Successful ||
                                      snapshots.back().state == UploadPodcastState::Failed);
    }

    std::vector<Snapshot> snapshots;
    std::atomic<bool> offMainThread = false;
};

// Runs every task already queued for the main thread.
inline void drainMainQueue()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace airlark::test
