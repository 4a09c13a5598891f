#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using airlark::NotificationCenter;

namespace {

TEST(NotificationCenter, PostCallsEveryObserverOfTheNameSynchronouslyWhateverTheSender)
{
    NotificationCenter center;
    int first = 0;
    int second = 0;
    int other = 0;
    std::vector<const void*> senders;
    center.addObserver(&first, QStringLiteral("changed"), [&](const auto& n) {
        ++first;
        senders.push_back(n.object);
    });
    center.addObserver(&second, QStringLiteral("changed"), [&](const auto&) { ++second; });
    center.addObserver(&other, QStringLiteral("other"), [&](const auto&) { ++other; });

    const int sender = 0;
    center.post(QStringLiteral("changed"));
    center.post(QStringLiteral("changed"), &sender);

    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(senders, (std::vector<const void*>{nullptr, &sender}));
}

TEST(NotificationCenter, RemovingAnObserverEndsAllItsRegistrations)
{
    NotificationCenter center;
    int calls = 0;
    center.addObserver(&calls, QStringLiteral("a"), [&](const auto&) { ++calls; });
    center.addObserver(&calls, QStringLiteral("b"), [&](const auto&) { ++calls; });
    center.removeObserver(&calls);
    center.post(QStringLiteral("a"));
    center.post(QStringLiteral("b"));
    EXPECT_EQ(calls, 0);
}

TEST(NotificationCenter, HandlersMayPostAndRemoveThemselves)
{
    NotificationCenter center;
    int outer = 0;
    int inner = 0;
    center.addObserver(&outer, QStringLiteral("outer"), [&](const auto&) {
        ++outer;
        center.post(QStringLiteral("inner"));
        center.removeObserver(&outer);
    });
    center.addObserver(&inner, QStringLiteral("inner"), [&](const auto&) { ++inner; });
    center.post(QStringLiteral("outer"));
    center.post(QStringLiteral("outer"));
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 1);
}

TEST(NotificationCenter, PostsFromManyThreadsReachTheObserverOnThePostingThread)
{
    NotificationCenter center;
    std::atomic<int> calls = 0;
    std::atomic<bool> wrongThread = false;
    thread_local bool posting = false;
    center.addObserver(&calls, QStringLiteral("tick"), [&](const auto&) {
        if (!posting)
            wrongThread = true;
        ++calls;
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            posting = true;
            for (int i = 0; i < 500; ++i)
                center.post(QStringLiteral("tick"));
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(calls, 2000);
    EXPECT_FALSE(wrongThread);
}

// An observer that unregisters in its destructor while another thread keeps posting must never be
// called once removal has returned; the handler touches the object, so a late call is a use after free
// (caught by the sanitizer build) or a visible flag here.
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
        alive.reset();
    }
    stop = true;
    poster.join();
    EXPECT_EQ(lateCalls, 0);
}

} // namespace
