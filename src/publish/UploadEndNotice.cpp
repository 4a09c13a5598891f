#include "publish/UploadEndNotice.h"

#include "publish/UploadPodcastViewModel.h"

#include <QCoreApplication>

namespace airlark {

std::optional<UploadEndNotice> uploadEndNotice(const UploadPodcastViewModel& viewModel)
{
    const auto tr = [](const char* text) { return QCoreApplication::translate("UploadEndNotice", text); };
    switch (viewModel.uploadState()) {
    case UploadPodcastState::Successful:
        return UploadEndNotice{
            tr("Episode published"),
            tr("%1 was uploaded to %2.").arg(viewModel.fileName(), viewModel.accountText())};
    case UploadPodcastState::Failed: {
        QString body = tr("%1 was not uploaded to %2.").arg(viewModel.fileName(), viewModel.accountText());
        if (const auto reason = viewModel.failureReasonFromServer())
            body += QLatin1Char('\n') + *reason;
        return UploadEndNotice{tr("Upload failed"), body};
    }
    case UploadPodcastState::Unstarted:
    case UploadPodcastState::InProgress:
        break;
    }
    return std::nullopt;
}

} // namespace airlark
