// The tag writer against real MP3 files encoded by lame, read back with TagLib itself.
#include "TagReader.h"
#include "metadata/ID3TagWriter.h"
#include "metadata/PodcastID3TagWriter.h"
#include "support/Mp3Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/privateframe.h>

namespace airlark {
namespace {

using test::readFile;
using test::readTags;

class TagWriterTest : public ::testing::Test
{
protected:
    QString episode(const QString& name = QStringLiteral("episode.mp3"),
                    const QByteArray& bytes = test::mp3Bytes(1))
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(test::writeFile(path, bytes));
        return path;
    }

    // Adds tags with TagLib itself, as another tool would have left them.
    static void tagWithTagLib(const QString& path, int version, const QByteArray& picture = {},
                              bool id3v1 = false)
    {
        const QByteArray name = QFile::encodeName(path);
        TagLib::MPEG::File file(name.constData(), false);
        ASSERT_TRUE(file.isValid());
        auto* tag = file.ID3v2Tag(true);
        tag->setTitle("Old title");
        tag->setArtist("Old artist");
        tag->setGenre("Podcast");
        tag->setYear(1999);
        tag->addFrame(new TagLib::ID3v2::PrivateFrame());
        if (!picture.isEmpty()) {
            auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
            frame->setMimeType("image/png");
            frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            frame->setPicture(TagLib::ByteVector(picture.constData(), static_cast<unsigned>(picture.size())));
            tag->addFrame(frame);
        }
        int tags = TagLib::MPEG::File::ID3v2;
        if (id3v1) {
            file.ID3v1Tag(true)->setTitle("Old title");
            tags |= TagLib::MPEG::File::ID3v1;
        }
        ASSERT_TRUE(file.save(tags, TagLib::File::StripNone,
                              version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4,
                              TagLib::File::DoNotDuplicate));
    }

    QStringList leftovers() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static QDate fixedDay(int year, int month, int day) { return QDate(year, month, day); }

    QTemporaryDir dir;
};

TEST_F(TagWriterTest, PodcastWriterWritesEveryValueAsID3v23WithTheCurrentYear)
{
    const QString path = episode();
    const QByteArray jpeg = test::jpegBytes(64, 64);
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("cover.jpg")), jpeg));

    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("Episode 12"));
    writer.setPodcast(QStringLiteral("The Lark"));
    writer.setArtist(QStringLiteral("Ada"));
    writer.setDescription(QStringLiteral("Two lines\nof notes"));
    writer.setArtwork(EmbeddedArtwork::fromFile(dir.filePath(QStringLiteral("cover.jpg"))));
    TagLibMetadataError error;
    ASSERT_TRUE(writer.write(&error)) << printable(error).toStdString();

    const auto tags = readTags(path);
    EXPECT_EQ(tags.id3v2Version, 3);
    EXPECT_EQ(tags.title, QStringLiteral("Episode 12"));
    EXPECT_EQ(tags.album, QStringLiteral("The Lark"));
    EXPECT_EQ(tags.artist, QStringLiteral("Ada"));
    EXPECT_EQ(tags.albumArtist, QStringLiteral("Ada"));
    EXPECT_EQ(tags.comment, QStringLiteral("Two lines\nof notes"));
    EXPECT_EQ(tags.year, static_cast<unsigned>(QDate::currentDate().year()));
    EXPECT_EQ(tags.picture, jpeg) << "the artwork file's own bytes, not a re-encoding";
    EXPECT_EQ(tags.pictureMimeType, QStringLiteral("image/jpeg"));
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("cover.jpg")} << QStringLiteral("episode.mp3"));
}

TEST_F(TagWriterTest, VeryLargeArtworkIsEmbeddedWhole)
{
    const QString path = episode();
    const QByteArray jpeg = test::jpegBytes(3000, 3000);
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("large.jpg")), jpeg));
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setArtwork(EmbeddedArtwork::fromFile(dir.filePath(QStringLiteral("large.jpg"))));
    ASSERT_TRUE(writer.write());
    EXPECT_EQ(readTags(path).picture, jpeg);
}

