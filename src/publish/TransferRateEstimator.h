#pragma once

#include <QtGlobal>
#include <chrono>
#include <optional>

namespace airlark {

// Turns an upload's running byte count into what a podcaster wants to read while waiting: how
// fast it goes, how long is left, and how long it took. Pure arithmetic on the samples it is
// given, so the caller decides how often to sample and the clock can be a test's own.
//
// The speed is an exponential moving average over a time constant of a few seconds, weighted by
// the time each sample covers: uneven sampling does not skew it, a burst after a stall does not
// promise an arrival time that the next second takes back, and a stall drains the speed towards
// zero instead of freezing the last good value.
class TransferRateEstimator
{
public:
    using Clock = std::chrono::steady_clock;

    explicit TransferRateEstimator(std::chrono::milliseconds timeConstant = std::chrono::seconds(3));

    // One reading of the transfer: `bytesSent` so far, of `bytesTotal` (0 when unknown). A count
    // lower than the last one is a transfer started over (a retry, the next episode): speed and
    // elapsed time start over from this sample.
    void addSample(Clock::time_point time, qint64 bytesSent, qint64 bytesTotal);
    void reset();

    // Smoothed bytes per second; none before two samples a moment apart.
    std::optional<double> bytesPerSecond() const;
    // Time until bytesTotal at the smoothed speed, rounded up to whole seconds; none while the
    // total or the speed is unknown or the transfer is stalled. Zero once everything is sent.
    std::optional<std::chrono::seconds> timeLeft() const;
    // From the first sample of this transfer to the latest.
    std::chrono::milliseconds elapsed() const;

    qint64 bytesSent() const { return lastBytes_; }
    qint64 bytesTotal() const { return total_; }

private:
    std::chrono::duration<double> timeConstant_;
    std::optional<Clock::time_point> first_;
    Clock::time_point last_{};
    qint64 lastBytes_ = 0;
    qint64 total_ = 0;
    std::optional<double> rate_;
};

} // namespace airlark
