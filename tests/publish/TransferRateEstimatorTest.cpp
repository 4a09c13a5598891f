// Speed, time left and elapsed time from timed byte counts, as step 4 samples them.
#include "publish/TransferRateEstimator.h"

#include <gtest/gtest.h>
#include <vector>

namespace airlark::test {
namespace {

using namespace std::chrono_literals;

struct Sample
{
    std::chrono::milliseconds at;
    qint64 sent;
    qint64 total;
};

// `count` samples every `step`, from `from` on, at `rate` bytes per second, starting at `sent`.
std::vector<Sample> steady(std::chrono::milliseconds from, std::chrono::milliseconds step, int count,
                           qint64 sent, qint64 rate, qint64 total)
{
    std::vector<Sample> samples;
    for (int i = 0; i < count; ++i) {
        samples.push_back({from + i * step, sent + rate * (i * step).count() / 1000, total});
    }
    return samples;
}

std::vector<Sample> operator+(std::vector<Sample> a, const std::vector<Sample>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Row
{
    const char* name;
    std::vector<Sample> samples;
    std::optional<std::pair<double, double>> speed;       // none: unknown
    std::optional<std::pair<qint64, qint64>> secondsLeft; // none: unknown
    std::chrono::milliseconds elapsed;
};

TEST(TransferRateEstimatorTest, SpeedTimeLeftAndElapsedFollowTheSamples)
{
    // clang-format off
    const std::vector<Row> rows = {
        {"one sample knows no speed", {{0ms, 0, 1000}}, std::nullopt, std::nullopt, 0ms},
        {"unevenly sampled steady speed stays put", {{0ms, 0, 10000}, {100ms, 100, 10000}, {1100ms, 1100, 10000}, {1300ms, 1300, 10000}},
         std::pair{999.9, 1000.1}, std::pair{9, 9}, 1300ms},
        {"nothing moves from the start: no arrival time", steady(0ms, 500ms, 6, 0, 0, 1000), std::pair{0.0, 0.0}, std::nullopt, 2500ms},
        {"a ten-second stall drains the speed and pushes the arrival out",
         steady(0ms, 500ms, 11, 0, 1000, 100000) + steady(5500ms, 500ms, 20, 5000, 0, 100000), std::pair{20.0, 50.0}, std::pair{1900, 4800}, 15000ms},
        {"a burst after a stall is not taken at its word", steady(0ms, 500ms, 11, 0, 0, 4000000) + std::vector<Sample>{{5500ms, 1000000, 4000000}},
         std::pair{250000.0, 350000.0}, std::pair{8, 12}, 5500ms},
        {"unknown total: a speed but no time left", steady(0ms, 1000ms, 3, 0, 500, 0), std::pair{499.9, 500.1}, std::nullopt, 2000ms},
        {"everything sent: nothing left, even while stalled", steady(0ms, 1000ms, 3, 0, 500, 1000) + steady(3000ms, 1000ms, 20, 1000, 0, 1000),
         std::pair{0.0, 1.0}, std::pair{0, 0}, 22000ms},
        {"a count going back is a new transfer: its own speed and clock",
         steady(0ms, 500ms, 21, 0, 1000, 50000) + steady(10000ms, 500ms, 5, 0, 4000, 50000), std::pair{3999.9, 4000.1}, std::pair{11, 11}, 2000ms},
        {"two readings at one instant count as one interval", {{0ms, 0, 3000}, {1000ms, 500, 3000}, {1000ms, 1000, 3000}, {2000ms, 2000, 3000}},
         std::pair{500.0, 1000.0}, std::pair{2, 2}, 2000ms},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TransferRateEstimator estimator;
        for (const Sample& sample : row.samples) {
            estimator.addSample(TransferRateEstimator::Clock::time_point(sample.at), sample.sent,
                                sample.total);
        }
        // Unknown exactly when the row says so, else within the row's range.
        const auto within = [](const auto& value, const auto& range) {
            return value.has_value() == range.has_value() &&
                   (!value || (*value >= range->first && *value <= range->second));
        };
        const auto speed = estimator.bytesPerSecond();
        const auto left = estimator.timeLeft();
        EXPECT_TRUE(within(speed, row.speed)) << speed.value_or(-1);
        EXPECT_TRUE(within(left ? std::optional(left->count()) : std::nullopt, row.secondsLeft))
            << (left ? left->count() : -1);
        EXPECT_EQ(estimator.elapsed(), row.elapsed);
    }
}

} // namespace
} // namespace airlark::test
