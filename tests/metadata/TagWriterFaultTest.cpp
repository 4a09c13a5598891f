// A failed tag write must leave the episode byte-identical and say why.
#include "TagReader.h"
#include "metadata/PodcastID3TagWriter.h"
#include "metadata/TagLibMetadata.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace airlark {
namespace {

using test::readFile;

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

PodcastID3TagWriter fullWriter(const QString& path)
{
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("Episode"));
    writer.setPodcast(QStringLiteral("Podcast"));
    writer.setArtist(QStringLiteral("Artist"));
    writer.setDescription(QStringLiteral("Description"));
    writer.setArtwork(EmbeddedArtwork::fromImage(QImage(32, 32, QImage::Format_RGB32)));
    return writer;
}

struct BadFile
{
    const char* name;
    std::function<void(const QString& path)> make; // creates what lies at `path`
    TagLibMetadataErrorCode expected;
};

class BadFileTest : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(BadFileTest, FailsWithItsReasonAndLeavesTheFileAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    GetParam().make(path);
    const QStringList before = entries(dir.path());
    const QByteArray bytes = readFile(path);

    TagLibMetadataError error;
    EXPECT_FALSE(fullWriter(path).write(&error));
    EXPECT_EQ(error.code, GetParam().expected) << printable(error).toStdString();
    EXPECT_FALSE(error.message.isEmpty());
    EXPECT_EQ(readFile(path), bytes);
    EXPECT_EQ(entries(dir.path()), before) << "no working copy is left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(
        BadFile{"Missing", [](const QString&) {}, TagLibMetadataErrorCode::FileNotFound},
        BadFile{"Empty", [](const QString& p) { test::writeFile(p, {}); },
                TagLibMetadataErrorCode::NotAnMPEGFile},
        BadFile{"Text",
                [](const QString& p) {
                    test::writeFile(p, QByteArray("This is a shopping list, not audio.\n").repeated(400));
                },
                TagLibMetadataErrorCode::NotAnMPEGFile},
        BadFile{"Wave", [](const QString& p) { test::writeFile(p, test::wavBytes(1)); },
                TagLibMetadataErrorCode::NotAnMPEGFile},
        BadFile{"Image", [](const QString& p) { test::writeFile(p, test::pngBytes(300, 300)); },
                TagLibMetadataErrorCode::NotAnMPEGFile},
        BadFile{"Folder", [](const QString& p) { QDir().mkpath(p); }, TagLibMetadataErrorCode::NotAFile},
        BadFile{"ReadOnly",
                [](const QString& p) {
                    test::writeFile(p, test::mp3Bytes(1));
                    QFile::setPermissions(p, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
                },
                TagLibMetadataErrorCode::NotWritable}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(TagWriterFaultTest, ATruncatedMP3IsStillTaggedAndItsAudioKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.mp3"));
    const QByteArray cut = test::mp3Bytes(2).left(test::mp3Bytes(2).size() / 2 + 37);
    ASSERT_TRUE(test::writeFile(path, cut));
    ASSERT_TRUE(fullWriter(path).write());
    const auto tags = test::readTags(path);
    EXPECT_EQ(tags.title, QStringLiteral("Episode"));
    EXPECT_EQ(readFile(path).mid(tags.audioOffset), cut);
}

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

// A full disk, simulated with a file size limit for this process: writes past the limit fail with
// EFBIG (the signal that would end the process is ignored meanwhile).
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

class FullDiskTest : public ::testing::TestWithParam<qint64>
{
};

TEST_P(FullDiskTest, AWriteThatRunsOutOfSpaceLeavesTheFileIdentical)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("episode.mp3"));
    const QByteArray bytes = test::mp3Bytes(2);
    ASSERT_TRUE(test::writeFile(path, bytes));

    TagLibMetadataError error;
    bool written = true;
    {
        // The limit leaves room for the copy but not for the grown tag (or not even for the copy).
        FileSizeLimit limit(static_cast<rlim_t>(bytes.size() + GetParam()));
        written = fullWriter(path).write(&error);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error.code, TagLibMetadataErrorCode::WriteFailed) << printable(error).toStdString();
    EXPECT_EQ(readFile(path), bytes);
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("episode.mp3")});
}

INSTANTIATE_TEST_SUITE_P(Limits, FullDiskTest, ::testing::Values(-1000, 0, 200));

} // namespace
} // namespace airlark
