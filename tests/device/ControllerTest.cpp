// Finding the device, watching its heartbeat, listener events and opening for the update.
#include "Common/DTAMIDIManager_Mac.h"
#include "Common/GenericException.h"
#include "DeviceFixture.h"
#include "Simulator/Heartbeat.h"
#include "Simulator/SimulatedVYRDevice.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Controller = DeviceFixture;
using Event = DeviceFixture::Event;
using Bytes = std::vector<std::uint8_t>;

// inCall throws the program's exception with these codes and an empty file name.
template <class TCall>
void expectGenericException(TCall inCall, std::int32_t inCode, std::int32_t inOSCode) {
    try {
        inCall();
        ADD_FAILURE() << "no exception";
    } catch (const mstd::CGenericException& e) {
        EXPECT_EQ(e.getErrorCode(), inCode);
        EXPECT_EQ(e.getOSErrorCode(), inOSCode);
        EXPECT_EQ(e.getErrFileName(), "");
    }
}

struct FindCase {
    const char* name;
    std::vector<std::string> sources;
    std::vector<std::string> destinations;
    int source;      // index of the source that must be opened, -1: none
    int destination; // index of the destination that must be opened
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.name;
}

class FindDevice : public DeviceFixture, public testing::WithParamInterface<FindCase> {};

