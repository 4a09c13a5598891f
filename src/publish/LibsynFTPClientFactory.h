#pragma once

#include "publish/FTPTransferMonitor.h"
#include "publish/FTPTransferMonitorDelegate.h"
#include "store/LibsynAccountFeedType.h"

#include <QString>

#include <memory>
#include <optional>

namespace airlark {

// Where Libsyn's FTP server is. The host is Libsyn's FTP host unless the environment names
// another in AIRLARK_LIBSYN_FTP_HOST (and AIRLARK_LIBSYN_FTP_PORT); both are read once, on first
// use, so a whole run talks to one server.
struct LibsynFTPServerSetting
{
    static const QString DefaultHost; // "ftp-lax.libsyn.com"
    static constexpr int DefaultPort = 21;

    QString host; // no scheme, no trailing "/"
    int port = DefaultPort;

    static const LibsynFTPServerSetting& current();
};

// Puts together the FTP client, server record and transfer monitor for a Libsyn account: the
// FTP log-in name is the e-mail address; files go to "<host>/<user name>/quickcast" for a Libsyn
// feed and "<host>/<user name>/public" for an external feed.
class LibsynFTPClientFactory
{
public:
    virtual ~LibsynFTPClientFactory() = default;

    // The directory after the user name for a feed type; none for Undefined.
    static std::optional<QString> directoryFor(LibsynAccountFeedType feedType);

    // The server's destination for an account: host, "/", user name, directory. None for Undefined.
    static std::optional<QString> destinationFor(const QString& username, LibsynAccountFeedType feedType);

    // A monitor ready for logIn or uploadFile. Refuses the feed type Undefined: logs "Feed type
    // cannot be Undefined" and returns null. Does no network work.
    virtual std::shared_ptr<FTPTransferMonitor> makeClient(const QString& username, const QString& password,
                                                           const QString& email, LibsynAccountFeedType feedType,
                                                           std::shared_ptr<FTPTransferMonitorDelegate> delegate) const;
};

} // namespace airlark
