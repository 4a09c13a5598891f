#pragma once

#include "platform/MainQueue.h"
#include "publish/UploadPodcastViewModel.h"
#include "store/Database.h"

#include <QRandomGenerator>
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
        QString buttonText;
        QString statusText;
    };

    void uploadPodcastViewModelUploadStatusDidChange(UploadPodcastViewModel& viewModel) override
    {
        if (!MainQueue::isMainThread())
            offMainThread = true;
        snapshots.push_back({viewModel.uploadState(), viewModel.uploadButtonText(), viewModel.statusText()});
    }

    std::vector<Snapshot> snapshots;
    std::atomic<bool> offMainThread = false;
};

// Makes the store number the next accounts from a random point far from 1. A Libsyn account's
// password item is keyed by its identifier, and every test process of a session shares the one
// keyring: processes running side by side must not use each other's items. The row it leaves is a
// placeholder (no name, no host), as an abandoned SoundCloud connection leaves one.
inline bool spreadAccountIdentifiers(const Database& database)
{
    const qint64 start = QRandomGenerator::global()->bounded(Q_INT64_C(1000000), Q_INT64_C(1000000000000));
    return !database.connection().execute(
        QStringLiteral("INSERT INTO \"account\" (\"id\", \"display_name\", \"host\") VALUES (%1, '', '')")
            .arg(start));
}

} // namespace airlark::test
