#include "publish/LibsynUploadFailureText.h"

#include <QCoreApplication>
#include <QLocale>

namespace airlark {

namespace {

// In the user's language, as the upload step shows it.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(LibsynUploadFailureText)
};

} // namespace

QString shownDataSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString libsynUploadFailureText(const FTPFailure& failure, const QString& email, const QString& folder,
                                const QString& fileName, qint64 fileSize)
{
    const QString host = failure.host.isEmpty() ? QStringLiteral("Libsyn") : failure.host;
    const QString reply = failure.serverReply.isEmpty() ? failure.reason : failure.serverReply;
    switch (failure.kind) {
    case FTPFailureKind::None:
        break;
    case FTPFailureKind::LogInRefused:
        return Text::tr("Libsyn refused the log-in for %1: check the FTP password in your Libsyn account")
            .arg(email);
    case FTPFailureKind::FolderMissing:
        return Text::tr("The folder %1 does not exist on Libsyn: check the show slug").arg(folder);
    case FTPFailureKind::CannotConnect:
        return Text::tr("Cannot reach %1: check the internet connection and try again").arg(host);
    case FTPFailureKind::ConnectionLost:
        return Text::tr("The connection to %1 was lost: try again").arg(host);
    case FTPFailureKind::TimedOut:
        return Text::tr("%1 stopped answering: try again later").arg(host);
    case FTPFailureKind::ServerClosedSession:
        return Text::tr("%1 closed the connection (%2): try again later").arg(host, reply);
    case FTPFailureKind::RefusedFile:
        return Text::tr("Libsyn refused the file: %1").arg(reply);
    case FTPFailureKind::RefusedFileAfterData:
        return Text::tr("Libsyn refused the file after receiving it: %1").arg(reply);
    case FTPFailureKind::CertificateRejected:
        return Text::tr("The certificate of %1 is not valid (%2): nothing was sent")
            .arg(host, failure.reason);
    case FTPFailureKind::TLSHandshakeFailed:
        return Text::tr("No secure connection to %1 (%2): nothing was sent").arg(host, failure.reason);
    case FTPFailureKind::TLSNotOffered:
        return Text::tr("%1 does not offer an encrypted connection: nothing was sent").arg(host);
    case FTPFailureKind::LocalFileError:
        return Text::tr("The episode file could not be read, or changed while it was sent: try again");
    case FTPFailureKind::Aborted:
        return Text::tr("The upload was cancelled");
    case FTPFailureKind::AlreadyOnServer: {
        const QString facts = failure.serverTime.isValid()
                                  ? Text::tr("%1, uploaded %2")
                                        .arg(shownDataSize(failure.serverSize),
                                             QLocale().toString(failure.serverTime.toLocalTime().date(),
                                                                QStringLiteral("d MMM")))
                                  : shownDataSize(failure.serverSize);
        return Text::tr("\u201c%1\u201d is already on Libsyn (%2)").arg(fileName, facts);
    }
    case FTPFailureKind::IncompleteOnServer:
        return Text::tr("Libsyn holds %1 of %2: the upload was cut short")
            .arg(shownDataSize(failure.serverSize), shownDataSize(fileSize));
    case FTPFailureKind::SizeUnverified:
        return Text::tr("Libsyn did not say how much of the file it holds, so the upload cannot be "
                        "confirmed: try again");
    case FTPFailureKind::RefusedCommand:
    case FTPFailureKind::ListingTooLarge:
    case FTPFailureKind::Other:
        return reply.isEmpty() ? Text::tr("Server error") : Text::tr("Libsyn: %1").arg(reply);
    }
    return Text::tr("Server error");
}

} // namespace airlark
