#include "publish/FTPTransferMonitor.h"

#include "ftp/FTPListingParser.h"
#include "platform/MainQueue.h"

#include <QVariant>
#include <algorithm>

namespace airlark {

FTPUploadFailureReason uploadFailureReasonFor(FTPStreamFailureReason clientReason)
{
    switch (clientReason) {
    case FTPStreamFailureReason::None:
        return FTPUploadFailureReason::None;
    case FTPStreamFailureReason::GeneralError:
        return FTPUploadFailureReason::ServerError;
    case FTPStreamFailureReason::ReadError:
    case FTPStreamFailureReason::WriteError:
    case FTPStreamFailureReason::Aborted:
        break;
    }
    return FTPUploadFailureReason::TransferError;
}

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Float:
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

} // namespace

FTPProgressReport progressReportFor(const std::optional<QVariantMap>& progress,
                                    FTPStreamFailureReason clientReason)
{
    const QVariant value = progress ? progress->value(QStringLiteral("progress")) : QVariant();
    if (!isNumber(value))
        return {100, FTPUploadFailureReason::ProgressUnavailable};
    // Single precision, as the client computes the fraction, so that 0.999 reads 99, not 100.
    return {static_cast<int>(value.toFloat() * 100.0f), uploadFailureReasonFor(clientReason)};
}

std::shared_ptr<FTPTransferMonitor>
FTPTransferMonitor::create(std::shared_ptr<FTPClient> manager, std::shared_ptr<FTPServer> server,
                           std::shared_ptr<FTPTransferMonitorDelegate> delegate)
{
    return std::shared_ptr<FTPTransferMonitor>(
        new FTPTransferMonitor(std::move(manager), std::move(server), std::move(delegate)));
}

FTPTransferMonitor::FTPTransferMonitor(std::shared_ptr<FTPClient> manager, std::shared_ptr<FTPServer> server,
                                       std::shared_ptr<FTPTransferMonitorDelegate> delegate)
    : delegate_(std::move(delegate)), manager_(std::move(manager)), server_(std::move(server))
{
    Q_ASSERT(manager_);
}

FTPTransferMonitor::~FTPTransferMonitor() = default;

bool FTPTransferMonitor::isPollingProgress() const
{
    return timer_ && timer_->isValid();
}

void FTPTransferMonitor::logIn()
{
    Q_ASSERT(MainQueue::isMainThread());
    MainQueue::runInBackground([self = shared_from_this()] { self->beginLogIn(); });
}

void FTPTransferMonitor::beginLogIn()
{
    canLogIn_ = manager_->checkLogin(server_.get());
    MainQueue::performOnMainThread([self = shared_from_this()] { self->logInFinished(); });
}

void FTPTransferMonitor::logInFinished()
{
    Q_ASSERT(MainQueue::isMainThread());
    if (delegate_)
        delegate_->FTPLogInCompleted(canLogIn_, manager_->failureDetail());
}

void FTPTransferMonitor::uploadFile(const QUrl& fileURL, bool replaceExisting)
{
    Q_ASSERT(MainQueue::isMainThread());
    Q_ASSERT_X(!fileURL_, "FTPTransferMonitor::uploadFile", "a monitor uploads once");
    fileURL_ = fileURL;
    replaceExisting_ = replaceExisting;
    // The timer's tick holds the monitor until uploadFinished lets the timer go.
    timer_ = std::make_unique<RepeatingTimer>(ProgressInterval,
                                              [self = shared_from_this()] { self->progressDidChange(); });
    timer_->start();
    MainQueue::runInBackground([self = shared_from_this()] { self->beginUpload(); });
}

void FTPTransferMonitor::beginUpload()
{
    const bool uploaded =
        !cancelled_ && manager_->uploadFile(*fileURL_, server_.get(),
                                            replaceExisting_ ? FTPClient::ExistingFile::Replace
                                                             : FTPClient::ExistingFile::Keep);
    MainQueue::performOnMainThread([self = shared_from_this(), uploaded] { self->uploadFinished(uploaded); });
}

void FTPTransferMonitor::cancel()
{
    Q_ASSERT(MainQueue::isMainThread());
    cancelled_ = true;
    manager_->abort();
}

void FTPTransferMonitor::removeUploadedFile(std::function<void(const FTPFailure&)> completion)
{
    Q_ASSERT(MainQueue::isMainThread());
    if (!fileURL_ || !manager_->uploadReachedServer()) {
        MainQueue::performOnMainThread([completion = std::move(completion)] { completion({}); });
        return;
    }
    MainQueue::runInBackground([self = shared_from_this(), name = fileURL_->fileName(),
                                completion = std::move(completion)]() mutable {
        FTPFailure failure;
        if (!self->manager_->deleteFileNamed(name, self->server_.get())) {
            failure = self->manager_->failureDetail();
            // A refused delete may only mean that the file was never made: the folder tells.
            const auto listing = self->manager_->contentsOfServer(self->server_.get());
            const bool absent =
                listing && std::none_of(listing->begin(), listing->end(), [&](const auto& entry) {
                    return entry.value(QString::fromLatin1(FTPResourceKey::Name)).toString() == name;
                });
            if (absent)
                failure = {};
            else if (!failure.failed())
                failure.kind = FTPFailureKind::Other;
        }
        MainQueue::performOnMainThread(
            [completion = std::move(completion), failure = std::move(failure)] { completion(failure); });
    });
}

void FTPTransferMonitor::progressDidChange()
{
    Q_ASSERT(MainQueue::isMainThread());
    if (uploadHasFinished_)
        return;
    // An abort that came before the transfer had set up (the client keeps no such request for a
    // later operation) is repeated until the transfer takes it.
    if (cancelled_)
        manager_->abort();
    const auto report = progressReportFor(manager_->progress(), manager_->failureReason());
    failureReason_ = report.failureReason;
    if (delegate_)
        delegate_->FTPUploadDidProgress(report.percentage, report.failureReason);
}

void FTPTransferMonitor::uploadFinished(bool uploaded)
{
    Q_ASSERT(MainQueue::isMainThread());
    uploadHasFinished_ = true;
    // Letting the timer go drops the reference its tick held; this call's own keeps us alive.
    if (timer_)
        timer_->invalidate();
    timer_.reset();

    int percentage = 100;
    FTPFailure failure;
    if (uploaded) {
        failureReason_ = FTPUploadFailureReason::None;
    } else {
        // An upload the client refused before any transfer (a bad server record, a missing file,
        // a stream that could not be set up) records no reason; it failed all the same and must
        // never be reported as a success.
        const auto reason = uploadFailureReasonFor(manager_->failureReason());
        failureReason_ =
            reason == FTPUploadFailureReason::None ? FTPUploadFailureReason::TransferError : reason;
        failure = manager_->failureDetail();
        if (!failure.failed())
            failure.kind = cancelled_ ? FTPFailureKind::Aborted : FTPFailureKind::Other;
        // How far it got, not a full bar that reads as done.
        const quint64 size = manager_->fileSize();
        percentage =
            size == 0 ? 0
                      : static_cast<int>(static_cast<float>(std::min(manager_->fileSizeProcessed(), size)) /
                                         static_cast<float>(size) * 100.0f);
    }
    if (delegate_)
        delegate_->FTPUploadDidFinish(percentage, *failureReason_, failure);
}

} // namespace airlark
