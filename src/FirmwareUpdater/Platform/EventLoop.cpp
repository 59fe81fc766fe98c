#include "EventLoop.h"

#include "Clock.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

namespace {

// On the clock in use, so tests can move the time the timers fall due in.
constexpr Nanoseconds kNever = std::numeric_limits<Nanoseconds>::max();

struct STimer {
    Nanoseconds due;
    Nanoseconds interval; // zero: fires once
    EventLoopTimerUPP proc;
    void* userData;
};

Nanoseconds toNanoseconds(EventTimerInterval inSeconds) {
    return static_cast<Nanoseconds>(inSeconds * 1e9);
}

class CMainLoop {
  public:
    OSStatus install(EventTimerInterval inFireDelay, EventTimerInterval inInterval,
                     EventLoopTimerUPP inProc, void* inUserData, EventLoopTimerRef* outTimer) {
        if (inProc == nullptr || outTimer == nullptr || inFireDelay < 0 || inInterval < 0) {
            return paramErr;
        }
        const std::lock_guard<std::mutex> lock(mMutex);
        const std::uintptr_t id = mNextId++;
        mTimers[id] = {CurrentClock().now() + toNanoseconds(inFireDelay), toNanoseconds(inInterval),
                       inProc, inUserData};
        *outTimer = reinterpret_cast<EventLoopTimerRef>(id);
        mChanged->wake();
        return noErr;
    }

    OSStatus remove(EventLoopTimerRef inTimer) {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mTimers.erase(reinterpret_cast<std::uintptr_t>(inTimer)) == 1 ? noErr : paramErr;
    }

    OSStatus run(EventTimerInterval inTimeout) {
        CClock& clock = CurrentClock();
        const Nanoseconds deadline =
            inTimeout < 0 ? kNever : clock.now() + toNanoseconds(inTimeout);
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            if (mQuitRequested) {
                mQuitRequested = false;
                return eventLoopQuitErr;
            }
            if (fireOneDue(lock)) {
                continue;
            }
            if (clock.now() >= deadline) {
                return eventLoopTimedOutErr;
            }
            // A new wake-up for each wait: a timer installed or a quit meanwhile ends it.
            const std::shared_ptr<CWakeup> changed = mChanged = std::make_shared<CWakeup>();
            const Nanoseconds wake = std::min(deadline, nextDue());
            lock.unlock();
            clock.waitUntil(wake, changed.get());
            lock.lock();
        }
    }

    void quit() {
        const std::lock_guard<std::mutex> lock(mMutex);
        mQuitRequested = true;
        mChanged->wake();
    }

    EventTimerInterval runDue() {
        std::unique_lock<std::mutex> lock(mMutex);
        while (fireOneDue(lock)) {
        }
        const Nanoseconds next = nextDue();
        if (next == kNever) {
            return kEventDurationForever;
        }
        const Nanoseconds now = CurrentClock().now();
        return next > now ? static_cast<double>(next - now) / 1e9 : 0.0;
    }

  private:
    Nanoseconds nextDue() const {
        Nanoseconds next = kNever;
        for (const auto& [id, timer] : mTimers) {
            next = std::min(next, timer.due);
        }
        return next;
    }

    // Fires the earliest due timer, if any, with the lock released during its procedure.
    bool fireOneDue(std::unique_lock<std::mutex>& ioLock) {
        const Nanoseconds now = CurrentClock().now();
        auto due = mTimers.end();
        for (auto timer = mTimers.begin(); timer != mTimers.end(); ++timer) {
            if (timer->second.due <= now &&
                (due == mTimers.end() || timer->second.due < due->second.due)) {
                due = timer;
            }
        }
        if (due == mTimers.end()) {
            return false;
        }
        const std::uintptr_t id = due->first;
        const STimer timer = due->second;
        if (timer.interval == 0) {
            mTimers.erase(due);
        } else {
            due->second.due = std::max(timer.due + timer.interval, now + timer.interval / 2);
        }
        ioLock.unlock();
        timer.proc(reinterpret_cast<EventLoopTimerRef>(id), timer.userData);
        ioLock.lock();
        return true;
    }

    std::mutex mMutex;
    std::shared_ptr<CWakeup> mChanged = std::make_shared<CWakeup>();
    std::map<std::uintptr_t, STimer> mTimers;
    std::uintptr_t mNextId = 1;
    bool mQuitRequested = false;
};

CMainLoop& mainLoop() {
    static CMainLoop loop;
    return loop;
}

} // namespace

EventLoopRef GetMainEventLoop() {
    return reinterpret_cast<EventLoopRef>(&mainLoop());
}

OSStatus InstallEventLoopTimer(EventLoopRef inLoop, EventTimerInterval inFireDelay,
                               EventTimerInterval inInterval, EventLoopTimerUPP inProc,
                               void* inUserData, EventLoopTimerRef* outTimer) {
    if (inLoop != GetMainEventLoop()) {
        return paramErr;
    }
    return mainLoop().install(inFireDelay, inInterval, inProc, inUserData, outTimer);
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer) {
    return mainLoop().remove(inTimer);
}

OSStatus RunCurrentEventLoop(EventTimerInterval inTimeout) {
    return mainLoop().run(inTimeout);
}

OSStatus QuitEventLoop(EventLoopRef inLoop) {
    if (inLoop != GetMainEventLoop()) {
        return paramErr;
    }
    mainLoop().quit();
    return noErr;
}

EventTimerInterval RunDueEventLoopTimers() {
    return mainLoop().runDue();
}
