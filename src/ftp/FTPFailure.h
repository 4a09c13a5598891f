#pragma once

#include <QDateTime>
#include <QString>

namespace airlark {

// What went wrong in an FTP operation, precisely enough to tell the user what to do next.
enum class FTPFailureKind
{
    None,
    LogInRefused,         // the server refused the user name or password (530)
    FolderMissing,        // the destination's directory cannot be entered (550 on CWD)
    CannotConnect,        // the host name does not resolve or nothing answers on the port
    ConnectionLost,       // the connection broke off in the middle of the conversation
    TimedOut,             // the server stopped answering
    ServerClosedSession,  // the server refused or ended the session (421)
    RefusedFile,          // the server refused to take the file
    RefusedFileAfterData, // the server received the file, then refused it (quota, name, ...)
    RefusedCommand,       // the server refused a command (delete, change mode, create folder)
    TLSHandshakeFailed,   // the encrypted connection could not be set up
    CertificateRejected,  // the server's certificate does not verify or names another host
    TLSNotOffered,        // TLS was asked for and the server does not speak it
    ListingTooLarge,      // the directory listing went past the client's limits
    LocalFileError,       // the local file could not be read or written, or changed while sent
    Aborted,              // FTPClient::abort() ended the operation
    AlreadyOnServer,      // the folder has a file of the upload's name already (its size in serverSize)
    IncompleteOnServer,   // after the upload the server holds serverSize bytes, not the whole file
    SizeUnverified,       // after the upload the server would not tell the file's size
    Other,
};

struct FTPFailure
{
    FTPFailureKind kind = FTPFailureKind::None;
    QString host;           // the server's host name
    QString serverReply;    // the server's last reply, e.g. "552 Quota exceeded" (may be empty)
    QString reason;         // the library's description, e.g. the TLS or certificate problem
    qint64 serverSize = -1; // the size of the server's file, where the kind is about one
    QDateTime serverTime;   // when the server's file was last written, if the server said

    bool failed() const { return kind != FTPFailureKind::None; }
    friend bool operator==(const FTPFailure&, const FTPFailure&) = default;
};

// A short English name of the kind, for logs and test output.
const char* ftpFailureKindName(FTPFailureKind kind);

} // namespace airlark
