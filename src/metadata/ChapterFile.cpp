#include "metadata/ChapterFile.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <map>

namespace airlark {

namespace {

// Shown to the podcaster, in their language.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(ChapterFile)
};

} // namespace
namespace {

struct Line
{
    int number = 0;
    qint64 start = 0;
    QString title;
};

// "1:02:03.5 Title": hours of any length, minutes and seconds of two digits, up to three digits of
// a second.
const QRegularExpression& clockLine()
{
    static const QRegularExpression expression(
        QStringLiteral(R"(^(\d+):([0-5]\d):([0-5]\d)(?:[.,](\d{1,3}))?(?:\s+(.*))?$)"));
    return expression;
}

// "12.5<TAB>14.0<TAB>Title".
const QRegularExpression& labelLine()
{
    static const QRegularExpression expression(
        QStringLiteral(R"(^(\d+(?:\.\d*)?)\t(\d+(?:\.\d*)?)\t?(.*)$)"));
    return expression;
}

// Problems by line number, so that they read top to bottom whichever check found them.
using Problems = std::multimap<int, QString>;

std::optional<Line> readLine(const QString& text, int number, Problems& problems)
{
    const auto problem = [&](const QString& what) {
        problems.emplace(number, Text::tr("Line %1: %2").arg(number).arg(what));
        return std::nullopt;
    };
    Line line{number, 0, {}};
    if (const QRegularExpressionMatch clock = clockLine().match(text); clock.hasMatch()) {
        const qint64 hours = clock.captured(1).toLongLong();
        const QString fraction = clock.captured(4).leftJustified(3, QLatin1Char('0'));
        if (hours > 1000)
            return problem(Text::tr("%1 hours is longer than any episode.").arg(hours));
        line.start = ((hours * 60 + clock.captured(2).toInt()) * 60 + clock.captured(3).toInt()) * 1000 +
                     fraction.toInt();
        line.title = clock.captured(5).trimmed();
    } else if (const QRegularExpressionMatch label = labelLine().match(text); label.hasMatch()) {
        const double seconds = label.captured(1).toDouble();
        if (seconds > 1000.0 * 3600)
            return problem(Text::tr("%1 seconds is longer than any episode.").arg(label.captured(1)));
        line.start = std::llround(seconds * 1000);
        line.title = label.captured(3).trimmed();
    } else {
        return problem(Text::tr("\u201c%1\u201d is not a chapter: write \u201chh:mm:ss Title\u201d, or "
                                "start, end and title in seconds separated by tabs.")
                           .arg(text.trimmed().left(60)));
    }
    if (line.title.isEmpty())
        return problem(Text::tr("the chapter at %1 has no title.").arg(formattedChapterTime(line.start)));
    return line;
}

} // namespace

QString formattedChapterTime(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    QString text =
        QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    if (milliseconds % 1000)
        text += QString::asprintf(".%03lld", milliseconds % 1000);
    return text;
}

ChapterFile parseChapterFile(const QString& text, qint64 episodeMilliseconds)
{
    ChapterFile file;
    Problems problems;
    std::vector<Line> lines;
    const QStringList rows = text.split(QLatin1Char('\n'));
    for (int i = 0; i < rows.size(); ++i) {
        QString row = rows[i];
        row.remove(QLatin1Char('\r'));
        if (i == 0 && row.startsWith(QChar(0xFEFF)))
            row.remove(0, 1);
        // Blank lines, and the frequency lines an audio editor adds below a label ("\<TAB>...").
        if (row.trimmed().isEmpty() || row.startsWith(QLatin1Char('\\')))
            continue;
        if (std::optional<Line> line = readLine(row, i + 1, problems))
            lines.push_back(*line);
    }
    if (lines.empty() && problems.empty())
        problems.emplace(0, Text::tr("The file holds no chapters."));
    if (episodeMilliseconds <= 0 && !lines.empty())
        problems.emplace(0, Text::tr("The episode\u2019s length cannot be read, so its chapters cannot be "
                                     "checked against it."));
    if (qsizetype(lines.size()) > MaximumChapterCount)
        problems.emplace(lines[MaximumChapterCount].number,
                         Text::tr("Line %1: more than %2 chapters; an ID3 table of contents holds no more.")
                             .arg(lines[MaximumChapterCount].number)
                             .arg(MaximumChapterCount));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (i > 0 && line.start <= lines[i - 1].start)
            problems.emplace(
                line.number,
                Text::tr("Line %1: the chapter at %2 does not start after the one above it (%3).")
                    .arg(line.number)
                    .arg(formattedChapterTime(line.start), formattedChapterTime(lines[i - 1].start)));
        else if (episodeMilliseconds > 0 && line.start >= episodeMilliseconds)
            problems.emplace(
                line.number,
                Text::tr("Line %1: the chapter at %2 starts after the episode ends (%3).")
                    .arg(line.number)
                    .arg(formattedChapterTime(line.start), formattedChapterTime(episodeMilliseconds)));
    }
    for (const auto& [number, problem] : problems)
        file.problems << problem;
    if (!file.problems.isEmpty())
        return file;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const qint64 end = i + 1 < lines.size() ? lines[i + 1].start : episodeMilliseconds;
        file.chapters.push_back({quint32(lines[i].start),
                                 quint32(qMin<qint64>(end, std::numeric_limits<quint32>::max())),
                                 lines[i].title});
    }
    return file;
}

} // namespace airlark
