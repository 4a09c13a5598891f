#pragma once

#include <cstddef>
#include <ebur128.h>
#include <optional>
#include <vector>

namespace airlark {

// The three figures podcast directories judge an episode's level by, to ITU-R BS.1770-4 with
// EBU R128's gating (Tech 3341 and 3342).
struct LoudnessFigures
{
    // LUFS; none when every block lies below the absolute gate (silence).
    std::optional<double> integrated;
    double range = 0; // LU
    // dBTP; none when every sample is zero.
    std::optional<double> truePeak;
};

// Measures interleaved float PCM as it streams past. libebur128 does the K-weighting and the
// channel weights; the gating runs here on histograms of fixed size, so memory stays the same
// however long the episode is. The true peak is the peak of the signal oversampled four times
// with the interpolation filter BS.1770-4 gives in its annex; a block whose samples cannot reach
// the peak found so far, whatever the filter makes of them, is not oversampled at all. A mono stream is one
// channel, measured as such (a centre channel, weight 1), as BS.1770 says: it reads 3 LU lower than the same
// signal on both channels of a stereo file, which is why directories ask 3 LU less of it.
class LoudnessMeter
{
public:
    LoudnessMeter(int channels, long sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    bool isValid() const { return state_ != nullptr; }
    void add(const float* interleaved, std::size_t frames);
    LoudnessFigures figures() const;

private:
    struct Histogram
    {
        std::vector<unsigned long long> counts;
        std::vector<double> energies;
        void add(double energy);
    };

    void endSubBlock();
    void addToTruePeak(const float* interleaved, std::size_t frames);

    ebur128_state* state_ = nullptr;
    int channels_;
    std::size_t subBlockFrames_;
    std::size_t framesInSubBlock_ = 0;
    // The energies of the last 3 s of 100 ms sub-blocks: a 400 ms block is the mean of four, a
    // 3 s short-term window the mean of thirty, each hopping by one sub-block (75 % and more
    // overlap, as the gating and the loudness range ask).
    double subBlocks_[30] = {};
    unsigned long long subBlockCount_ = 0;
    Histogram momentary_;
    Histogram shortTerm_;
    // Per channel: the last samples of the previous block, then the block being oversampled.
    std::vector<float> history_[2];
    std::vector<float> oversampled_;
    double truePeak_ = 0; // linear
};

} // namespace airlark
