#include "publish/LibsynFTPClientFactory.h"

#include "ftp/FTPClient.h"
#include "ftp/FTPServer.h"

namespace airlark {

const QString LibsynFTPServerSetting::DefaultHost = QStringLiteral("ftp-lax.libsyn.com");

const LibsynFTPServerSetting& LibsynFTPServerSetting::current()
{
    static const LibsynFTPServerSetting setting = [] {
        LibsynFTPServerSetting read;
        read.host = qEnvironmentVariable("AIRLARK_LIBSYN_FTP_HOST").trimmed();
        if (read.host.isEmpty())
            read.host = DefaultHost;
        bool valid = false;
        const int port = qEnvironmentVariableIntValue("AIRLARK_LIBSYN_FTP_PORT", &valid);
        read.port = valid && port > 0 && port <= 65535 ? port : DefaultPort;
        return read;
    }();
    return setting;
}

std::optional<QString> LibsynFTPClientFactory::directoryFor(LibsynAccountFeedType feedType)
{
    switch (feedType) {
    case LibsynAccountFeedType::External:
        return QStringLiteral("/public");
    case LibsynAccountFeedType::Libsyn:
        return QStringLiteral("/quickcast");
    case LibsynAccountFeedType::Undefined:
        break;
    }
    return std::nullopt;
}

std::optional<QString> LibsynFTPClientFactory::destinationFor(const QString& username,
                                                              LibsynAccountFeedType feedType)
{
    const auto directory = directoryFor(feedType);
    if (!directory)
        return std::nullopt;
    return LibsynFTPServerSetting::current().host + QLatin1Char('/') + username + *directory;
}

std::shared_ptr<FTPTransferMonitor> LibsynFTPClientFactory::makeClient(const QString& username,
                                                                       const QString& password,
                                                                       const QString& email,
                                                                       LibsynAccountFeedType feedType,
                                                                       std::shared_ptr<FTPTransferMonitorDelegate> delegate) const
{
    const auto destination = destinationFor(username, feedType);
    if (!destination) {
        qWarning("Feed type cannot be Undefined");
        return nullptr;
    }
    auto manager = std::make_shared<FTPClient>();
    // Libsyn's FTP log-in name is the account's e-mail address; the user name only names the folder.
    auto server = FTPServer::serverWithDestination(*destination, email, password);
    server->setPort(LibsynFTPServerSetting::current().port);
    return FTPTransferMonitor::create(std::move(manager), std::move(server), std::move(delegate));
}

} // namespace airlark
