// A controller over a fresh virtual MIDI service, a clock the test moves, and a record
// of the listener events delivered.
#pragma once

#include "Common/VYRController.h"
#include "ManualClock.h"
#include "Platform/Virtual/VirtualMIDIService.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

class DeviceFixture : public testing::Test {
  public:
    using Event = std::tuple<EDTAEventID, std::int32_t, std::int32_t>;

  protected:
    void SetUp() override {
        ASSERT_EQ(MIDIServiceInstallDriver(mService), noErr);
        CVYRController::initialize();
        mController = CVYRController::instance();
        mController->addListenerCallback(record, this);
    }
    void TearDown() override {
        CVYRController::terminate();
        (void)MIDIServiceInstallDriver(nullptr);
    }

    /// Events delivered so far, and forgets them.
    std::vector<Event> takeEvents() {
        const std::lock_guard<std::mutex> lock(mMutex);
        return std::exchange(mEvents, {});
    }
    static void record(void* inUserData, EDTAEventID inEvent, std::int32_t inParam1,
                       std::int32_t inParam2) {
        auto* self = static_cast<DeviceFixture*>(inUserData);
        const std::lock_guard<std::mutex> lock(self->mMutex);
        self->mEvents.emplace_back(inEvent, inParam1, inParam2);
    }

    CManualClock mClock;
    std::shared_ptr<CVirtualMIDIService> mService = std::make_shared<CVirtualMIDIService>();
    CVYRController* mController = nullptr;
    std::mutex mMutex;
    std::vector<Event> mEvents;
};
