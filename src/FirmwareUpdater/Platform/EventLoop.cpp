#include "EventLoop.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

struct STimer {
    Clock::time_point due;
    Clock::duration interval; // zero: fires once
    EventLoopTimerUPP proc;
    void* userData;
};

Clock::duration toDuration(EventTimerInterval inSeconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(inSeconds));
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
        mTimers[id] = {Clock::now() + toDuration(inFireDelay), toDuration(inInterval), inProc,
                       inUserData};
        *outTimer = reinterpret_cast<EventLoopTimerRef>(id);
        mChanged.notify_all();
        return noErr;
    }

    OSStatus remove(EventLoopTimerRef inTimer) {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mTimers.erase(reinterpret_cast<std::uintptr_t>(inTimer)) == 1 ? noErr : paramErr;
    }

    OSStatus run(EventTimerInterval inTimeout) {
        const bool forever = inTimeout < 0;
        const Clock::time_point deadline =
            forever ? Clock::time_point::max() : Clock::now() + toDuration(inTimeout);
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            if (mQuitRequested) {
                mQuitRequested = false;
                return eventLoopQuitErr;
            }
            if (fireOneDue(lock)) {
                continue;
            }
            const Clock::time_point wake = std::min(deadline, nextDue());
            if (!forever && Clock::now() >= deadline) {
                return eventLoopTimedOutErr;
            }
            mChanged.wait_until(lock, wake);
        }
    }

    void quit() {
        const std::lock_guard<std::mutex> lock(mMutex);
        mQuitRequested = true;
        mChanged.notify_all();
    }

    EventTimerInterval runDue() {
        std::unique_lock<std::mutex> lock(mMutex);
        while (fireOneDue(lock)) {
        }
        const Clock::time_point next = nextDue();
        if (next == Clock::time_point::max()) {
            return kEventDurationForever;
        }
        return std::max(0.0, std::chrono::duration<double>(next - Clock::now()).count());
    }

  private:
    Clock::time_point nextDue() const {
        Clock::time_point next = Clock::time_point::max();
        for (const auto& [id, timer] : mTimers) {
            next = std::min(next, timer.due);
        }
        return next;
    }

    // Fires the earliest due timer, if any, with the lock released during its procedure.
    bool fireOneDue(std::unique_lock<std::mutex>& ioLock) {
        const Clock::time_point now = Clock::now();
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
        if (timer.interval == Clock::duration::zero()) {
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
    std::condition_variable mChanged;
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