TEST_P(FindDevice, OpensTheFirstMatchingPair) {
    const FindCase& c = GetParam();
    std::vector<MIDIDriverEndpoint> sources;
    for (const std::string& model : c.sources) {
        sources.push_back(mService->addSource(model, model));
    }
    std::vector<int> sent(c.destinations.size(), 0);
    for (std::size_t d = 0; d < c.destinations.size(); ++d) {
        mService->addDestination(c.destinations[d], c.destinations[d],
                                 [&sent, d](const MIDIPacketList&, MIDITimeStamp) { ++sent[d]; });
    }
    ASSERT_EQ(mController->openVYR(), c.source >= 0);
    if (c.source < 0) {
        EXPECT_FALSE(CDTAMIDIManager::instance()->isOpenedMidiIn());
        return;
    }
    // The opened source is the one whose heartbeat counts, and the destination gets the sends.
    for (std::size_t s = 0; s < sources.size(); ++s) {
        if (static_cast<int>(s) != c.source) {
            mService->inject(sources[s], {VYRHeartbeat(kVYRNormalModeStatus)});
        }
    }
    mService->waitUntilDelivered();
    EXPECT_FALSE(mController->checkHeartbeat());
    mService->inject(sources[static_cast<std::size_t>(c.source)],
                     {VYRHeartbeat(kVYRNormalModeStatus)});
    mService->waitUntilDelivered();
    EXPECT_TRUE(mController->checkHeartbeat());
    const std::uint8_t message[] = {0xF0, 0x7E, 0xF7};
    ASSERT_EQ(CDTAMIDIManager::instance()->sendLongMessage(message, 3), noErr);
    std::vector<int> expected(c.destinations.size(), 0);
    expected[static_cast<std::size_t>(c.destination)] = 1;
    EXPECT_EQ(sent, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Endpoints, FindDevice,
    testing::Values(
        FindCase{"ExactModel", {"VYR10"}, {"VYR10"}, 0, 0},
        FindCase{"ModelContainsTheFamily", {"Other", "xxVYR5 Pro"}, {"VYR5", "xxVYR5 Pro"}, 1, 1},
        FindCase{"DestinationMustMatchExactly", {"VYR10", "VYR5"}, {"VYR10 ", "VYR5"}, 1, 1},
        FindCase{"FirstPairWins", {"VYR5", "VYR10"}, {"VYR10", "VYR5", "VYR5"}, 0, 1},
        FindCase{"CaseMatters", {"vyr10"}, {"vyr10"}, -1, 0},
        FindCase{"NoDestination", {"VYR10"}, {}, -1, 0}, FindCase{"NoEndpoints", {}, {}, -1, 0}),
    [](const testing::TestParamInfo<FindCase>& param) { return std::string(param.param.name); });

struct HeartbeatCase {
    const char* name;
    Bytes message;
    bool accepted;
};

void PrintTo(const HeartbeatCase& c, std::ostream* os) {
    *os << c.name;
}

class Heartbeat : public DeviceFixture, public testing::WithParamInterface<HeartbeatCase> {};

TEST_P(Heartbeat, IsRecognisedByItsFirstEightBytes) {
    const HeartbeatCase& c = GetParam();
    mController->handleMIDIIn(c.message.data(), static_cast<std::uint32_t>(c.message.size()));
    EXPECT_EQ(mController->checkHeartbeat(), c.accepted);
    mController->doTimerFunc();
    const std::vector<Event> events = takeEvents();
    if (c.accepted) {
        EXPECT_EQ(events, (std::vector<Event>{{kDTAEventConnected, c.message[7], 0}}));
    } else {
        EXPECT_EQ(events, (std::vector<Event>{{kDTAEventNoHeartbeat, 0, 0}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, Heartbeat,
    testing::Values(
        HeartbeatCase{"Status30", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x30, 0xF7}, true},
        HeartbeatCase{"Status31", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x31, 0xF7}, true},
        HeartbeatCase{
            "LowNibbleIgnored", {0xF0, 0x43, 0x7D, 0x65, 0x44, 0x54, 0x41, 0x30, 0xF7}, true},
        HeartbeatCase{
            "LongerIsFine", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x30, 0x01, 0xF7}, true},
        HeartbeatCase{"HighNibble7", {0xF0, 0x43, 0x7D, 0x70, 0x44, 0x54, 0x41, 0x30, 0xF7}, false},
        HeartbeatCase{"StatusZero", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x00, 0xF7}, false},
        HeartbeatCase{"OtherStatus", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x32, 0xF7}, false},
        HeartbeatCase{"EightBytes", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x30}, false},
        HeartbeatCase{"NotDTA", {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x42, 0x30, 0xF7}, false},
        HeartbeatCase{"OtherMaker", {0xF0, 0x41, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x30, 0xF7}, false}),
    [](const testing::TestParamInfo<HeartbeatCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(Controller, StatusChangeDisconnectsAndReconnects) {
    const Bytes first = VYRHeartbeat(0x30);
    const Bytes second = VYRHeartbeat(0x31);
    mController->handleMIDIIn(first.data(), 9);
    mController->handleMIDIIn(first.data(), 9);
    mController->handleMIDIIn(second.data(), 9);
    mController->doTimerFunc();
    EXPECT_EQ(takeEvents(), (std::vector<Event>{{kDTAEventConnected, 0x30, 0},
                                                {kDTAEventDisconnected, 0, 0},
                                                {kDTAEventConnected, 0x31, 0}}));
    EXPECT_TRUE(mController->checkHeartbeat());
}

TEST_F(Controller, HeartbeatIsLostAfterThreeSecondsOfSilence) {
    const Bytes beat = VYRHeartbeat(kVYRNormalModeStatus);
    mController->handleMIDIIn(beat.data(), 9);
    mController->doTimerFunc();
    takeEvents();
    mClock.advance(2 * CManualClock::kSecond);
    mController->doTimerFunc();
    EXPECT_TRUE(takeEvents().empty());
    mClock.advance(CManualClock::kSecond);
    mController->doTimerFunc();
    EXPECT_EQ(takeEvents(), (std::vector<Event>{{kDTAEventDisconnected, 0, 0}}));
    EXPECT_FALSE(mController->checkHeartbeat());
    mController->doTimerFunc();
    EXPECT_EQ(takeEvents(), (std::vector<Event>{{kDTAEventNoHeartbeat, 0, 0}}));
}

TEST_F(Controller, TimerTicksWhileTheLoopTurns) {
    RunCurrentEventLoop(0.2);
    const std::vector<Event> events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), (Event{kDTAEventNoHeartbeat, 0, 0}));
}

void countCalls(void* inUserData, EDTAEventID, std::int32_t, std::int32_t) {
    ++*static_cast<int*>(inUserData);
}

