// The simulated device and its transfer report.
#include "Common/DTAMIDIManager_Mac.h"
#include "DeviceFixture.h"
#include "Simulator/SimulatedVYRDevice.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Simulator = DeviceFixture;

TEST_F(Simulator, AnswersWithHeartbeatsInNormalModeEvenAmidJunk) {
    CSimulatedVYRDevice device(mService, {.heartbeatPeriod = std::chrono::milliseconds(20),
                                          .junkBetweenHeartbeats = true});
    ASSERT_TRUE(mController->openVYR());
    for (int i = 0; i < 500 && !mController->checkHeartbeat(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(mController->checkHeartbeat());
    mController->doTimerFunc();
    EXPECT_EQ(takeEvents().front(), (Event{kDTAEventConnected, 0x30, 0}));
}

TEST_F(Simulator, FallsSilentInUpdateMode) {
    CSimulatedVYRDevice device(mService, {.heartbeatPeriod = std::chrono::milliseconds(10)});
    ASSERT_TRUE(mController->openVYR());
    device.switchToUpdateMode();
    mService->waitUntilDelivered();
    mController->closeVYR();
    ASSERT_TRUE(mController->openVYR());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    mService->waitUntilDelivered();
    EXPECT_FALSE(mController->checkHeartbeat());
}

TEST_F(Simulator, RecordsOnlyInUpdateModeOneMessagePerSend) {
    CSimulatedVYRDevice device(mService);
    ASSERT_TRUE(mController->openVYR());
    const Bytes message(300, 0x11);
    CDTAMIDIManager::instance()->sendLongMessage(message.data(), 300);
    EXPECT_TRUE(device.received().empty());
    device.switchToUpdateMode();
    CDTAMIDIManager::instance()->sendLongMessage(message.data(), 300);
    ASSERT_EQ(device.received().size(), 1u);
    EXPECT_EQ(device.received()[0].bytes, message);
}

TEST_F(Simulator, RefusesSendsFromTheKthInUpdateMode) {
    CSimulatedVYRDevice device(mService, {.refuseSendsFrom = 2});
    ASSERT_TRUE(mController->openVYR());
    device.switchToUpdateMode();
    const Bytes message = {0xF0, 0x01, 0xF7};
    EXPECT_EQ(CDTAMIDIManager::instance()->sendLongMessage(message.data(), 3), noErr);
    EXPECT_EQ(CDTAMIDIManager::instance()->sendLongMessage(message.data(), 3), kMIDIMessageSendErr);
    EXPECT_EQ(device.received().size(), 1u);
}

SReceivedMessage arrival(double inMs, Bytes inBytes = {0xF0, 0xF7}) {
    return {static_cast<std::uint64_t>(inMs * 1e6) + 5'000'000'000u, std::move(inBytes)};
}

TEST(TransferReport, LatenessAgainstTheScheduleFromTheFirstArrival) {
    std::vector<SExpectedMessage> expected;
    std::vector<SReceivedMessage> received;
    // Scheduled 10 ms apart from 100 ms on; arriving 0.2 ms late, except one 3 ms late and
    // one 1.5 ms early.
    for (int i = 0; i < 100; ++i) {
        expected.push_back({static_cast<std::uint32_t>(100 + 10 * i), {0xF0, 0xF7}});
        const double late = i == 0 ? 0 : i == 50 ? 3.0 : i == 60 ? -1.5 : 0.2;
        received.push_back(arrival(10.0 * i + late));
    }
    const STransferReport report = compareTransfer(expected, received);
    EXPECT_TRUE(report.identical);
    EXPECT_NEAR(report.lateMinMs, -1.5, 1e-6);
    EXPECT_NEAR(report.lateMedianMs, 0.2, 1e-6);
    EXPECT_NEAR(report.lateP99Ms, 0.2, 1e-6);
    EXPECT_NEAR(report.lateMaxMs, 3.0, 1e-6);
    EXPECT_EQ(report.earlyCount, 1u);
}

TEST(TransferReport, DifferencesAreNamed) {
    const std::vector<SExpectedMessage> expected = {{0, {0xF0, 0x01, 0xF7}},
                                                    {5, {0xF0, 0x02, 0xF7}}};
    const STransferReport changed =
        compareTransfer(expected, {arrival(0, {0xF0, 0x01, 0xF7}), arrival(5, {0xF0, 0x03, 0xF7})});
    EXPECT_FALSE(changed.identical);
    EXPECT_NE(changed.firstDifference.find("message 1"), std::string::npos);
    const STransferReport missing = compareTransfer(expected, {arrival(0, {0xF0, 0x01, 0xF7})});
    EXPECT_FALSE(missing.identical);
    EXPECT_EQ(missing.firstDifference, "1 of 2 messages received");
    const STransferReport none = compareTransfer(expected, {});
    EXPECT_EQ(none.received, 0u);
    EXPECT_NE(describeTransfer(none).find("messages received: 0 of 2"), std::string::npos);
}

} // namespace
