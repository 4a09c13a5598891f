// The rules behind step 1 and step 2, in process: which dropped file is taken, what a chapter file
// gives, and what the directories' artwork rules make of an image.
#include "metadata/ArtworkCheck.h"
#include "metadata/ChapterFile.h"
#include "metadata/FileDropRule.h"
#include "support/Mp3Fixtures.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace airlark {
namespace {

TEST(FileDropRuleTest, TakesTheFirstFileOnlyWhenItIsALocalFileOfItsTypes)
{
    const auto local = [](const char* name) {
        return QUrl::fromLocalFile(QStringLiteral("/home/ann/") + name);
    };
    const struct
    {
        FileDropRule rule;
        QList<QUrl> urls;
        bool accepted;
    } drops[] = {
        {FileDropRule::audio(), {local("Episode 7.MP3"), local("notes.txt")}, true},
        {FileDropRule::audio(), {local("caf\u00e9 \u9ce5.mp3")}, true},
        {FileDropRule::audio(), {local("episode.wav")}, false},
        {FileDropRule::audio(), {local("one.wav"), local("two.mp3")}, false},
        {FileDropRule::audio(), {local("episode")}, false},
        {FileDropRule::audio(), {local(".mp3")}, false},
        {FileDropRule::audio(), {local("episode.mp3.")}, false},
        {FileDropRule::audio(), {}, false},
        {FileDropRule::audio(), {QUrl(QStringLiteral("https://example.org/episode.mp3"))}, false},
        {FileDropRule::image(), {local("cover.png")}, false}, // declared, never taken
    };
    for (const auto& drop : drops) {
        const std::optional<QUrl> taken = drop.rule.acceptedFile(drop.urls);
        EXPECT_EQ(taken.has_value(), drop.accepted)
            << (drop.urls.isEmpty() ? "" : qPrintable(drop.urls[0].toString()));
        if (taken) {
            EXPECT_EQ(*taken, drop.urls.front());
        }
    }
}

struct ChapterText
{
    const char* name;
    QString text;
    std::vector<ChapterMark> chapters; // when valid
    QStringList problems;
};

class ChapterFileTest : public ::testing::TestWithParam<ChapterText>
{
};

// Against an episode of ten seconds.
TEST_P(ChapterFileTest, GivesItsChaptersOrNamesItsWrongLines)
{
    const ChapterFile file = parseChapterFile(GetParam().text, 10'000);
    EXPECT_EQ(file.problems, GetParam().problems);
    if (GetParam().problems.isEmpty()) {
        EXPECT_EQ(file.chapters, GetParam().chapters);
    }
}

const QString NotAChapter = QStringLiteral("is not a chapter: write \u201chh:mm:ss Title\u201d, or start, "
                                           "end and title in seconds separated by tabs.");

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, ChapterFileTest, ::testing::Values(
    ChapterText{"clock", "\ufeff00:00:00 Intro\r\n00:00:04.25 Caf\u00e9 talk\r\n\r\n0:00:08 The end\r\n",
                {{0, 4250, "Intro"}, {4250, 8000, "Caf\u00e9 talk"}, {8000, 10000, "The end"}}, {}},
    ChapterText{"labelExport", "0.000000\t4.000000\tIntro\n\\\t100.0\t2000.0\n4.5\t9\tOutro\n",
                {{0, 4500, "Intro"}, {4500, 10000, "Outro"}}, {}},
    ChapterText{"invalidLines", "00:00:00 Intro\nchapter two\n00:00:02\n00:00:00 Again\n00:61:00 Bad minutes\n00:00:11 Too late\n", {},
                {"Line 2: \u201cchapter two\u201d " + NotAChapter,
                 "Line 3: the chapter at 00:00:02 has no title.",
                 "Line 4: the chapter at 00:00:00 does not start after the one above it (00:00:00).",
                 "Line 5: \u201c00:61:00 Bad minutes\u201d " + NotAChapter,
                 "Line 6: the chapter at 00:00:11 starts after the episode ends (00:00:10)."}},
    ChapterText{"empty", "\n \n", {}, {"The file holds no chapters."}}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

TEST(ChapterFileTest, AnEpisodeOfUnknownLengthRefusesTheList)
{
    EXPECT_FALSE(parseChapterFile(QStringLiteral("00:00:00 Intro\n"), 0).isValid());
    EXPECT_EQ(formattedChapterTime(3'723'040), QStringLiteral("01:02:03.040"));
}

QByteArray cmykJpeg()
{
    QTemporaryDir dir;
    const QString rgb = dir.filePath(QStringLiteral("rgb.jpg"));
    const QString cmyk = dir.filePath(QStringLiteral("cmyk.jpg"));
    test::writeFile(rgb, test::jpegBytes(1400, 1400));
    QProcess::execute(QStringLiteral("/usr/bin/convert"),
                      {rgb, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), cmyk});
    return test::readFile(cmyk);
}

QByteArray transparentPng()
{
    QImage image(1400, 1400, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(ArtworkRulesTest, AnImageBreakingARuleIsWarnedAboutAndOnlyANonImageIsRefused)
{
    using V = ArtworkCheck::Verdict;
    const struct
    {
        const char* name;
        QByteArray bytes;
        V verdict;
        QString message;
    } images[] = {
        // clang-format off
        {"smallest", test::jpegBytes(1400, 1400), V::Fine, {}},
        {"largest", test::jpegBytes(3000, 3000), V::Fine, {}},
        {"notAnImage", "Show notes, not a picture.\n", V::Refused, "\u201cnotes.jpg\u201d is not an image: choose a JPEG or PNG file."},
        {"small", test::imageBytes(1200, 1200, "PNG"), V::Warned, "1200\u00d71200 PNG: directories ask for at least 1400\u00d71400"},
        {"tooLargeAndNotSquare", test::jpegBytes(3200, 3000), V::Warned, "3200\u00d73000 JPEG: directories ask for a square image, at most 3000\u00d73000"},
        {"greyscale", test::imageBytes(1400, 1400, "PNG", true), V::Warned, "1400\u00d71400 PNG in greyscale: directories ask for RGB colour"},
        {"cmyk", cmykJpeg(), V::Warned, "1400\u00d71400 JPEG in CMYK: directories ask for RGB colour"},
        {"bitmap", test::imageBytes(1400, 1400, "BMP"), V::Warned, "1400\u00d71400 BMP: directories ask for JPEG or PNG"},
        {"transparent", transparentPng(), V::Warned, "1400\u00d71400 PNG: directories ask for no transparency"},
        // clang-format on
    };
    for (const auto& image : images) {
        const ArtworkCheck check = checkArtworkBytes(image.bytes, QStringLiteral("/home/ann/notes.jpg"), 64);
        EXPECT_EQ(check.verdict, image.verdict) << image.name;
        EXPECT_EQ(check.message, image.message) << image.name;
        if (check.isAccepted()) {
            EXPECT_LE(qMax(check.preview.width(), check.preview.height()), 64) << image.name;
            EXPECT_TRUE(check.artwork) << image.name << ": every accepted image goes into the tag";
        }
    }
}

} // namespace
} // namespace airlark