TEST_F(Controller, ListenersRunInOrderAndRemovalTakesTheFirstRegistration) {
    int first = 0;
    int second = 0;
    mController->addListenerCallback(countCalls, &first);
    mController->addListenerCallback(countCalls, &second);
    mController->notifyDTAEvent(kDTAEventConnected, 1, 2);
    mController->removeListenerCallback(countCalls);
    mController->notifyDTAEvent(kDTAEventConnected, 1, 2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    mController->removeListenerCallback(nullptr); // no match: nothing changes
    EXPECT_EQ(takeEvents().size(), 2u);
}

TEST_F(Controller, RemovalNoticeIsReportedAndChecksTheConnection) {
    mService->addSource("VYR10", "a");
    const auto out = mService->addDestination("VYR10", "a");
    ASSERT_TRUE(mController->openVYR());
    const MIDINotification removed = {kMIDIMsgObjectRemoved, sizeof(MIDINotification)};
    const MIDINotification other = {1, sizeof(MIDINotification)};
    testing::internal::CaptureStderr();
    CVYRController::MIDINotifyProc(&other, mController);
    CVYRController::MIDINotifyProc(nullptr, mController);
    CVYRController::MIDINotifyProc(&removed, nullptr);
    ASSERT_TRUE(mService->removeEndpoint(out));
    CVYRController::MIDINotifyProc(&removed, mController);
    mService->waitUntilDelivered(); // the service's own notice to the controller's client
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "A MIDI Device removed!\nA MIDI Device removed!\nA MIDI Device removed!\n");
    EXPECT_FALSE(CDTAMIDIManager::instance()->isOpenedMidiOut());
    EXPECT_TRUE(CDTAMIDIManager::instance()->isOpenedMidiIn());
    EXPECT_TRUE(takeEvents().empty()) << "the input is still open: no loss";
}

TEST_F(Controller, LifeCycle) {
    CVYRController::initialize(); // a second initialize does nothing
    EXPECT_EQ(CVYRController::instance(), mController);
    CVYRController::terminate();
    EXPECT_EQ(CDTAMIDIManager::instance(), nullptr);
    CVYRController::terminate(); // nothing to terminate
    CVYRController* created = CVYRController::instance();
    EXPECT_NE(created, nullptr);
    EXPECT_NE(CDTAMIDIManager::instance(), nullptr);
}

// The one-second silence check, with the device sending a heartbeat during any wait
// unless it is in update mode.
TEST_F(Controller, OpenForUpdateNeedsASilentDevice) {
    expectGenericException([&] { mController->openVYRForUpdate(); }, 1000, 0);

    std::optional<CSimulatedVYRDevice> device(
        std::in_place, mService, SSimulatedDeviceOptions{.behaviour = {.heartbeatPeriod = {}}});
    mClock.onWait([&](Nanoseconds) {
        device->sendHeartbeat();
        mService->waitUntilDelivered();
    });
    expectGenericException([&] { mController->openVYRForUpdate(); }, 1002, 0);
    EXPECT_FALSE(CDTAMIDIManager::instance()->isOpenedMidiIn());
    EXPECT_FALSE(CDTAMIDIManager::instance()->isOpenedMidiOut());

    device->switchToUpdateMode();
    const Nanoseconds start = mClock.now();
    mController->openVYRForUpdate();
    EXPECT_EQ(mClock.deadlines().back(), start + CManualClock::kSecond);
    EXPECT_TRUE(CDTAMIDIManager::instance()->isOpenedMidiIn());
    EXPECT_TRUE(CDTAMIDIManager::instance()->isStartedMidiOut());

    // Silent only because it was unplugged during the second: nothing there to update.
    mClock.onWait([&](Nanoseconds) {
        device.reset();
        mService->waitUntilDelivered();
    });
    expectGenericException([&] { mController->openVYRForUpdate(); }, 1000, 0);
    EXPECT_FALSE(CDTAMIDIManager::instance()->isOpenedMidiOut());
}

} // namespace
