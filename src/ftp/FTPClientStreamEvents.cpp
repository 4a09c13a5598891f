// How FTPClient answers its server stream's events on the transfer thread: data moves through the
// one inline buffer, and each transfer ends exactly once.
#include "ftp/FTPClient.h"
#include "ftp/FTPRunLoop.h"
#include "ftp/FTPStream.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <span>
#include <sys/stat.h>

namespace airlark {

void FTPClient::streamHandleEvent(FTPStream& stream, FTPStreamEvent event)
{
    const Action action = action_;
    switch (event) {
    case FTPStreamEvent::CanAcceptBytes:
        if (action == Action::Upload)
            handleUploadSpaceAvailable();
        else
            streamDidEnd(false, FTPStreamFailureReason::GeneralError);
        break;
    case FTPStreamEvent::HasBytesAvailable:
        if (action == Action::Download)
            handleDownloadBytesAvailable();
        else if (action == Action::ListDirectory)
            handleListingBytesAvailable();
        else
            streamDidEnd(false, FTPStreamFailureReason::GeneralError);
        break;
    case FTPStreamEvent::OpenCompleted:
        if (action == Action::Download) {
            fileSize_ = static_cast<quint64>(std::max<qint64>(0, stream.resourceSize()));
            if (FTPClientDelegate* delegate = delegate_)
                delegate->ftpManagerDownloadProgressDidChange(progressDictionary());
        }
        break;
    case FTPStreamEvent::ErrorOccurred:
        setFailureDetail(stream.failure());
        streamDidEnd(false, FTPStreamFailureReason::GeneralError);
        break;
    case FTPStreamEvent::EndEncountered:
        handleEndEncountered();
        break;
    }
}

void FTPClient::handleUploadSpaceAvailable()
{
    if (readerAtEnd_)
        return;
    // The file goes straight into curl's own buffer: one read, no copy of ours.
    const std::span<char> window = serverStream_->writeWindow();
    if (window.empty()) {
        streamDidEnd(false, FTPStreamFailureReason::WriteError, FTPFailureKind::ConnectionLost);
        return;
    }
    const qint64 count = fileReader_->read(window.data(), static_cast<qint64>(window.size()));
    if (count == 0) {
        // Only the whole of the file we were given counts as sent: it must not have shrunk,
        // grown or been replaced while we read it.
        if (!uploadedFileIsIntact()) {
            streamDidEnd(false, FTPStreamFailureReason::ReadError, FTPFailureKind::LocalFileError);
            return;
        }
        // The server's confirmation, not the end of the file, ends the transfer.
        readerAtEnd_ = true;
        serverStream_->finishWriting();
        return;
    }
    if (count < 0) {
        streamDidEnd(false, FTPStreamFailureReason::ReadError, FTPFailureKind::LocalFileError);
        return;
    }
    serverStream_->commitWrite(static_cast<std::size_t>(count));
    fileSizeProcessed_ += static_cast<quint64>(count);
    bytesProcessed_ = static_cast<quint64>(count);
    if (FTPClientDelegate* delegate = delegate_)
        delegate->ftpManagerUploadProgressDidChange(progressDictionary());
}

bool FTPClient::uploadedFileIsIntact() const
{
    if (fileSizeProcessed_ != fileSize_)
        return false;
    if (uploadPath_.isEmpty())
        return true;
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(uploadPath_).constData(), &status) == 0 &&
           static_cast<quint64>(status.st_dev) == uploadDevice_ &&
           static_cast<quint64>(status.st_ino) == uploadInode_ &&
           static_cast<quint64>(status.st_size) == fileSize_;
}

void FTPClient::handleDownloadBytesAvailable()
{
    if (bufferOffset_ == bufferLimit_) {
        const qint64 count = serverReadStream_->read(buffer_.data(), static_cast<qint64>(buffer_.size()));
        if (count == 0) {
            streamDidEnd(true, FTPStreamFailureReason::None);
            return;
        }
        if (count < 0) {
            streamDidEnd(false, FTPStreamFailureReason::ReadError, FTPFailureKind::ConnectionLost);
            return;
        }
        bufferOffset_ = 0;
        bufferLimit_ = static_cast<std::size_t>(count);
        fileSizeProcessed_ += static_cast<quint64>(count);
        bytesProcessed_ = static_cast<quint64>(count);
        if (FTPClientDelegate* delegate = delegate_)
            delegate->ftpManagerDownloadProgressDidChange(progressDictionary());
    }
    if (bufferOffset_ < bufferLimit_) {
        const qint64 written = fileWriter_->write(buffer_.data() + bufferOffset_,
                                                  static_cast<qint64>(bufferLimit_ - bufferOffset_));
        if (written <= 0) {
            streamDidEnd(false, FTPStreamFailureReason::WriteError, FTPFailureKind::LocalFileError);
            return;
        }
        bufferOffset_ += static_cast<std::size_t>(written);
    }
}

