// The tag writer against real MP3 files encoded by lame, read back with TagLib and with mutagen:
// every save keeps what the file held; a write that fails, is cut short, or meets another program
// leaves the episode as it was and says why.
#include "TagReader.h"
#include "metadata/PodcastID3TagWriter.h"
#include "metadata/TagJournal.h"
#include "metadata/TagLibMetadata.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace airlark {
namespace {

using test::ProbeForTest;
using test::readFile;
using test::readTags;

// An ID3v2 tag as another tool writes it, byte by byte: an old title, then frames other programs
// leave that Airlark never sets (chapters, a private frame, replay gain, a comment in another
// language, and last a short frame, which TagLib 1.13 loses when a footer follows it), then
// `padding` zero bytes and, for ID3v2.4, optionally a footer (which allows no padding).
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
    QStringList foreignKeys;
    if (start.version)
        foreignKeys = {"CHAP:ch1",  "CTOC:toc", "PRIV:org.example.daw", "TXXX:replaygain_track_gain",
                       "COMM::deu", "TKEY"};
    if (start.version == 4)
        foreignKeys << QStringLiteral("RVA2:track"); // ID3v2.4 only

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
        EXPECT_EQ(id3v1.startsWith("TAG") ? QString::fromLatin1(id3v1.mid(3, 30)).remove(QChar(0))
                                          : QString(),
                  start.id3v1 ? id3v1Title : QString());
        for (const QString& key : foreignKeys)
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

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList journals()
{
    return entries(test::dataDirectory() + QStringLiteral("/tag-journal"));
}

ID3TagValues titled(const QString& title)
{
    ID3TagValues values;
    values.title = title;
    return values;
}

PodcastID3TagWriter fullWriter(const QString& path, const QString& title = QStringLiteral("Episode"))
{
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(title);
    writer.setPodcast(QStringLiteral("Podcast"));
    writer.setArtist(QStringLiteral("Artist"));
    writer.setDescription(QStringLiteral("Description"));
    writer.setArtwork(EmbeddedArtwork::fromImage(QImage(32, 32, QImage::Format_RGB32)));
    return writer;
}

// An episode that has been saved once, so that the next save fits in place.
QByteArray episodeWithRoom(const QByteArray& audio = test::mp3Bytes(1))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("first.mp3"));
    return test::writeFile(path, audio) && fullWriter(path, QStringLiteral("First")).write() ? readFile(path)
                                                                                             : QByteArray();
}

// An ID3 header whose size field is `sizeField` (in hex), in front of real audio.
QByteArray withTagHeader(const char* sizeField)
{
    return QByteArray("ID3\x03\x00\x00", 6) + QByteArray::fromHex(sizeField) + test::mp3Bytes(2);
}

// About 1.2 MB: too much for a full 2 MB disk to hold twice.
QByteArray longAudio()
{
    return test::repeatedMp3Bytes(std::chrono::seconds(1200));
}

// A small tmpfs in a mount namespace private to this thread, so that no other process sees it.
// Needs root (CI runs as root); mounted() says whether it worked.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(qint64 bytes)
    {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        mounted_ = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                   ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                           options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// A file size limit for this process: writes past it fail with EFBIG (the signal that would end
// the process is ignored meanwhile).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_ = {};
    void (*previousHandler_)(int) = nullptr;
};

// Where the episode lies: enough room, a file size limit for this process, or a full disk.
enum class Room
{
    Plenty,
    SizeLimit,
    FullDisk
};

struct BadFile
{
    const char* name;
    std::function<void(const QString& path)> make;   // creates what lies at `path`
    std::optional<TagLibMetadataErrorCode> expected; // none: the save succeeds
    bool appendMeanwhile = false; // another program appends right before the save's last check
    bool failAfterFirstWrite = false;
    Room room = Room::Plenty;
};

