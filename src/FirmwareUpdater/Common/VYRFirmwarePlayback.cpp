// Playing the firmware image: every SysEx message at its time from one start, no earlier.
#include "Common/VYRController.h"

#include "Common/DTAMIDIManager_Mac.h"
#include "Common/FirmwareSchedule.h"
#include "Platform/Clock.h"

namespace {

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

} // namespace

bool CVYRController::updateFirmware(const std::uint8_t* inData, std::uint32_t inSize,
                                    DTAProgressCallback inProgress, void* inContext) {
    CDTAMIDIManager* const manager = CDTAMIDIManager::instance();
    CFirmwareSchedule schedule;
    {
        CSMF image;
        std::uint32_t count = 0;
        // A bad Set Tempo refuses the whole image before anything is sent: part of a
        // firmware is worse than none.
        if (manager == nullptr || !image.setData(inData, inSize, count) || !schedule.build(image)) {
            return false;
        }
    }
    const CTightTimerSlack slack;
    CClock& clock = CurrentClock();
    const std::size_t count = schedule.size();
    const Nanoseconds start = clock.now();
    int lastProgress = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int progress = CFirmwareSchedule::progressBefore(i, count);
        clock.waitUntil(start + Nanoseconds{schedule.timeOf(i)} * 1'000'000u);
        if (manager->sendLongMessage(schedule.bytesOf(i),
                                     static_cast<std::int32_t>(schedule.lengthOf(i))) != noErr) {
            return false;
        }
        if (inProgress != nullptr && progress != lastProgress) {
            inProgress(progress, inContext);
            lastProgress = progress;
        }
    }
    return true;
}
