#include "metadata/LoudnessMeter.h"

#include <algorithm>
#include <cmath>

namespace airlark {
namespace {

// Blocks are kept in 0.01 LU steps from the absolute gate up: finer than any figure is shown.
constexpr double AbsoluteGate = -70.0;
constexpr double Steps = 100.0;
constexpr std::size_t Bins = 100 * 100; // up to +30 LUFS, beyond any real signal

double loudnessOf(double energy)
{
    return -0.691 + 10.0 * std::log10(energy);
}

double energyOf(double loudness)
{
    return std::pow(10.0, (loudness + 0.691) / 10.0);
}

// The four phases of BS.1770-4's 48-tap interpolation filter (Annex 2), newest sample last.
constexpr int Taps = 12;
constexpr float Phases[4][Taps] = {
    {0.0017089843750f, 0.0109863281250f, -0.0196533203125f, 0.0332031250000f, -0.0594482421875f,
     0.1373291015625f, 0.9721679687500f, -0.1022949218750f, 0.0476074218750f, -0.0266113281250f,
     0.0148925781250f, -0.0083007812500f},
    {-0.0291748046875f, 0.0292968750000f, -0.0517578125000f, 0.0891113281250f, -0.1665039062500f,
     0.4650878906250f, 0.7797851562500f, -0.2003173828125f, 0.1015625000000f, -0.0582275390625f,
     0.0330810546875f, -0.0189208984375f},
    {-0.0189208984375f, 0.0330810546875f, -0.0582275390625f, 0.1015625000000f, -0.2003173828125f,
     0.7797851562500f, 0.4650878906250f, -0.1665039062500f, 0.0891113281250f, -0.0517578125000f,
     0.0292968750000f, -0.0291748046875f},
    {-0.0083007812500f, 0.0148925781250f, -0.0266113281250f, 0.0476074218750f, -0.1022949218750f,
     0.9721679687500f, 0.1373291015625f, -0.0594482421875f, 0.0332031250000f, -0.0196533203125f,
     0.0109863281250f, 0.0017089843750f},
};

// No output of the filter exceeds the largest input magnitude in its window times this.
constexpr double FilterGainBound = 2.03;

double binLoudness(std::size_t bin)
{
    return AbsoluteGate + (double(bin) + 0.5) / Steps;
}

} // namespace

void LoudnessMeter::Histogram::add(double energy)
{
    if (energy <= 0)
        return;
    const double loudness = loudnessOf(energy);
    if (loudness < AbsoluteGate)
        return;
    const auto bin = std::min(Bins - 1, std::size_t((loudness - AbsoluteGate) * Steps));
    ++counts[bin];
    energies[bin] += energy;
}

LoudnessMeter::LoudnessMeter(int channels, long sampleRate)
    : channels_(channels), subBlockFrames_(std::size_t(sampleRate + 5) / 10)
{
    for (Histogram* histogram : {&momentary_, &shortTerm_}) {
        histogram->counts.assign(Bins, 0);
        histogram->energies.assign(Bins, 0.0);
    }
    if (channels < 1 || channels > 2 || sampleRate <= 0)
        return;
    state_ = ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate), EBUR128_MODE_M);
    for (int channel = 0; channel < channels; ++channel)
        history_[channel].assign(Taps - 1, 0.0f);
    if (!state_)
        return;
    if (channels == 1) {
        ebur128_set_channel(state_, 0, EBUR128_CENTER);
    } else {
        ebur128_set_channel(state_, 0, EBUR128_LEFT);
        ebur128_set_channel(state_, 1, EBUR128_RIGHT);
    }
}

LoudnessMeter::~LoudnessMeter()
{
    if (state_)
        ebur128_destroy(&state_);
}

void LoudnessMeter::add(const float* interleaved, std::size_t frames)
{
    if (!state_)
        return;
    addToTruePeak(interleaved, frames);
    // Cut at every sub-block's end, so that libebur128's last 100 ms window is exactly that block.
    while (frames > 0) {
        const std::size_t take = std::min(frames, subBlockFrames_ - framesInSubBlock_);
        ebur128_add_frames_float(state_, interleaved, take);
        interleaved += take * std::size_t(channels_);
        frames -= take;
        framesInSubBlock_ += take;
        if (framesInSubBlock_ == subBlockFrames_)
            endSubBlock();
    }
}