class BadFileTest : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(BadFileTest, FailsWithItsReasonAndLeavesTheFileAloneOrKeepsTheAudio)
{
    const BadFile& row = GetParam();
    std::optional<SmallFileSystem> disk;
    if (row.room == Room::FullDisk && !disk.emplace(2 * 1024 * 1024).mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    QTemporaryDir elsewhere;
    const QString folder = disk ? disk->path() : elsewhere.path();
    const QString path = folder + QStringLiteral("/episode.mp3");
    row.make(path);
    if (disk) {
        QFile filler(folder + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
        }
    }
    const QStringList before = entries(folder);
    // A megabyte, as a recorder or a download still writing the episode would add.
    const QByteArray appended = row.appendMeanwhile ? QByteArray(1024 * 1024, 'a') : QByteArray();
    const ProbeForTest probe({[&] {
                                  QFile file(path);
                                  if (!appended.isEmpty() && file.open(QIODevice::Append))
                                      file.write(appended);
                              },
                              [] { return !GetParam().failAfterFirstWrite; }});
    const QByteArray bytes = readFile(path);

    TagLibMetadataError error;
    bool written = false;
    {
        std::optional<FileSizeLimit> limit;
        if (row.room == Room::SizeLimit)
            limit.emplace(rlim_t(bytes.size() + 200));
        written = fullWriter(path, QStringLiteral("Second title")).write(&error);
    }
    EXPECT_EQ(entries(folder), before) << "no working copy is left behind";
    EXPECT_TRUE(journals().isEmpty());
    if (!row.expected) {
        EXPECT_TRUE(written) << printable(error).toStdString();
        EXPECT_EQ(test::readTags(path).title, QStringLiteral("Second title"));
        EXPECT_TRUE(readFile(path).endsWith(bytes.right(4096))) << "the audio's end is kept";
        return;
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error.code, *row.expected) << printable(error).toStdString();
    EXPECT_FALSE(error.message.isEmpty());
    EXPECT_EQ(readFile(path), bytes + appended);
    if (error.code == TagLibMetadataErrorCode::NotEnoughSpace) {
        EXPECT_TRUE(error.message.startsWith(QStringLiteral("Not enough free space on ")) &&
                    error.message.contains(QStringLiteral(" to save the tags: needs ")))
            << error.message.toStdString();
    }
}

using E = TagLibMetadataErrorCode;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, BadFileTest, ::testing::Values(
    BadFile{"Missing", [](const QString&) {}, E::FileNotFound},
    BadFile{"Empty", [](const QString& p) { test::writeFile(p, {}); }, E::NotAnMPEGFile},
    BadFile{"Wave", [](const QString& p) { test::writeFile(p, test::wavBytes(1)); }, E::NotAnMPEGFile},
    BadFile{"Folder", [](const QString& p) { QDir().mkpath(p); }, E::NotAFile},
    BadFile{"ReadOnly", [](const QString& p) {
                test::writeFile(p, test::mp3Bytes(1));
                QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            }, E::NotWritable},
    BadFile{"TagSizeNotSyncsafe", [](const QString& p) { test::writeFile(p, withTagHeader("00008100")); }, E::DamagedTag},
    BadFile{"TagSizePastTheEnd", [](const QString& p) { test::writeFile(p, withTagHeader("7f7f7f7f")); }, E::DamagedTag},
    BadFile{"TagSizeOverTheAudio", [](const QString& p) { test::writeFile(p, withTagHeader("00002000")); }, E::DamagedTag},
    BadFile{"AppendedMeanwhileInPlace", [](const QString& p) { test::writeFile(p, episodeWithRoom()); }, E::ChangedMeanwhile, true},
    BadFile{"AppendedMeanwhileWholeFile", [](const QString& p) { test::writeFile(p, test::mp3Bytes(1)); }, E::ChangedMeanwhile, true},
    BadFile{"FailsAfterTheFirstWriteInPlace", [](const QString& p) { test::writeFile(p, episodeWithRoom()); }, E::WriteFailed, false, true},
    BadFile{"TruncatedMP3", [](const QString& p) { test::writeFile(p, test::mp3Bytes(2).left(test::mp3Bytes(2).size() / 2 + 37)); }, std::nullopt},
    BadFile{"FileSizeLimit", [](const QString& p) { test::writeFile(p, longAudio()); }, E::WriteFailed, false, false, Room::SizeLimit},
    BadFile{"FullDiskForAWholeFileRewrite", [](const QString& p) { test::writeFile(p, longAudio()); }, E::NotEnoughSpace, false, false, Room::FullDisk},
    BadFile{"FullDiskStillTakesAnInPlaceSave", [](const QString& p) { test::writeFile(p, episodeWithRoom(longAudio())); }, std::nullopt, false, false, Room::FullDisk}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

TEST(TagWriterFaultTest, AFileRemovedAfterOpeningIsNotBroughtBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(test::writeFile(path, test::mp3Bytes(1)));
    TagLibMetadataError error;
    auto metadata = TagLibMetadata::open(QUrl::fromLocalFile(path), false, &error);
    ASSERT_TRUE(metadata);
    metadata->setValues(titled(QStringLiteral("Too late")));
    ASSERT_TRUE(QFile::remove(path));

    EXPECT_FALSE(metadata->updateFile());
    ASSERT_TRUE(metadata->lastError());
    EXPECT_EQ(metadata->lastError()->code, TagLibMetadataErrorCode::FileNotFound);
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

// The process dies half-way through an in-place write; the old tag is put back when the episode
// is opened again or when Airlark starts again.
TEST(TagWriterFaultTest, AnInterruptedWriteIsUndone)
{
    for (const bool restarted : {false, true}) {
        SCOPED_TRACE(restarted ? "started again" : "opened again");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("episode.mp3"));
        const QByteArray before = episodeWithRoom();
        ASSERT_TRUE(test::writeFile(path, before));
        TagLibMetadataError error;
        const auto metadata = TagLibMetadata::open(QUrl::fromLocalFile(path), false, &error);
        ASSERT_TRUE(metadata) << printable(error).toStdString();
        metadata->setValues(titled(QStringLiteral("A second, longer title")));

        pid_t child = -1;
        {
            const ProbeForTest probe({{}, [] { return ::raise(SIGKILL) == 0; }});
            child = ::fork();
            if (child == 0) {
                metadata->updateFile();
                ::_exit(0);
            }
        }
        int status = 0;
        const bool ended = test::waitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; });
        if (!ended) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        ASSERT_TRUE(ended && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
        ASSERT_NE(readFile(path), before) << "the new tag was half-way to disk";
        ASSERT_EQ(journals().size(), 1);
        if (restarted)
            TagJournal::recoverAll();
        else
            TagLibMetadata::open(QUrl::fromLocalFile(path), true, nullptr);
        EXPECT_EQ(readFile(path), before);
        EXPECT_TRUE(journals().isEmpty());
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("episode.mp3")});
    }
}

