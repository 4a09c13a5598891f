#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace airlark {

// Splitting a destination string ("host/dir/sub", optionally "ftp://host/dir") into its host and
// directory, and turning it into an FTP URL.
namespace FTPDestinationString {

// Everything after the first "://" (the whole string if there is none). Logs a warning when the
// host part seems to carry a port, which belongs in FTPServer::port instead.
QString stringWithoutProtocol(const QString& destination);

// The host: stringWithoutProtocol() up to the first "/".
QString fmhost(const QString& destination);

// The directory: stringWithoutProtocol() after the first "/"; none without a "/", and the empty
// string for a host followed by a single "/".
std::optional<QString> fmdir(const QString& destination);

// "ftp://host[:port]/percent-encoded-dir", or none when that text is not a valid URL.
std::optional<QUrl> ftpURLForPort(const QString& destination, qint32 port);

} // namespace FTPDestinationString
} // namespace airlark
