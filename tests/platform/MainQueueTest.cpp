#include "platform/MainQueue.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace airlark;
using namespace std::chrono_literals;

namespace {

TEST(MainQueue, RunsWorkLaterOnTheMainThreadInSubmissionOrder)
{
    std::vector<int> order;
    for (int i = 0; i < 50; ++i)
        MainQueue::async([&order, i] { order.push_back(i); });
    EXPECT_TRUE(order.empty()) << "work must not run inline";
    ASSERT_TRUE(test::waitFor([&] { return order.size() == 50; }));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(MainQueue, WorkFromABackgroundThreadArrivesOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::atomic<bool> offMain = false;
    bool allOnMain = true;
    MainQueue::runInBackground([&] {
        offMain = !MainQueue::isMainThread();
        for (int i = 0; i < 100; ++i)
            MainQueue::performOnMainThread([&, i] {
                allOnMain = allOnMain && MainQueue::isMainThread();
                order.push_back(i);
            });
    });
    ASSERT_TRUE(test::waitFor([&] { return order.size() == 100; }));
    EXPECT_TRUE(offMain);
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST(RepeatingTimer, FiresAfterOneIntervalAndStopsWhenInvalidated)
{
    int ticks = 0;
    RepeatingTimer timer(20ms, [&] { ++ticks; });
    timer.start();
    EXPECT_EQ(ticks, 0);
    ASSERT_TRUE(test::waitFor([&] { return ticks >= 3; }));
    timer.invalidate();
    const int stoppedAt = ticks;
    QThread::msleep(80);
    test::waitFor([] { return false; }, 60ms);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_FALSE(timer.isValid());
}

} // namespace