// Another Airlark starting while this one writes in place undoes nothing of the running write (its
// journal is no leftover), so the write ends intact.
TEST(TagWriterFaultTest, AnotherProcessStartingMeanwhileLeavesTheWriteAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(test::writeFile(path, episodeWithRoom()));
    int recovery = -1;
    const ProbeForTest probe(
        {{}, [&] {
             QProcess other;
             QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
             environment.insert(QStringLiteral("AIRLARK_TEST_RECOVER"), QStringLiteral("1"));
             other.setProcessEnvironment(environment);
             other.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--gtest_filter=TagJournalHelper.*")});
             if (other.waitForFinished(60000) && other.exitStatus() == QProcess::NormalExit)
                 recovery = other.exitCode();
             return true;
         }});
    TagLibMetadataError error;
    EXPECT_TRUE(fullWriter(path, QStringLiteral("Saved while another started")).write(&error))
        << printable(error).toStdString();
    EXPECT_EQ(recovery, 0);
    EXPECT_EQ(readTags(path).title, QStringLiteral("Saved while another started"));
    EXPECT_TRUE(journals().isEmpty());
}

// The second process of the test above: what a starting Airlark does with tag journals.
TEST(TagJournalHelper, RecoversAsAStartingAirlark)
{
    if (!qEnvironmentVariableIsSet("AIRLARK_TEST_RECOVER"))
        GTEST_SKIP() << "run by AnotherProcessStartingMeanwhileLeavesTheWriteAlone";
    EXPECT_EQ(journals().size(), 1);
    TagJournal::recoverAll();
}

} // namespace
} // namespace airlark
