// The main event loop and its timers.
//
// There is one loop per process. Timers run only while a thread turns the loop, on that
// thread: the terminal front-end and tests with RunCurrentEventLoop, a GUI toolkit from its
// own loop with RunDueEventLoopTimers. Nothing runs while nobody turns it (for example
// during the firmware transfer), and timers that fell behind fire once, not once per
// missed period.
#pragma once

#include "MacTypes.h"

using EventTimerInterval = double; // seconds

struct OpaqueEventLoopRef;
using EventLoopRef = OpaqueEventLoopRef*;
struct OpaqueEventLoopTimerRef;
using EventLoopTimerRef = OpaqueEventLoopTimerRef*;

using EventLoopTimerProcPtr = void (*)(EventLoopTimerRef inTimer, void* inUserData);
using EventLoopTimerUPP = EventLoopTimerProcPtr;

inline constexpr EventTimerInterval kEventDurationSecond = 1.0;
inline constexpr EventTimerInterval kEventDurationMillisecond = 0.001;
inline constexpr EventTimerInterval kEventDurationForever = -1.0;
inline constexpr OSStatus eventLoopTimedOutErr = -9875;
inline constexpr OSStatus eventLoopQuitErr = -9876;

inline EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr inProc) {
    return inProc;
}

EventLoopRef GetMainEventLoop();

/// Installs a timer that first fires inFireDelay seconds from now and then every inInterval
/// seconds (0: once). Any thread may install or remove timers.
[[nodiscard]] OSStatus InstallEventLoopTimer(EventLoopRef inLoop, EventTimerInterval inFireDelay,
                                             EventTimerInterval inInterval,
                                             EventLoopTimerUPP inProc, void* inUserData,
                                             EventLoopTimerRef* outTimer);
/// Removes a timer; a timer procedure may remove its own timer. Returns paramErr for an
/// unknown timer.
[[nodiscard]] OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer);

/// Turns the loop on the calling thread, running timers as they fall due, for inTimeout
/// seconds (kEventDurationForever: without limit). Returns eventLoopTimedOutErr when the
/// time is up, or eventLoopQuitErr as soon as QuitEventLoop is called.
OSStatus RunCurrentEventLoop(EventTimerInterval inTimeout);

/// From any thread: ends the loop's current turn, or, if none is under way, the next one
/// as soon as it starts (so a request that comes just before the turn is not lost).
OSStatus QuitEventLoop(EventLoopRef inLoop);

/// For a toolkit that drives the loop from its own: runs the timers that are due now and
/// returns the seconds until the next one is due, or kEventDurationForever if there is none.
EventTimerInterval RunDueEventLoopTimers();
