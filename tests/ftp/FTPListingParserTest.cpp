#include "ftp/FTPListingParser.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace airlark {
namespace {

QString nameOf(const QVariantMap& entry)
{
    return entry.value(QLatin1String(FTPResourceKey::Name)).toString();
}

int typeOf(const QVariantMap& entry)
{
    return entry.value(QLatin1String(FTPResourceKey::Type)).toInt();
}

TEST(FTPListingParserTest, ParsesUnixListings)
{
    const QByteArray listing =
        "total 12\r\n"
        "drwxr-xr-x   2 podcaster staff     4096 Jan 02 10:30 My Show\r\n"
        "-rw-r--r--   1 podcaster staff 52428800 Mar  5  2023 Épisode 1 été.mp3\r\n"
        "lrwxrwxrwx   1 owner     group        7 Jul 14 09:00 latest -> ep1.mp3\r\n"
        "-rw-r--r--   1 ftp           1234 Dec 24  2021 no group.txt\n"
        "\r\n";
    const QList<QVariantMap> entries = FTPListingParser::parseListing(listing);
    ASSERT_EQ(entries.size(), 4);

    EXPECT_EQ(nameOf(entries[0]), QStringLiteral("My Show"));
    EXPECT_EQ(typeOf(entries[0]), int(FTPResourceType::Directory));
    EXPECT_EQ(entries[0].value(QLatin1String(FTPResourceKey::Mode)).toInt(), 0755);
    EXPECT_EQ(entries[0].value(QLatin1String(FTPResourceKey::Owner)).toString(), QStringLiteral("podcaster"));
    EXPECT_EQ(entries[0].value(QLatin1String(FTPResourceKey::Group)).toString(), QStringLiteral("staff"));

    EXPECT_EQ(nameOf(entries[1]), QStringLiteral("Épisode 1 été.mp3"));
    EXPECT_EQ(typeOf(entries[1]), int(FTPResourceType::File));
    EXPECT_EQ(entries[1].value(QLatin1String(FTPResourceKey::Size)).toLongLong(), 52428800);
    EXPECT_EQ(entries[1].value(QLatin1String(FTPResourceKey::ModDate)).toDateTime().date(), QDate(2023, 3, 5));

    EXPECT_EQ(nameOf(entries[2]), QStringLiteral("latest"));
    EXPECT_EQ(typeOf(entries[2]), int(FTPResourceType::Link));
    EXPECT_EQ(entries[2].value(QLatin1String(FTPResourceKey::Link)).toString(), QStringLiteral("ep1.mp3"));

    EXPECT_EQ(nameOf(entries[3]), QStringLiteral("no group.txt"));
    EXPECT_EQ(entries[3].value(QLatin1String(FTPResourceKey::Size)).toLongLong(), 1234);
}

TEST(FTPListingParserTest, ParsesDosListings)
{
    const QByteArray listing =
        "01-31-24  09:15PM       <DIR>          Season 2\r\n"
        "12-01-2023  08:05AM              70000 trailer final.mp3\r\n";
    const QList<QVariantMap> entries = FTPListingParser::parseListing(listing);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(nameOf(entries[0]), QStringLiteral("Season 2"));
    EXPECT_EQ(typeOf(entries[0]), int(FTPResourceType::Directory));
    EXPECT_EQ(entries[0].value(QLatin1String(FTPResourceKey::ModDate)).toDateTime(),
              QDateTime(QDate(2024, 1, 31), QTime(21, 15), QTimeZone::utc()));
    EXPECT_EQ(nameOf(entries[1]), QStringLiteral("trailer final.mp3"));
    EXPECT_EQ(entries[1].value(QLatin1String(FTPResourceKey::Size)).toLongLong(), 70000);
    EXPECT_EQ(entries[1].value(QLatin1String(FTPResourceKey::ModDate)).toDateTime().time(), QTime(8, 5));
}

TEST(FTPListingParserTest, ReportsConsumedBytesLineByLine)
{
    const QByteArray listing = "garbage line\r\n-rw-r--r-- 1 a b 1 Jan 01 2020 x";
    const FTPListingParser::ParsedLine first = FTPListingParser::parseResourceListing(listing, 0);
    EXPECT_EQ(first.consumed, 14);
    EXPECT_FALSE(first.entry.has_value());
    const FTPListingParser::ParsedLine second = FTPListingParser::parseResourceListing(listing, first.consumed);
    EXPECT_EQ(second.consumed, listing.size() - 14);
    ASSERT_TRUE(second.entry.has_value());
    EXPECT_EQ(nameOf(*second.entry), QStringLiteral("x"));
    EXPECT_EQ(FTPListingParser::parseResourceListing(listing, listing.size()).consumed, 0);
}

} // namespace
} // namespace airlark