TEST_F(TagWriterTest, AnImageWithoutAFileIsEmbeddedAsPNG)
{
    const QString path = episode();
    QImage image(20, 10, QImage::Format_ARGB32);
    image.fill(Qt::red);
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setArtwork(image);
    ASSERT_TRUE(writer.write());

    const auto tags = readTags(path);
    EXPECT_EQ(tags.pictureMimeType, QStringLiteral("image/png"));
    const QImage embedded = QImage::fromData(tags.picture, "PNG");
    EXPECT_EQ(embedded.size(), QSize(20, 10));
    EXPECT_EQ(embedded.pixel(3, 3), QColor(Qt::red).rgb());
}

struct TextCase
{
    const char* name;
    QString text;
    QByteArray encoding;
};

class TagWriterTextTest : public TagWriterTest, public ::testing::WithParamInterface<TextCase>
{
};

TEST_P(TagWriterTextTest, TextRoundTripsInLatin1WhereItFitsElseUTF16)
{
    const QString path = episode();
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(GetParam().text);
    writer.setPodcast(GetParam().text);
    writer.setArtist(GetParam().text);
    writer.setDescription(GetParam().text);
    ASSERT_TRUE(writer.write());

    const auto tags = readTags(path);
    EXPECT_EQ(tags.title, GetParam().text);
    EXPECT_EQ(tags.album, GetParam().text);
    EXPECT_EQ(tags.artist, GetParam().text);
    EXPECT_EQ(tags.comment, GetParam().text);
    EXPECT_EQ(tags.titleEncoding, GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TagWriterTextTest,
    ::testing::Values(TextCase{"Ascii", QStringLiteral("Plain episode"), "Latin1"},
                      TextCase{"Latin1", QStringLiteral("Caf\u00e9 cr\u00e8me \u00bd"), "Latin1"},
                      TextCase{"Euro", QStringLiteral("Price: 5 \u20ac"), "UTF16"},
                      TextCase{"Japanese", QStringLiteral("\u65e5\u672c\u8a9e\u306e\u756a\u7d44"), "UTF16"},
                      TextCase{"Emoji", QStringLiteral("Lark \U0001F426 song"), "UTF16"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(TagWriterTest, KeepsOtherFramesAndTurnsAV24TagIntoV23)
{
    const QString path = episode();
    tagWithTagLib(path, 4);
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("New title"));
    ASSERT_TRUE(writer.write());

    const auto tags = readTags(path);
    EXPECT_EQ(tags.id3v2Version, 3);
    EXPECT_EQ(tags.title, QStringLiteral("New title"));
    EXPECT_EQ(tags.genre, QStringLiteral("Podcast")) << "frames Airlark does not set are kept";
    EXPECT_EQ(tags.artist, QStringLiteral("Old artist")) << "a value passed as none leaves the frame alone";
    EXPECT_EQ(tags.year, static_cast<unsigned>(QDate::currentDate().year()));
}

TEST_F(TagWriterTest, RewritingReplacesValuesWithoutDuplicatingFrames)
{
    const QString path = episode();
    for (const QString& title : {QStringLiteral("First"), QStringLiteral("Second, a much longer title")}) {
        PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
        writer.setTitle(title);
        writer.setArtwork(EmbeddedArtwork::fromImage(QImage(4, 4, QImage::Format_RGB32)));
        ASSERT_TRUE(writer.write());
    }
    const auto tags = readTags(path);
    EXPECT_EQ(tags.title, QStringLiteral("Second, a much longer title"));
    EXPECT_EQ(tags.pictureCount, 1);
}

TEST_F(TagWriterTest, ALargeExistingTagIsRewrittenAndTheAudioKept)
{
    const QByteArray audio = test::mp3Bytes(1);
    const QString path = episode(QStringLiteral("episode.mp3"), audio);
    QByteArray largePicture(400000, Qt::Uninitialized);
    for (qsizetype i = 0; i < largePicture.size(); ++i)
        largePicture[i] = char((i * 7919) % 251);
    tagWithTagLib(path, 3, largePicture);
    ASSERT_GT(QFileInfo(path).size(), audio.size() + 100000);

    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("Smaller now"));
    writer.setArtwork(EmbeddedArtwork::fromImage(QImage(2, 2, QImage::Format_RGB32)));
    ASSERT_TRUE(writer.write());

    const auto tags = readTags(path);
    EXPECT_EQ(tags.title, QStringLiteral("Smaller now"));
    EXPECT_EQ(tags.pictureCount, 1);
    EXPECT_EQ(readFile(path).mid(tags.audioOffset), audio) << "the audio after the tag is untouched";
}

TEST_F(TagWriterTest, AnExistingID3v1TagIsKeptInStep)
{
    const QString path = episode();
    tagWithTagLib(path, 3, {}, true);
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("New title"));
    ASSERT_TRUE(writer.write());
    const auto tags = readTags(path);
    EXPECT_TRUE(tags.hasID3v1);
    EXPECT_EQ(tags.id3v1Title, QStringLiteral("New title"));
    EXPECT_EQ(tags.title, QStringLiteral("New title"));
}

TEST_F(TagWriterTest, APlainWriterWithoutAYearLeavesTheYearAlone)
{
    const QString path = episode();
    tagWithTagLib(path, 3);
    ID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.title = QStringLiteral("Kept year");
    ASSERT_TRUE(writer.write());
    EXPECT_EQ(readTags(path).year, 1999u);
}

TEST_F(TagWriterTest, TheYearIsTheYearOfTheSave)
{
    const QString path = episode();
    PodcastID3TagWriter lastDay(QUrl::fromLocalFile(path), [] { return QDate(2030, 12, 31); });
    ASSERT_TRUE(lastDay.write());
    EXPECT_EQ(readTags(path).year, 2030u);
    PodcastID3TagWriter nextDay(QUrl::fromLocalFile(path), [] { return QDate(2031, 1, 1); });
    ASSERT_TRUE(nextDay.write());
    EXPECT_EQ(readTags(path).year, 2031u);
}

TEST_F(TagWriterTest, ANullTextIsWrittenAsTheEmptyText)
{
    const QString path = episode();
    tagWithTagLib(path, 3);
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QString());
    writer.setArtist(QString());
    ASSERT_TRUE(writer.title.has_value());
    EXPECT_TRUE(writer.title->isEmpty());
    ASSERT_TRUE(writer.write());
    const auto tags = readTags(path);
    EXPECT_EQ(tags.title, QString());
    EXPECT_EQ(tags.artist, QString());
    EXPECT_EQ(tags.genre, QStringLiteral("Podcast"));
}

TEST_F(TagWriterTest, APathWithSpacesAndNonASCIICharacters)
{
    const QString path = episode(QStringLiteral("Folge \u00fcber \u65e5\u672c/my episode \u00e9.mp3"));
    PodcastID3TagWriter writer(QUrl::fromLocalFile(path));
    writer.setTitle(QStringLiteral("Unterwegs"));
    ASSERT_TRUE(writer.write());
    EXPECT_EQ(readTags(path).title, QStringLiteral("Unterwegs"));
}

TEST_F(TagWriterTest, PermissionsAndSymbolicLinksSurviveTheReplacement)
{
    const QString path = episode();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString link = dir.filePath(QStringLiteral("link.mp3"));
    ASSERT_TRUE(QFile::link(path, link));

    PodcastID3TagWriter writer(QUrl::fromLocalFile(link));
    writer.setTitle(QStringLiteral("Through a link"));
    ASSERT_TRUE(writer.write());

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readTags(path).title, QStringLiteral("Through a link"));
    struct stat status = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

} // namespace
} // namespace airlark
