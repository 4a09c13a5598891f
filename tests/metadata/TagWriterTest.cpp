// The tag writer against real MP3 files encoded by lame, read back with TagLib and with mutagen.
#include "TagReader.h"
#include "metadata/ID3TagWriter.h"
#include "metadata/PodcastID3TagWriter.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace airlark {
namespace {

using test::readFile;
using test::readTags;

// Frames other programs leave that Airlark never sets: chapters, a private frame, replay gain, a
// comment in another language, and a short last frame (which TagLib 1.13 loses when a footer
// follows it). RVA2 exists in ID3v2.4 only.
QStringList foreignFrameKeys(int version)
{
    QStringList keys{"CHAP:ch1",  "CTOC:toc", "PRIV:org.example.daw", "TXXX:replaygain_track_gain",
                     "COMM::deu", "TKEY"};
    if (version == 4)
        keys << QStringLiteral("RVA2:track");
    return keys;
}

// An ID3v2 tag as another tool writes it, byte by byte: an old title, the foreign frames (the short
// one last), then `padding` zero bytes and, for ID3v2.4, optionally a footer (which allows no
// padding).
QByteArray foreignTag(int version, qint64 padding, bool footer, qsizetype coverBytes = 0)
{
    // ID3v2.4 writes sizes in 7-bit bytes, ID3v2.3 frame sizes in 8-bit ones.
    const auto size = [](qint64 value, int bits) {
        QByteArray bytes;
        for (int shift : {3, 2, 1, 0})
            bytes += char((value >> (shift * bits)) & ((1 << bits) - 1));
        return bytes;
    };
    const auto frame = [&](const char* id, const QByteArray& body) -> QByteArray {
        return QByteArray(id) + size(body.size(), version == 4 ? 7 : 8) + QByteArray(2, '\0') + body;
    };
    using namespace Qt::Literals::StringLiterals;
    QByteArray frames = frame("TIT2", "\0Old title"_ba);
    frames += frame("CHAP", "ch1\0"_ba + QByteArray::fromHex("00000000000003e8ffffffffffffffff") +
                                frame("TIT2", "\0Opening"_ba));
    frames += frame("CTOC", "toc\0\x03\x01"_ba + "ch1\0"_ba); // top level, ordered, one child
    frames += frame("PRIV", "org.example.daw\0\x01\x00\x02"_ba);
    frames += frame("TXXX", "\0replaygain_track_gain\0-6.50 dB"_ba);
    frames += frame("COMM", "\0deu\0Eine Folge"_ba);
    if (version == 4)
        frames += frame("RVA2", "track\0\x01\xfa\x00\x00"_ba); // master volume -3 dB, no peak
    if (coverBytes)
        frames += frame("APIC", "\0image/jpeg\0\x03\0"_ba + QByteArray(coverBytes, 'Z'));
    frames += frame("TKEY", "\0Am"_ba);

    const QByteArray header =
        "ID3"_ba + char(version) + char(0) + char(footer ? 0x10 : 0) + size(frames.size() + padding, 7);
    const QByteArray bytes = header + frames + QByteArray(padding, '\0');
    return footer ? bytes + "3DI" + header.mid(3) : bytes;
}

QByteArray id3v1Tag(const char* title)
{
    QByteArray tag("TAG");
    tag += QByteArray(title).leftJustified(30, '\0', true) + QByteArray(94, '\0');
    tag += char(255); // no genre
    return tag;
}

ino_t inodeOf(const QString& path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

struct StartingTags
{
    const char* name;
    int version = 0; // of the tag the episode starts with; 0: none
    qint64 padding = 0;
    bool footer = false;
    bool id3v1 = false;
    bool largeCover = false;
    bool inPlace = false; // whether the first save fits in the old tag's space
};

class TagWriterPathTest : public ::testing::TestWithParam<StartingTags>
{
};

// Each save either rewrites the old tag's space in place (same inode, hard links in step) or
// writes the whole file anew (no temporary file left, permissions and a symbolic link kept); both
// keep the audio and every foreign frame, and the first save leaves room enough for the next to be
// in place.
TEST_P(TagWriterPathTest, EverySaveKeepsTheAudioAndForeignFramesAndLaterSavesFitInPlace)
{
    const StartingTags& start = GetParam();
    const QByteArray audio = test::mp3Bytes(1);
    QByteArray bytes = audio;
    if (start.version)
        bytes.prepend(foreignTag(start.version, start.padding, start.footer, start.largeCover ? 400000 : 0));
    if (start.id3v1)
        bytes += id3v1Tag("Old title");
    const QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Folge \u00fcber \u65e5\u672c"));
    const QString path = folder + QStringLiteral("/my episode \u00e9.mp3");
    ASSERT_TRUE(QDir().mkpath(folder) && test::writeFile(path, bytes));
    const auto mode =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    const QString link = folder + QStringLiteral("/link.mp3");
    const QString symbolicLink = folder + QStringLiteral("/via symlink.mp3");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    ASSERT_TRUE(QFile::link(path, symbolicLink));
    const QByteArray jpeg = test::jpegBytes(64, 64);

    // Latin-1 where the text fits in it, else UTF-16 (the euro sign is not Latin-1, the bird is
    // not in the basic plane); ID3v1 keeps what fits of its first 30 characters.
    const std::tuple<QString, QByteArray, QString> titles[] = {
        {QStringLiteral("Episode 12: Caf\u00e9 \u00bd"), "Latin1",
         QStringLiteral("Episode 12: Caf\u00e9 \u00bd")},
        {QStringLiteral("Episode 12, again: 5 \u20ac \U0001F426 and more"), "UTF16",
         QStringLiteral("Episode 12, again: 5 ? ? and m")}};
    for (const auto& [title, encoding, id3v1Title] : titles) {
        const ino_t inode = inodeOf(path);
        PodcastID3TagWriter writer(QUrl::fromLocalFile(symbolicLink));
        writer.setTitle(title);
        writer.setPodcast(QStringLiteral("The Lark"));
        writer.setArtist(QStringLiteral("Ada"));
        writer.setDescription(QStringLiteral("Two lines\nof notes"));
        writer.setArtwork(EmbeddedArtwork::fromBytes(jpeg));
        TagLibMetadataError error;
        ASSERT_TRUE(writer.write(&error)) << printable(error).toStdString();

        const auto tags = readTags(path);
        const auto mutagen = test::readTagsWithMutagen(path);
        EXPECT_EQ(mutagen.version, 3);
        EXPECT_EQ(tags.title, title);
        EXPECT_EQ(mutagen.titleEncoding, encoding);
        const QMap<QString, QString> texts{{"TIT2", title},
                                           {"TALB", "The Lark"},
                                           {"TPE1", "Ada"},
                                           {"TPE2", "Ada"},
                                           {"COMM::eng", "Two lines\nof notes"},
                                           {"TDRC", QString::number(QDate::currentDate().year())}};
        for (const auto& [key, value] : texts.asKeyValueRange())
            EXPECT_EQ(mutagen.texts.value(key), value) << key.toStdString();
        EXPECT_EQ(tags.picture, jpeg) << "the artwork file's own bytes, once";
        EXPECT_EQ(tags.pictureMimeType, QStringLiteral("image/jpeg"));
        EXPECT_EQ(mutagen.pictureCount, 1);
        const QByteArray written = readFile(path);
        EXPECT_TRUE(written.contains(audio));
        const QByteArray id3v1 = written.right(128);
        EXPECT_EQ(id3v1.startsWith("TAG"), start.id3v1);
        if (start.id3v1) {
            EXPECT_EQ(QString::fromLatin1(id3v1.mid(3, 30)).remove(QChar(0)), id3v1Title);
        }
        for (const QString& key : start.version ? foreignFrameKeys(start.version) : QStringList())
            EXPECT_TRUE(mutagen.frameKeys.contains(key)) << "lost " << key.toStdString();

        const bool inPlace = title.contains(QStringLiteral("again")) || start.inPlace;
        EXPECT_EQ(inodeOf(path) == inode, inPlace);
        EXPECT_EQ(readFile(link) == readFile(path), inPlace) << "a hard link stays in step only in place";
        EXPECT_TRUE(QFileInfo(symbolicLink).isSymLink());
        EXPECT_EQ(QFile::permissions(path), mode);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  QStringList({"link.mp3", "my episode \u00e9.mp3", "via symlink.mp3"}));
        if (!inPlace) {
            ASSERT_EQ(::unlink(QFile::encodeName(link).constData()), 0);
            ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tags, TagWriterPathTest,
    ::testing::Values(StartingTags{"Untagged"},
                      StartingTags{"V23WithRoom", 3, 8192, false, false, false, true},
                      StartingTags{"V24WithoutRoom", 4}, StartingTags{"V24WithFooter", 4, 0, true},
                      StartingTags{"V23WithRoomAndID3v1", 3, 8192, false, true, false, true},
                      StartingTags{"LargeOldCoverMakesRoom", 3, 0, false, false, true, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace airlark
