#include "platform/NotificationCenter.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using airlark::NotificationCenter;

namespace {

TEST(NotificationCenter, HandlersRunSynchronouslyAndMayPostAndRemoveThemselves)
{
    NotificationCenter center;
    int outer = 0;
    int inner = 0;
    int other = 0;
    center.addObserver(&outer, QStringLiteral("outer"), [&](const auto&) {
        ++outer;
        center.post(QStringLiteral("inner"));
        center.removeObserver(&outer);
    });
    center.addObserver(&outer, QStringLiteral("inner"), [&](const auto&) { ++other; });
    center.addObserver(&inner, QStringLiteral("inner"), [&](const auto&) { ++inner; });
    center.post(QStringLiteral("outer"));
    center.post(QStringLiteral("outer"));
    center.post(QStringLiteral("inner"));
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(other, 1) << "removing an observer ends every registration it had";
}

// An observer that unregisters in its destructor while another thread keeps posting must never be
// called once removal has returned: a late call is a use after free (the sanitizer build sees it).
TEST(NotificationCenter, AnObserverRemovedWhileAnotherThreadPostsIsNeverCalledAfterwards)
{
    NotificationCenter center;
    std::atomic<bool> stop = false;
    std::atomic<int> lateCalls = 0;
    std::thread poster([&] {
        while (!stop)
            center.post(QStringLiteral("busy"));
    });
    for (int round = 0; round < 200; ++round) {
        auto alive = std::make_unique<std::atomic<bool>>(true);
        auto* flag = alive.get();
        center.addObserver(flag, QStringLiteral("busy"), [flag, &lateCalls](const auto&) {
            if (!flag->load())
                ++lateCalls;
        });
        center.removeObserver(flag);
        flag->store(false);
    }
    stop = true;
    poster.join();
    EXPECT_EQ(lateCalls, 0);
}

} // namespace
