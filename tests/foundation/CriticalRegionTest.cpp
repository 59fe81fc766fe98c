// The critical region: every other thread waits, and what it cannot do is refused.
#include "Common/CriticalRegionGuard.h"
#include "Platform/Multiprocessing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class CriticalRegion : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(MPCreateCriticalRegion(&mRegion), noErr); }
    void TearDown() override { EXPECT_EQ(MPDeleteCriticalRegion(mRegion), noErr); }
    MPCriticalRegionID mRegion = nullptr;
};

TEST_F(CriticalRegion, OneThreadAtATime) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    int counter = 0; // deliberately unsynchronised but for the region
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                mstd::CCriticalRegionGuard guard(mRegion);
                ++counter;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, kThreads * kRounds);
}

TEST(CriticalRegionArguments, NullOrTimedCallsAreRefused) {
    EXPECT_EQ(MPCreateCriticalRegion(nullptr), paramErr);
    EXPECT_EQ(MPEnterCriticalRegion(nullptr, kDurationForever), paramErr);
    EXPECT_EQ(MPExitCriticalRegion(nullptr), paramErr);
    EXPECT_EQ(MPDeleteCriticalRegion(nullptr), paramErr);
    MPCriticalRegionID region = nullptr;
    ASSERT_EQ(MPCreateCriticalRegion(&region), noErr);
    EXPECT_EQ(MPEnterCriticalRegion(region, 100), paramErr);
    EXPECT_EQ(MPDeleteCriticalRegion(region), noErr);
}

} // namespace
