// The monotonic clock and the sleeping thread's timer slack.
#pragma once

#include <cstdint>

using AbsoluteTime = std::uint64_t; // nanoseconds of the monotonic clock
using Nanoseconds = std::uint64_t;

/// The time since system start.
AbsoluteTime UpTime();
Nanoseconds AbsoluteToNanoseconds(AbsoluteTime inTime);

/// Sets how late the kernel may wake the calling thread from a sleep (it pools wake-ups
/// within this slack; 50 µs by default). Returns the previous slack, for restoring it.
std::uint64_t SetCurrentThreadTimerSlack(std::uint64_t inNanoseconds);
