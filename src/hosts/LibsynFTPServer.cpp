#include "hosts/LibsynFTPServer.h"

#include "ftp/FTPClient.h"
#include "platform/MainQueue.h"

namespace airlark {

const QString LibsynFTPServerSetting::DefaultHost = QStringLiteral("ftp-lax.libsyn.com");

const LibsynFTPServerSetting& LibsynFTPServerSetting::current()
{
    static const LibsynFTPServerSetting setting = [] {
        LibsynFTPServerSetting read;
        read.host = qEnvironmentVariable("AIRLARK_LIBSYN_FTP_HOST").trimmed();
        if (read.host.isEmpty())
            read.host = DefaultHost;
        const QString security = qEnvironmentVariable("AIRLARK_LIBSYN_FTP_SECURITY").trimmed().toLower();
        if (security == QLatin1String("explicit"))
            read.security = FTPSecurity::ExplicitTLS;
        else if (security == QLatin1String("none"))
            read.security = FTPSecurity::None;
        else if (!security.isEmpty() && security != QLatin1String("implicit"))
            qWarning("AIRLARK_LIBSYN_FTP_SECURITY is \"%s\"; using implicit TLS", qPrintable(security));
        bool valid = false;
        const int port = qEnvironmentVariableIntValue("AIRLARK_LIBSYN_FTP_PORT", &valid);
        const int defaultPort = read.security == FTPSecurity::ImplicitTLS ? ImplicitTLSPort : PlainPort;
        read.port = valid && port > 0 && port <= 65535 ? port : defaultPort;
        return read;
    }();
    return setting;
}

namespace LibsynFTPDestination {

std::optional<QString> directoryFor(LibsynAccountFeedType feedType)
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

std::optional<QString> folderFor(const QString& username, LibsynAccountFeedType feedType)
{
    const auto directory = directoryFor(feedType);
    return directory ? std::optional(username + *directory) : std::nullopt;
}

std::optional<QString> destinationFor(const QString& username, LibsynAccountFeedType feedType)
{
    const auto folder = folderFor(username, feedType);
    return folder ? std::optional(LibsynFTPServerSetting::current().host + QLatin1Char('/') + *folder)
                  : std::nullopt;
}

std::shared_ptr<FTPServer> serverFor(const QString& username, const QString& password, const QString& email,
                                     LibsynAccountFeedType feedType, bool allowsUnencryptedFTP)
{
    const auto destination = destinationFor(username, feedType);
    if (!destination)
        return nullptr;
    const auto& setting = LibsynFTPServerSetting::current();
    // Libsyn's FTP log-in name is the account's e-mail address; the user name only names the folder.
    auto server = FTPServer::serverWithDestination(*destination, email, password);
    if (allowsUnencryptedFTP && setting.security != FTPSecurity::None) {
        server->setSecurity(FTPSecurity::None);
        server->setPort(setting.security == FTPSecurity::ImplicitTLS ? LibsynFTPServerSetting::PlainPort
                                                                     : setting.port);
    } else {
        server->setSecurity(setting.security);
        server->setPort(setting.port);
    }
    return server;
}

} // namespace LibsynFTPDestination

namespace LibsynLogInCheck {

void run(std::shared_ptr<FTPServer> server, std::function<void(const FTPFailure& failure)> completion)
{
    MainQueue::runInBackground([server = std::move(server), completion = std::move(completion)]() mutable {
        FTPClient client;
        const bool loggedIn = client.checkLoginAndDirectory(server.get());
        FTPFailure failure = client.failureDetail();
        if (!loggedIn && !failure.failed())
            failure.kind = FTPFailureKind::Other; // the record was refused before any connection
        MainQueue::performOnMainThread(
            [completion = std::move(completion), failure = std::move(failure)] { completion(failure); });
    });
}

} // namespace LibsynLogInCheck

} // namespace airlark
