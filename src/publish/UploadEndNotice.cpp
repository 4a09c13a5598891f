#include "publish/UploadEndNotice.h"

#include "publish/UploadPodcastViewModel.h"

#include <QCoreApplication>

namespace airlark {

namespace {

class Text
{
    Q_DECLARE_TR_FUNCTIONS(UploadEndNotice)
};

} // namespace

std::optional<UploadEndNotice> uploadEndNotice(const UploadPodcastViewModel& viewModel)
{
    switch (viewModel.uploadState()) {
    case UploadPodcastState::Successful: {
        QString body = Text::tr("%1 was uploaded to %2.").arg(viewModel.fileName(), viewModel.accountText());
        if (const auto reason = viewModel.failureReasonFromServer())
            body += QLatin1Char('\n') + *reason;
        return UploadEndNotice{Text::tr("Episode published"), body};
    }
    case UploadPodcastState::Failed: {
        QString body =
            Text::tr("%1 was not uploaded to %2.").arg(viewModel.fileName(), viewModel.accountText());
        if (const auto reason = viewModel.failureReasonFromServer())
            body += QLatin1Char('\n') + *reason;
        return UploadEndNotice{Text::tr("Upload failed"), body};
    }
    case UploadPodcastState::Cancelled:
    case UploadPodcastState::Unstarted:
    case UploadPodcastState::InProgress:
        break;
    }
    return std::nullopt;
}

} // namespace airlark
