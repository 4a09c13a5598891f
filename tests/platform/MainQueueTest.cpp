#include "platform/MainQueue.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <vector>

using namespace airlark;

namespace {

TEST(MainQueue, WorkFromAnyThreadRunsLaterOnTheMainThreadInSubmissionOrder)
{
    std::vector<int> order;
    bool allOnMain = true;
    MainQueue::async([&order] { order.push_back(-1); });
    EXPECT_TRUE(order.empty()) << "work must not run inline";
    MainQueue::runInBackground([&] {
        for (int i = 0; i < 100; ++i)
            MainQueue::performOnMainThread([&, i] {
                allOnMain = allOnMain && MainQueue::isMainThread();
                order.push_back(i);
            });
    });
    ASSERT_TRUE(test::waitFor([&] { return order.size() == 101; }));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

} // namespace
