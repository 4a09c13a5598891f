#pragma once

#include "metadata/ArtworkCheck.h"
#include "metadata/EpisodeAudio.h"
#include "metadata/ID3TagValues.h"

#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

namespace airlark {

// One line of the preflight report: what was checked, what was found, and what to do about it.
struct EpisodeCheckItem
{
    enum class Verdict
    {
        Pass,
        Warning, // directories and apps take it, listeners may notice
        Failure, // a directory refuses it or players get it wrong
    };

    QString key;  // stable, for scripts: "loudness", "true-peak", "artwork"...
    QString name; // "Loudness"
    Verdict verdict = Verdict::Pass;
    QString finding; // "−22.4 LUFS integrated, range 6.1 LU"
    QString advice;  // one line; empty when there is nothing to do
};

struct EpisodeCheckReport
{
    std::vector<EpisodeCheckItem> items;
    // The measured figures, for scripts; none when the audio could not be decoded.
    std::optional<EpisodeAudio> audio;

    bool hasFailure() const;
    int count(EpisodeCheckItem::Verdict verdict) const;
    // "2 warnings, 1 failure", or "Ready: every check passed".
    QString summary() const;
    QJsonObject toJson() const;
    // One line per item, advice indented below it.
    QString toText() const;
};

// What goes out with the audio: the tags it will carry (their title and chapters are checked), its
// cover as checked (none when there is none), and whether a save will (re)write the tag as ID3v2.3.
struct EpisodeCheckTags
{
    ID3TagValues values;
    std::optional<ArtworkCheck> artwork;
    bool tagWillBeWritten = false;
};

// Above this, a cover slows apps down and some skip it.
constexpr qint64 LargeArtworkBytes = 512 * 1024;
// Longer chapter titles are cut or hidden by some players.
constexpr int LongChapterTitle = 51;

// The report for decoded audio and the tags that go with it. Pure: no file is read.
EpisodeCheckReport episodeCheckReport(const EpisodeAudio& audio, const EpisodeCheckTags& tags);

// The tags the episode at `path` carries now (its title, chapters and cover, checked). Blocks.
EpisodeCheckTags readEpisodeCheckTags(const QString& path);

QString verdictName(EpisodeCheckItem::Verdict verdict);

} // namespace airlark
