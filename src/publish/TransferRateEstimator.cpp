#include "publish/TransferRateEstimator.h"

#include <cmath>

namespace airlark {

namespace {

// Below one byte a second the transfer is as good as stalled; an arrival time computed from such
// a speed would only be noise measured in days.
constexpr double stalledBytesPerSecond = 1.0;

} // namespace

TransferRateEstimator::TransferRateEstimator(std::chrono::milliseconds timeConstant)
    : timeConstant_(timeConstant)
{
}

void TransferRateEstimator::reset()
{
    first_.reset();
    last_ = {};
    lastBytes_ = 0;
    total_ = 0;
    rate_.reset();
}

void TransferRateEstimator::addSample(Clock::time_point time, qint64 bytesSent, qint64 bytesTotal)
{
    if (!first_ || bytesSent < lastBytes_ || time < last_) {
        reset();
        first_ = time;
        last_ = time;
        lastBytes_ = bytesSent;
        total_ = bytesTotal;
        return;
    }
    total_ = bytesTotal;
    const std::chrono::duration<double> span = time - last_;
    if (span.count() <= 0) {
        // Two readings at one instant: keep the newer count and let the next interval carry both.
        return;
    }
    const double instantaneous = static_cast<double>(bytesSent - lastBytes_) / span.count();
    if (!rate_) {
        rate_ = instantaneous;
    } else {
        const double weight = 1.0 - std::exp(-span.count() / timeConstant_.count());
        *rate_ += weight * (instantaneous - *rate_);
    }
    last_ = time;
    lastBytes_ = bytesSent;
}

std::optional<double> TransferRateEstimator::bytesPerSecond() const
{
    return rate_;
}

std::optional<std::chrono::seconds> TransferRateEstimator::timeLeft() const
{
    if (total_ <= 0) {
        return std::nullopt;
    }
    if (lastBytes_ >= total_) {
        return std::chrono::seconds(0);
    }
    if (!rate_ || *rate_ < stalledBytesPerSecond) {
        return std::nullopt;
    }
    const double seconds = static_cast<double>(total_ - lastBytes_) / *rate_;
    return std::chrono::seconds(static_cast<qint64>(std::ceil(seconds)));
}

std::chrono::milliseconds TransferRateEstimator::elapsed() const
{
    if (!first_) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(last_ - *first_);
}

} // namespace airlark
