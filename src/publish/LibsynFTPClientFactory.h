#pragma once

#include "publish/FTPTransferMonitor.h"
#include "publish/FTPTransferMonitorDelegate.h"
#include "store/LibsynAccountFeedType.h"

#include <QString>
#include <memory>

namespace airlark {

// Puts together the FTP client, server record and transfer monitor for a Libsyn account, by the
// rules of hosts/LibsynFTPServer.h: the e-mail address logs in, the user name and feed type name the
// folder, and the connection is encrypted unless the account allows plain FTP.
class LibsynFTPClientFactory
{
public:
    virtual ~LibsynFTPClientFactory() = default;

    // A monitor ready for logIn or uploadFile. Refuses the feed type Undefined: logs "Feed type
    // cannot be Undefined" and returns null. Does no network work.
    virtual std::shared_ptr<FTPTransferMonitor>
    makeClient(const QString& username, const QString& password, const QString& email,
               LibsynAccountFeedType feedType, std::shared_ptr<FTPTransferMonitorDelegate> delegate,
               bool allowsUnencryptedFTP = false) const;
};

} // namespace airlark
