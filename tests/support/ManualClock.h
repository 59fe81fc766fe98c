// A clock that moves only when the test moves it or when the code waits on it: a wait runs
// the test's hook (the world acting meanwhile: a heartbeat, a signal) and then jumps to its
// deadline at once. Installed for the test's lifetime.
#pragma once

#include "Platform/Clock.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

class CManualClock final : public CClock {
  public:
    using Hook = std::function<void(Nanoseconds inDeadline)>;
    static constexpr Nanoseconds kStart = 1'000'000'000'000u;
    static constexpr Nanoseconds kSecond = 1'000'000'000u;

    CManualClock() { InstallClock(this); }
    ~CManualClock() override { InstallClock(nullptr); }
    CManualClock(const CManualClock&) = delete;
    CManualClock& operator=(const CManualClock&) = delete;

    Nanoseconds now() override { return mNow.load(); }
    bool waitUntil(Nanoseconds inDeadline, CWakeup* inWakeup) override {
        if (inWakeup != nullptr && inWakeup->isWoken()) {
            return false;
        }
        Hook hook;
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            mDeadlines.push_back(inDeadline);
            hook = mHook;
        }
        if (hook) {
            hook(inDeadline);
        }
        if (inWakeup != nullptr && inWakeup->isWoken()) {
            return false;
        }
        Nanoseconds current = mNow.load();
        while (current < inDeadline && !mNow.compare_exchange_weak(current, inDeadline)) {
        }
        return true;
    }

    void advance(Nanoseconds inBy) { mNow += inBy; }
    /// Runs at every wait, on the waiting thread, before the clock moves.
    void onWait(Hook inHook) {
        const std::lock_guard<std::mutex> lock(mMutex);
        mHook = std::move(inHook);
    }
    /// Every deadline waited for, in order.
    std::vector<Nanoseconds> deadlines() const {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mDeadlines;
    }

  private:
    std::atomic<Nanoseconds> mNow{kStart};
    mutable std::mutex mMutex;
    Hook mHook;
    std::vector<Nanoseconds> mDeadlines;
};
