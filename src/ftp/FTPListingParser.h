#pragma once

#include <QByteArray>
#include <QList>
#include <QVariantMap>
#include <optional>

namespace airlark {

// Keys of one directory entry as returned by FTPClient::contentsOfServer().
namespace FTPResourceKey {
inline constexpr char Name[] = "name";       // QString, decoded as UTF-8
inline constexpr char Type[] = "type";       // int: FTPResourceType
inline constexpr char Size[] = "size";       // qint64 bytes (0 for folders without a size)
inline constexpr char ModDate[] = "modDate"; // QDateTime (UTC) when the line carries one
inline constexpr char Mode[] = "mode";       // int permission bits (Unix listings only)
inline constexpr char Owner[] = "owner";     // QString (Unix listings only)
inline constexpr char Group[] = "group";     // QString (Unix listings only)
inline constexpr char Link[] = "link";       // QString link target (symbolic links only)
} // namespace FTPResourceKey

// The entry types, numbered like the d_type values of dirent.h.
enum class FTPResourceType : int
{
    Unknown = 0,
    Directory = 4,
    File = 8,
    Link = 10
};

// Parses directory listings in the Unix ("ls -l") and DOS/Windows formats, one line at a time.
namespace FTPListingParser {

struct ParsedLine
{
    qsizetype consumed = 0;           // bytes used, line end included; 0 at the end of the data
    std::optional<QVariantMap> entry; // none for lines that are not entries ("total 12", blank)
};

// Parses the first line of `data` starting at `offset`.
ParsedLine parseResourceListing(const QByteArray& data, qsizetype offset);

// Parses a whole listing into its entries (lines that are not entries are skipped).
QList<QVariantMap> parseListing(const QByteArray& data);

} // namespace FTPListingParser
} // namespace airlark
