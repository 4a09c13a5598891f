// The listing parser line by line, in process: what each format and each odd line gives.
#include "ftp/FTPListingParser.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace airlark {
namespace {

using T = FTPResourceType;

struct ListingLine
{
    const char* name;
    QByteArray line;
    std::optional<QString> entry; // the entry's name; none when the line is not an entry
    T type = T::File;
    qint64 size = 0;
    QString link = {};
    QString modified = {}; // "yyyy-MM-dd hh:mm" (UTC), when the line gives a year
};

class FTPListingLineTest : public ::testing::TestWithParam<ListingLine>
{
};

TEST_P(FTPListingLineTest, GivesTheEntryOrNone)
{
    const ListingLine& row = GetParam();
    const auto parsed = FTPListingParser::parseResourceListing(row.line + "\r\nnext\r\n", 0);
    EXPECT_EQ(parsed.consumed, row.line.size() + 2) << "one line, its end included";
    ASSERT_EQ(parsed.entry.has_value(), row.entry.has_value());
    if (!row.entry)
        return;
    const QVariantMap& entry = *parsed.entry;
    EXPECT_EQ(entry.value(FTPResourceKey::Name).toString(), *row.entry);
    EXPECT_EQ(entry.value(FTPResourceKey::Type).toInt(), static_cast<int>(row.type));
    EXPECT_EQ(entry.value(FTPResourceKey::Size).toLongLong(), row.size);
    EXPECT_EQ(entry.value(FTPResourceKey::Link).toString(), row.link);
    if (!row.modified.isEmpty()) {
        EXPECT_EQ(
            entry.value(FTPResourceKey::ModDate).toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")),
            row.modified);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, FTPListingLineTest, ::testing::Values(
    ListingLine{"unixFile", "-rw-r--r--    1 ann      show      5242880 Mar 14  2024 episode 12.mp3", "episode 12.mp3", T::File, 5242880, {}, "2024-03-14 00:00"},
    ListingLine{"unixFolder", "drwxr-xr-x 2 ann show 4096 Jan  1  2023 quickcast", "quickcast", T::Directory, 4096},
    ListingLine{"unixWithoutGroup", "-rw-r--r-- 1 ann 12 Dec 31 2022 notes.txt", "notes.txt", T::File, 12, {}, "2022-12-31 00:00"},
    ListingLine{"unixThisYear", "-rw-r--r-- 1 ann show 7 Feb  2 21:15 late.mp3", "late.mp3", T::File, 7},
    ListingLine{"unixLeadingSpaces", "-rw-r--r-- 1 ann show 3 Jan 01 2020   spaced  name.mp3", "  spaced  name.mp3", T::File, 3},
    ListingLine{"unixNonASCII", "-rw-r--r-- 1 ann show 9 Jan 01 2020 H\xc3\xb6rspiel \xe2\x80\x94 \xe9\xb3\xa5.mp3", QStringLiteral("H\u00f6rspiel \u2014 \u9ce5.mp3"), T::File, 9},
    ListingLine{"unixLink", "lrwxrwxrwx 1 ann show 14 Jan 01 2020 latest -> ep 1 -> b.mp3", "latest", T::Link, 14, "ep 1 -> b.mp3"},
    ListingLine{"unixArrowInAFileName", "-rw-r--r-- 1 ann show 5 Jan 01 2020 a -> b.mp3", "a -> b.mp3", T::File, 5},
    ListingLine{"unixDevice", "crw-rw---- 1 root tty 4, 1 Jan 01 2020 tty1", "tty1", T::Unknown, 1},
    ListingLine{"unixNumericOwner", "-rw-r--r-- 1 1000 1000 2048 May 5 2021 May 5 2021.mp3", "May 5 2021.mp3", T::File, 2048, {}, "2021-05-05 00:00"},
    ListingLine{"dosFolder", "01-31-24  09:15PM       <DIR>          Old Shows", "Old Shows", T::Directory, 0, {}, "2024-01-31 21:15"},
    ListingLine{"dosFile", "12-01-2023  12:05AM            123456 caf\xc3\xa9.mp3", QStringLiteral("caf\u00e9.mp3"), T::File, 123456, {}, "2023-12-01 00:05"},
    ListingLine{"dos24Hours", "07-04-99  13:00  42 a b.txt", "a b.txt", T::File, 42, {}, "1999-07-04 13:00"},
    ListingLine{"total", "total 12", std::nullopt},
    ListingLine{"blank", "", std::nullopt},
    ListingLine{"unixWithoutName", "-rw-r--r-- 1 ann show 3 Jan 01 2020", std::nullopt},
    ListingLine{"unixWithoutDate", "drwxr-xr-x 2 ann show 4096 quickcast", std::nullopt},
    ListingLine{"serverChatter", "226 Transfer complete", std::nullopt},
    ListingLine{"dosWithoutSize", "01-31-24  09:15PM  name.mp3", std::nullopt},
    ListingLine{"dosBadTime", "01-31-24  9h15  12 name.mp3", std::nullopt},
    ListingLine{"binary", QByteArray("\x01\x02-\xff\xfe", 5), std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

// A whole listing: line ends of either kind, a last line without one, junk skipped.
TEST(FTPListingParserTest, AWholeListingGivesItsEntriesInOrder)
{
    const QList<QVariantMap> entries = FTPListingParser::parseListing(
        "total 2\r\n-rw-r--r-- 1 a b 1 Jan 01 2020 one.mp3\n\njunk\r\n"
        "01-31-24  09:15PM  <DIR>  two\r\n-rw-r--r-- 1 a b 3 Jan 01 2020 three.mp3");
    QStringList names;
    for (const QVariantMap& entry : entries)
        names << entry.value(FTPResourceKey::Name).toString();
    EXPECT_EQ(names, (QStringList{"one.mp3", "two", "three.mp3"}));
}

} // namespace
} // namespace airlark
