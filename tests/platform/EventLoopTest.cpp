// The main event loop: timers fire once or until removed, and another thread can end a turn,
// even before it begins.
#include "Platform/EventLoop.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct STicks {
    int calls = 0;
    std::thread::id thread;
    EventLoopTimerRef removeOnFirst = nullptr;
};

void tick(EventLoopTimerRef inTimer, void* inUserData) {
    auto* ticks = static_cast<STicks*>(inUserData);
    ticks->thread = std::this_thread::get_id();
    ++ticks->calls;
    if (ticks->removeOnFirst == inTimer) {
        (void)RemoveEventLoopTimer(inTimer); // a timer may remove itself
    }
}

TEST(EventLoop, OneShotAndSelfRemovingTimersFireOnce) {
    EXPECT_EQ(RunDueEventLoopTimers(), kEventDurationForever) << "no timer: nothing is due";
    STicks ticks;
    EventLoopTimerRef once = nullptr;
    EventLoopTimerRef selfRemoving = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0, 0, tick, &ticks, &once), noErr);
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.001, 0.001, tick, &ticks, &selfRemoving),
              noErr);
    ticks.removeOnFirst = selfRemoving;
    RunCurrentEventLoop(0.05);
    EXPECT_EQ(ticks.calls, 2);
    EXPECT_EQ(RemoveEventLoopTimer(once), paramErr) << "a one-shot timer is gone after firing";
}

TEST(EventLoop, QuitFromAnotherThreadEndsTheTurnAndIsNotLostWhenEarly) {
    std::thread other([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QuitEventLoop(GetMainEventLoop());
    });
    EXPECT_EQ(RunCurrentEventLoop(kEventDurationForever), eventLoopQuitErr);
    other.join();
    // A quit that comes before the turn ends the next turn at once.
    ASSERT_EQ(QuitEventLoop(GetMainEventLoop()), noErr);
    EXPECT_EQ(RunCurrentEventLoop(10), eventLoopQuitErr);
    EXPECT_EQ(RunCurrentEventLoop(0), eventLoopTimedOutErr) << "it is taken once; 0 is no wait";
}

TEST(EventLoop, BadArgumentsAreRefused) {
    EventLoopTimerRef timer = nullptr;
    EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), -1, 0, tick, nullptr, &timer), paramErr);
    EXPECT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0, 0, nullptr, nullptr, &timer), paramErr);
    EXPECT_EQ(InstallEventLoopTimer(nullptr, 0, 0, tick, nullptr, &timer), paramErr);
    EXPECT_EQ(QuitEventLoop(nullptr), paramErr);
}

} // namespace
