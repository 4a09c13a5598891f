#pragma once

#include "metadata/LoudnessMeter.h"

#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

namespace airlark {

// What decoding the whole audio stream of an MP3 episode found: the stream's own facts and its
// loudness.
struct EpisodeAudio
{
    // Why the stream could not be decoded at all, empty when it could.
    QString unreadable;

    int mpegVersion = 0; // 1, 2, or 25 for MPEG 2.5
    int layer = 0;
    long sampleRate = 0;
    int channels = 0;
    bool variableBitRate = false;
    int averageKilobitsPerSecond = 0;
    // The first frame carries a Xing ("Xing", or "Info" for a constant bit rate) or VBRI header:
    // what players read the duration and seek table from.
    bool hasXingHeader = false;
    bool hasVBRIHeader = false;
    // The tag in front of the audio: 2, 3 or 4 for ID3v2.x, 0 when there is none.
    int id3Version = 0;
    qint64 durationMilliseconds = 0; // from the decoded samples
    // Bytes between frames that are not a frame (damage the decoder skipped over), a last frame cut
    // short, and bytes after the last frame that are neither audio nor an ID3v1 tag.
    qint64 skippedBytes = 0;
    bool lastFrameCut = false;
    qint64 trailingBytes = 0;
    // The sample rate or channel count changes within the stream.
    bool formatChanges = false;
    LoudnessFigures loudness;
};

using EpisodeAudioProgress = std::function<void(double fraction)>;

// Decodes the MP3 file at `path` from start to end with libmpg123 and measures it, a frame at a
// time (memory does not grow with the episode's length). Blocks: run it on a worker. `progress`
// hears the fraction read now and then, on that worker; a stop request ends it early with
// none. Results are kept per file (device, inode, size and modification time) for the life of the
// process and in the data directory's cache folder, so a second check of an unchanged file, in
// this run or a later one, returns at once.
std::optional<EpisodeAudio> analyseEpisodeAudio(const QString& path,
                                                const EpisodeAudioProgress& progress = {},
                                                std::stop_token stop = {});

} // namespace airlark
