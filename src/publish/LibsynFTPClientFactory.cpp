#include "publish/LibsynFTPClientFactory.h"

#include "ftp/FTPClient.h"
#include "hosts/LibsynFTPServer.h"

namespace airlark {

std::shared_ptr<FTPTransferMonitor> LibsynFTPClientFactory::makeClient(
    const QString& username, const QString& password, const QString& email, LibsynAccountFeedType feedType,
    std::shared_ptr<FTPTransferMonitorDelegate> delegate, bool allowsUnencryptedFTP) const
{
    auto server = LibsynFTPDestination::serverFor(username, password, email, feedType, allowsUnencryptedFTP);
    if (!server) {
        qWarning("Feed type cannot be Undefined");
        return nullptr;
    }
    return FTPTransferMonitor::create(std::make_shared<FTPClient>(), std::move(server), std::move(delegate));
}

} // namespace airlark
