// The monotonic clock, and the one clock interface everything that waits goes through (the
// playback, the update-mode silence check, the heartbeat watch, the workflow's poll), so
// tests can run on a clock they move while the product sleeps for real.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

using AbsoluteTime = std::uint64_t; // nanoseconds of the monotonic clock
using Nanoseconds = std::uint64_t;

/// The time since system start.
AbsoluteTime UpTime();
Nanoseconds AbsoluteToNanoseconds(AbsoluteTime inTime);

/// Sets how late the kernel may wake the calling thread from a sleep (it pools wake-ups
/// within this slack; 50 µs by default). Returns the previous slack, for restoring it.
std::uint64_t SetCurrentThreadTimerSlack(std::uint64_t inNanoseconds);

/// Ends a wait early. Once woken it stays woken, so a wake that comes before the wait
/// starts is not lost. Any thread.
class CWakeup {
  public:
    void wake();
    bool isWoken() const;
    /// Blocks until the monotonic clock reaches inDeadline (true) or wake() (false).
    bool sleepUntil(Nanoseconds inDeadline);

  private:
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    bool mWoken = false;
};

class CClock {
  public:
    virtual ~CClock() = default;
    /// Nanoseconds on a monotonic time line.
    virtual Nanoseconds now() = 0;
    /// Returns true once now() has reached inDeadline, or false as soon as inWakeup (may be
    /// null) is woken, without waiting for the deadline.
    virtual bool waitUntil(Nanoseconds inDeadline, CWakeup* inWakeup = nullptr) = 0;
};

/// The clock in use: the monotonic clock with nanosleep unless InstallClock set another.
CClock& CurrentClock();
/// Makes inClock (not owned; nullptr: the monotonic clock again) the clock in use. Not
/// while anything waits on the clock in use.
void InstallClock(CClock* inClock);
