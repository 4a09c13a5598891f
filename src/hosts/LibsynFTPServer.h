#pragma once

#include "ftp/FTPFailure.h"
#include "ftp/FTPServer.h"
#include "store/LibsynAccountFeedType.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace airlark {

// Where Libsyn's FTP server is and how it is reached: FTP over implicit TLS on port 990 unless the
// environment says otherwise (AIRLARK_LIBSYN_FTP_HOST, AIRLARK_LIBSYN_FTP_PORT and
// AIRLARK_LIBSYN_FTP_SECURITY, one of "implicit", "explicit", "none"); read once, on first use, so
// a whole run talks to one server.
struct LibsynFTPServerSetting
{
    static const QString DefaultHost; // "ftp-lax.libsyn.com"
    static constexpr int ImplicitTLSPort = 990;
    static constexpr int PlainPort = 21;

    QString host; // no scheme, no trailing "/"
    int port = ImplicitTLSPort;
    FTPSecurity security = FTPSecurity::ImplicitTLS;

    static const LibsynFTPServerSetting& current();
};

// The rules of a Libsyn account's FTP destination: the log-in name is the account's e-mail address,
// and files go to "<host>/<user name>/quickcast" for a Libsyn feed and "<host>/<user name>/public"
// for an external feed.
namespace LibsynFTPDestination {

// The directory after the user name for a feed type ("/quickcast", "/public"); none for Undefined.
std::optional<QString> directoryFor(LibsynAccountFeedType feedType);
// "<user name>/quickcast" or "<user name>/public", as the user knows the folder; none for Undefined.
std::optional<QString> folderFor(const QString& username, LibsynAccountFeedType feedType);
// The server's destination for an account: host, "/", user name, directory. None for Undefined.
std::optional<QString> destinationFor(const QString& username, LibsynAccountFeedType feedType);
// The server record of an account, with the setting's port and security, or plain FTP (on port 21
// when the setting is implicit TLS, else on the setting's port) when the account allows it.
// None for Undefined.
std::shared_ptr<FTPServer> serverFor(const QString& username, const QString& password, const QString& email,
                                     LibsynAccountFeedType feedType, bool allowsUnencryptedFTP);

} // namespace LibsynFTPDestination

// The Libsyn pane's log-in check: logs in and enters the show's folder on a background thread of
// its own, and reports on the main thread. The running check holds everything it needs, so the
// caller keeps nothing; `completion` gets None when the log-in succeeded and the folder exists.
namespace LibsynLogInCheck {
void run(std::shared_ptr<FTPServer> server, std::function<void(const FTPFailure& failure)> completion);
} // namespace LibsynLogInCheck

} // namespace airlark
