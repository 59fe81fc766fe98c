// Playing the firmware image: every SysEx message at its time from one start, no earlier.
#include "Common/VYRController.h"

#include "Common/DTAMIDIManager_Mac.h"
#include "Common/FirmwareSchedule.h"
#include "Platform/Clock.h"

#include <mutex>

namespace {

// About three times the worst wake-up lateness measured with both cores busy (7 ms).
constexpr Nanoseconds kStallThreshold = 20'000'000;

// The kernel may pool a sleeping thread's wake-up with others within its timer slack; the
// transfer keeps it at 1 ns so messages leave on time, and puts it back afterwards.
class CTightTimerSlack {
  public:
    CTightTimerSlack() : mPrevious(SetCurrentThreadTimerSlack(1)) {}
    ~CTightTimerSlack() { SetCurrentThreadTimerSlack(mPrevious); }
    CTightTimerSlack(const CTightTimerSlack&) = delete;
    CTightTimerSlack& operator=(const CTightTimerSlack&) = delete;

  private:
    std::uint64_t mPrevious;
};

std::mutex sTallyMutex;
CVYRController::STransferTally sTally;

// Publishes what a playback sent when it ends, however it ends (a send can throw), so the
// loop itself only counts.
class CTallyOnExit {
  public:
    explicit CTallyOnExit(CVYRController::STransferTally& ioTally) : mTally(ioTally) {}
    ~CTallyOnExit() {
        mTally.ended = CurrentClock().now();
        const std::lock_guard<std::mutex> lock(sTallyMutex);
        sTally = mTally;
    }
    CTallyOnExit(const CTallyOnExit&) = delete;
    CTallyOnExit& operator=(const CTallyOnExit&) = delete;

  private:
    CVYRController::STransferTally& mTally;
};

} // namespace

CVYRController::STransferTally CVYRController::lastTransfer() {
    const std::lock_guard<std::mutex> lock(sTallyMutex);
    return sTally;
}

bool CVYRController::updateFirmware(const std::uint8_t* inData, std::uint32_t inSize,
                                    DTAProgressCallback inProgress, void* inContext) {
    CDTAMIDIManager* const manager = CDTAMIDIManager::instance();
    // A bad Set Tempo refuses the whole image before anything is sent: part of a firmware
    // is worse than none. So does an image without SysEx: "done" would be a lie.
    CFirmwareSchedule schedule;
    if (manager == nullptr || !schedule.buildFromImage(inData, inSize).empty()) {
        return false;
    }
    const CTightTimerSlack slack;
    CClock& clock = CurrentClock();
    const std::size_t count = schedule.size();
    const Nanoseconds start = clock.now();
    // After a stall (the process stopped and continued, the machine busy for long), the
    // messages that fell due meanwhile keep the image's gaps, which may be the device's time
    // to write flash: the rest of the schedule moves later by the stall. Ordinary wake-up
    // lateness stays far below the threshold and is never carried forward, so it cannot add
    // up to drift; and nothing is ever sent before its time.
    Nanoseconds shift = 0;
    int lastProgress = 0;
    STransferTally sent;
    sent.scheduled = static_cast<std::uint32_t>(count);
    sent.started = start;
    const CTallyOnExit published(sent);
    for (std::size_t i = 0; i < count; ++i) {
        const int progress = CFirmwareSchedule::progressBefore(i, count);
        const Nanoseconds due = start + shift + Nanoseconds{schedule.timeOf(i)} * 1'000'000u;
        clock.waitUntil(due);
        if (const Nanoseconds now = clock.now(); now > due + kStallThreshold) {
            shift += now - due;
        }
        if (manager->sendLongMessage(schedule.bytesOf(i),
                                     static_cast<std::int32_t>(schedule.lengthOf(i))) != noErr) {
            return false;
        }
        ++sent.messages;
        sent.bytes += schedule.lengthOf(i);
        if (inProgress != nullptr && progress != lastProgress) {
            inProgress(progress, inContext);
            lastProgress = progress;
        }
    }
    return true;
}
