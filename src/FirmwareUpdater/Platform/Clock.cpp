#include "Clock.h"

#include <ctime>
#include <sys/prctl.h>

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
