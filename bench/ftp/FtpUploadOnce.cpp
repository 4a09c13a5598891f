// One FTPClient upload, as ftp_upload_bench times it against the curl command: a process that
// loads what an upload needs and nothing more. Prints its peak resident memory.
//
//   ftp_upload_once <file> <port> <user> <security number>   (the password on standard input)
#include "ftp/FTPClient.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>
#include <cstdio>
#include <sys/resource.h>

using namespace airlark;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 5)
        return 2;
    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    auto record = FTPServer::serverWithDestination(QStringLiteral("127.0.0.1"), arguments.at(3),
                                                   QString::fromUtf8(input.readAll()));
    record->setPort(arguments.at(2).toInt());
    record->setSecurity(static_cast<FTPSecurity>(arguments.at(4).toInt()));
    FTPClient client;
    const bool uploaded = client.uploadFile(QUrl::fromLocalFile(arguments.at(1)), record.get());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak %ld\n", usage.ru_maxrss);
    return uploaded ? 0 : 1;
}
