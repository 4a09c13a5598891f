#pragma once

#include "metadata/ID3TagValues.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace airlark {

// A chapter list as podcasters write it: one chapter a line, either "hh:mm:ss[.mmm] Title" (what
// most podcast editors export) or an audio editor's label export, "start<TAB>end<TAB>title" in
// seconds. Each chapter ends where the next begins; the last one at the end of the episode.
struct ChapterFile
{
    // Every chapter, in order; only meaningful when there are no problems.
    std::vector<ChapterMark> chapters;
    // Each line that is wrong, as "Line 3: ..." in words a podcaster understands.
    QStringList problems;

    bool isValid() const { return problems.isEmpty() && !chapters.empty(); }
};

// ID3 tables of contents count their chapters in one byte.
constexpr int MaximumChapterCount = 255;

// Reads `text` against an episode of `episodeMilliseconds` (0 or less when unknown, which refuses
// the list: its chapters could not be checked against the end).
ChapterFile parseChapterFile(const QString& text, qint64 episodeMilliseconds);

// "hh:mm:ss", with ".mmm" when there are milliseconds.
QString formattedChapterTime(qint64 milliseconds);

} // namespace airlark
