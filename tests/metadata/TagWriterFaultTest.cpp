// A tag write that fails, is cut short, or meets another program leaves the episode as it was and
// says why.
#include "TagReader.h"
#include "metadata/PodcastID3TagWriter.h"
#include "metadata/TagJournal.h"
#include "metadata/TagLibMetadata.h"
#include "support/Mp3Fixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace airlark {
namespace {

using test::ProbeForTest;
using test::readFile;

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList journals()
{
    return entries(test::dataDirectory() + QStringLiteral("/tag-journal"));
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
    bool appendMeanwhile = false; // another program appends to the file between check and commit
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
    const QByteArray appended = row.appendMeanwhile ? "bytes another program appends" : "";
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

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        BadFile{"Missing", [](const QString&) {}, TagLibMetadataErrorCode::FileNotFound},
        BadFile{"Empty", [](const QString& p) { test::writeFile(p, {}); },
                TagLibMetadataErrorCode::NotAnMPEGFile},
        BadFile{"Wave", [](const QString& p) { test::writeFile(p, test::wavBytes(1)); },
                TagLibMetadataErrorCode::NotAnMPEGFile},
        BadFile{"Folder", [](const QString& p) { QDir().mkpath(p); }, TagLibMetadataErrorCode::NotAFile},
        BadFile{"ReadOnly",
                [](const QString& p) {
                    test::writeFile(p, test::mp3Bytes(1));
                    QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
                },
                TagLibMetadataErrorCode::NotWritable},
        BadFile{"TagSizeNotSyncsafe", [](const QString& p) { test::writeFile(p, withTagHeader("00008100")); },
                TagLibMetadataErrorCode::DamagedTag},
        BadFile{"TagSizePastTheEnd", [](const QString& p) { test::writeFile(p, withTagHeader("7f7f7f7f")); },
                TagLibMetadataErrorCode::DamagedTag},
        BadFile{"TagSizeOverTheAudio",
                [](const QString& p) { test::writeFile(p, withTagHeader("00002000")); },
                TagLibMetadataErrorCode::DamagedTag},
        BadFile{"AppendedMeanwhileInPlace", [](const QString& p) { test::writeFile(p, episodeWithRoom()); },
                TagLibMetadataErrorCode::ChangedMeanwhile, true},
        BadFile{"AppendedMeanwhileWholeFile", [](const QString& p) { test::writeFile(p, test::mp3Bytes(1)); },
                TagLibMetadataErrorCode::ChangedMeanwhile, true},
        BadFile{"FailsAfterTheFirstWriteInPlace",
                [](const QString& p) { test::writeFile(p, episodeWithRoom()); },
                TagLibMetadataErrorCode::WriteFailed, false, true},
        BadFile{"TruncatedMP3",
                [](const QString& p) {
                    test::writeFile(p, test::mp3Bytes(2).left(test::mp3Bytes(2).size() / 2 + 37));
                },
                std::nullopt},
        BadFile{"FileSizeLimit", [](const QString& p) { test::writeFile(p, longAudio()); },
                TagLibMetadataErrorCode::WriteFailed, false, false, Room::SizeLimit},
        BadFile{"FullDiskForAWholeFileRewrite", [](const QString& p) { test::writeFile(p, longAudio()); },
                TagLibMetadataErrorCode::NotEnoughSpace, false, false, Room::FullDisk},
        BadFile{"FullDiskStillTakesAnInPlaceSave",
                [](const QString& p) { test::writeFile(p, episodeWithRoom(longAudio())); }, std::nullopt,
                false, false, Room::FullDisk}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(TagWriterFaultTest, AFileRemovedAfterOpeningIsNotBroughtBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    ASSERT_TRUE(test::writeFile(path, test::mp3Bytes(1)));
    TagLibMetadataError error;
    auto metadata = TagLibMetadata::open(QUrl::fromLocalFile(path), false, &error);
    ASSERT_TRUE(metadata);
    metadata->setTitle(QStringLiteral("Too late"));
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
        metadata->setTitle(QStringLiteral("A second, longer title"));

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

} // namespace
} // namespace airlark
