#include "Clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <sys/prctl.h>

namespace {

// nanosleep for the whole remaining interval, then look again: a sleep cut short by a
// signal only leads to another look. No busy waiting.
class CMonotonicClock final : public CClock {
  public:
    Nanoseconds now() override { return AbsoluteToNanoseconds(UpTime()); }
    bool waitUntil(Nanoseconds inDeadline, CWakeup* inWakeup) override {
        if (inWakeup != nullptr) {
            return inWakeup->sleepUntil(inDeadline);
        }
        for (Nanoseconds current = now(); current < inDeadline; current = now()) {
            const Nanoseconds remaining = inDeadline - current;
            const timespec interval = {static_cast<std::time_t>(remaining / 1'000'000'000u),
                                       static_cast<long>(remaining % 1'000'000'000u)};
            nanosleep(&interval, nullptr);
        }
        return true;
    }
};

CMonotonicClock sMonotonicClock;
std::atomic<CClock*> sClock{&sMonotonicClock};

} // namespace

AbsoluteTime UpTime() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<AbsoluteTime>(now.tv_sec) * 1'000'000'000u +
           static_cast<AbsoluteTime>(now.tv_nsec);
}

Nanoseconds AbsoluteToNanoseconds(AbsoluteTime inTime) {
    return inTime;
}

std::uint64_t SetCurrentThreadTimerSlack(std::uint64_t inNanoseconds) {
    const int previous = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, inNanoseconds, 0, 0, 0);
    return previous > 0 ? static_cast<std::uint64_t>(previous) : 50'000;
}

void CWakeup::wake() {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mWoken = true;
    }
    mChanged.notify_all();
}

bool CWakeup::isWoken() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mWoken;
}

bool CWakeup::sleepUntil(Nanoseconds inDeadline) {
    // steady_clock is CLOCK_MONOTONIC, the time line of UpTime.
    const std::chrono::steady_clock::time_point deadline{std::chrono::nanoseconds(inDeadline)};
    std::unique_lock<std::mutex> lock(mMutex);
    return !mChanged.wait_until(lock, deadline, [this] { return mWoken; });
}

CClock& CurrentClock() {
    return *sClock.load();
}

void InstallClock(CClock* inClock) {
    sClock = inClock != nullptr ? inClock : &sMonotonicClock;
}