void LoudnessMeter::addToTruePeak(const float* interleaved, std::size_t frames)
{
    for (int channel = 0; channel < channels_; ++channel) {
        std::vector<float>& samples = history_[channel];
        samples.resize(Taps - 1 + frames);
        float largest = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            const float sample = interleaved[i * std::size_t(channels_) + std::size_t(channel)];
            samples[Taps - 1 + i] = sample;
            largest = std::max(largest, std::abs(sample));
        }
        for (int i = 0; i < Taps - 1; ++i)
            largest = std::max(largest, std::abs(samples[std::size_t(i)]));
        // The samples themselves lie on the oversampled signal too.
        truePeak_ = std::max(truePeak_, double(largest));
        if (double(largest) * FilterGainBound > truePeak_) {
            // Each phase as one pass over the block: loops the compiler turns into vector code.
            oversampled_.resize(frames);
            for (const auto& phase : Phases) {
                std::fill(oversampled_.begin(), oversampled_.end(), 0.0f);
                for (int tap = 0; tap < Taps; ++tap) {
                    const float coefficient = phase[tap];
                    const float* x = samples.data() + tap;
                    float* y = oversampled_.data();
                    for (std::size_t i = 0; i < frames; ++i)
                        y[i] += coefficient * x[i];
                }
                float peak = 0;
                for (std::size_t i = 0; i < frames; ++i)
                    peak = std::max(peak, std::abs(oversampled_[i]));
                truePeak_ = std::max(truePeak_, double(peak));
            }
        }
        std::copy(samples.end() - (Taps - 1), samples.end(), samples.begin());
        samples.resize(Taps - 1);
    }
}

void LoudnessMeter::endSubBlock()
{
    framesInSubBlock_ = 0;
    double loudness = -HUGE_VAL;
    ebur128_loudness_window(state_, 100, &loudness);
    subBlocks_[subBlockCount_ % 30] = std::isfinite(loudness) ? energyOf(loudness) : 0.0;
    ++subBlockCount_;
    const auto meanOfLast = [this](unsigned long long n) {
        double sum = 0;
        for (unsigned long long i = subBlockCount_ - n; i < subBlockCount_; ++i)
            sum += subBlocks_[i % 30];
        return sum / double(n);
    };
    if (subBlockCount_ >= 4)
        momentary_.add(meanOfLast(4));
    if (subBlockCount_ >= 30)
        shortTerm_.add(meanOfLast(30));
}

LoudnessFigures LoudnessMeter::figures() const
{
    LoudnessFigures figures;
    // The relative gate: blocks more than `below` LU under the mean of those above the absolute gate
    // are left out. Returns the first bin kept, or none when no block passed the absolute gate.
    const auto relativeGate = [](const Histogram& histogram, double below) -> std::optional<std::size_t> {
        double energy = 0;
        unsigned long long count = 0;
        for (std::size_t bin = 0; bin < Bins; ++bin) {
            energy += histogram.energies[bin];
            count += histogram.counts[bin];
        }
        if (count == 0)
            return std::nullopt;
        const double gate = loudnessOf(energy / double(count)) - below;
        return std::size_t(std::clamp((gate - AbsoluteGate) * Steps, 0.0, double(Bins - 1)));
    };

    if (const auto first = relativeGate(momentary_, 10.0)) {
        double energy = 0;
        unsigned long long count = 0;
        for (std::size_t bin = *first; bin < Bins; ++bin) {
            energy += momentary_.energies[bin];
            count += momentary_.counts[bin];
        }
        if (count > 0)
            figures.integrated = loudnessOf(energy / double(count));
    }

    if (const auto first = relativeGate(shortTerm_, 20.0)) {
        unsigned long long count = 0;
        for (std::size_t bin = *first; bin < Bins; ++bin)
            count += shortTerm_.counts[bin];
        // The 10th and 95th percentiles of the short-term loudness, as EBU Tech 3342 defines the range.
        const auto percentile = [&](double fraction) {
            const auto index = static_cast<unsigned long long>(double(count - 1) * fraction + 0.5);
            unsigned long long seen = 0;
            for (std::size_t bin = *first; bin < Bins; ++bin) {
                seen += shortTerm_.counts[bin];
                if (seen > index)
                    return binLoudness(bin);
            }
            return binLoudness(Bins - 1);
        };
        if (count > 0)
            figures.range = percentile(0.95) - percentile(0.10);
    }

    if (truePeak_ > 0)
        figures.truePeak = 20.0 * std::log10(truePeak_);
    return figures;
}

} // namespace airlark