void FTPClient::handleListingBytesAvailable()
{
    const qint64 count = serverReadStream_->read(buffer_.data(), static_cast<qint64>(buffer_.size()));
    if (count == 0) {
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    }
    if (count < 0) {
        streamDidEnd(false, FTPStreamFailureReason::ReadError, FTPFailureKind::ConnectionLost);
        return;
    }
    // An endless or enormous listing ends here, with the memory it took bounded.
    directoryListingLines_ += std::count(buffer_.data(), buffer_.data() + count, '\n');
    if (directoryListingData_.size() + count > MaximumListingBytes ||
        directoryListingLines_ > MaximumListingEntries) {
        directoryListingData_.clear();
        streamDidEnd(false, FTPStreamFailureReason::ReadError, FTPFailureKind::ListingTooLarge);
        return;
    }
    directoryListingData_.append(buffer_.data(), count);
}

void FTPClient::handleEndEncountered()
{
    switch (action_.load()) {
    case Action::CreateFolder:
    case Action::ListDirectory:
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    case Action::Upload:
        // The server ended the transfer before we had sent the whole file.
        if (!readerAtEnd_) {
            streamDidEnd(false, FTPStreamFailureReason::WriteError, FTPFailureKind::ConnectionLost);
            return;
        }
        if (const qint64 size = serverStream_->serverFileSize(); size >= 0) {
            // A server that lost the tail of the data (a data connection cut short, which it took
            // for the end of the file) still answers 226: its count of the bytes tells.
            if (static_cast<quint64>(size) != fileSize_) {
                FTPFailure failure;
                failure.kind = FTPFailureKind::IncompleteOnServer;
                failure.host = serverHost_;
                failure.serverSize = size;
                setFailureDetail(failure);
                streamDidEnd(false, FTPStreamFailureReason::WriteError);
                return;
            }
        } else {
            uploadSizeUnknown_ = true;
        }
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    case Action::Download:
        while (bufferOffset_ < bufferLimit_) {
            const qint64 written = fileWriter_->write(buffer_.data() + bufferOffset_,
                                                      static_cast<qint64>(bufferLimit_ - bufferOffset_));
            if (written <= 0) {
                streamDidEnd(false, FTPStreamFailureReason::WriteError, FTPFailureKind::LocalFileError);
                return;
            }
            bufferOffset_ += static_cast<std::size_t>(written);
        }
        if (fileSize_ != 0 && fileSizeProcessed_ != fileSize_) {
            streamDidEnd(false, FTPStreamFailureReason::ReadError, FTPFailureKind::ConnectionLost);
            return;
        }
        streamDidEnd(true, FTPStreamFailureReason::None);
        return;
    case Action::ControlCommand:
    case Action::Finished:
        break;
    }
    streamDidEnd(false, FTPStreamFailureReason::GeneralError);
}

void FTPClient::abortOnTransferThread()
{
    const Action action = action_;
    const bool writing = action == Action::Upload || action == Action::CreateFolder;
    const bool reading = action == Action::ListDirectory || action == Action::Download;
    if ((writing && serverStream_) || (reading && serverReadStream_))
        streamDidEnd(false, FTPStreamFailureReason::Aborted, FTPFailureKind::Aborted);
}

void FTPClient::streamDidEnd(bool success, FTPStreamFailureReason reason, FTPFailureKind kind)
{
    FTPRunLoop* loop = nullptr;
    {
        std::lock_guard lock(loopMutex_);
        if (!currentRunLoop_)
            return; // ended already
        loop = currentRunLoop_;
        currentRunLoop_ = nullptr;
    }
    if (success && fileWriter_ && !fileWriter_->commit()) {
        success = false;
        reason = FTPStreamFailureReason::WriteError;
        kind = FTPFailureKind::LocalFileError;
    }
    // Failures of the stream itself were recorded with the stream's own detail already.
    if (!success && kind != FTPFailureKind::None) {
        FTPFailure failure;
        failure.kind = kind;
        failure.host = serverHost_;
        setFailureDetail(failure);
    }
    const bool uploading = action_ == Action::Upload;
    action_ = Action::Finished;
    serverStreamOpen_ = false;
    streamSuccess_ = success;
    if (!success) {
        failureReason_ = reason;
        if (const char* message = ftpStreamFailureMessage(reason); *message)
            qWarning("%s", message);
    }
    if (uploading && serverStream_)
        uploadReachedServer_ = serverStream_->storAccepted();
    for (std::shared_ptr<FTPStream>* stream : {&serverStream_, &serverReadStream_}) {
        if (*stream) {
            (*stream)->removeFromRunLoop();
            (*stream)->setDelegate(nullptr);
            (*stream)->close();
            stream->reset();
        }
    }
    fileReader_.reset();
    fileWriter_.reset(); // an uncommitted save file removes what it wrote
    loop->stop();
}

} // namespace airlark
