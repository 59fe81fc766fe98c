// The device's ears on every medium: SysEx messages out of a byte stream in any pieces, only
// in update mode, and the one-time vanish with a fresh transfer after it comes back.
#include "Simulator/VYRDeviceModel.h"
#include "Simulator/Heartbeat.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> messagesOf(const CVYRDeviceModel& inDevice) {
    std::vector<Bytes> messages;
    for (const SReceivedMessage& message : inDevice.received()) {
        messages.push_back(message.bytes);
    }
    return messages;
}

TEST(VYRDeviceModel, HearsWholeSysExMessagesOnlyInUpdateMode) {
    CVYRDeviceModel device({});
    EXPECT_EQ(device.heartbeatDue(0), VYRHeartbeat(0x30));
    EXPECT_EQ(device.heartbeatDue(1'000'000), Bytes{}) << "not yet due";
    device.receive({0xF0, 0x01, 0xF7}, 0);
    EXPECT_TRUE(device.received().empty()) << "normal mode: not recorded";

    ASSERT_TRUE(device.switchToUpdateMode());
    EXPECT_EQ(device.heartbeatDue(1'000'000'000), Bytes{}) << "silent in update mode";
    device.receive({0xF0, 0x01}, 10);
    device.receive({0xF8, 0x02, 0xF7, 0xF0}, 20); // a clock tick inside, the next begins
    device.receive({0x03, 0x90, 0x3C, 0x40}, 30); // cut short by a note
    device.receive({0xF0, 0x04, 0xF7}, 40);
    EXPECT_EQ(messagesOf(device),
              (std::vector<Bytes>{{0xF0, 0x01, 0x02, 0xF7}, {0xF0, 0x04, 0xF7}}));
    EXPECT_EQ(device.received().front().hostTimeNs, 10u) << "stamped with its first byte";
    EXPECT_EQ(device.brokenMessages(), 1u);
}

TEST(VYRDeviceModel, VanishesOnceAndRecordsTheNextTransferAnew) {
    SVYRDeviceBehaviour options;
    options.vanishAfterMessage = 2;
    CVYRDeviceModel device(options);
    device.switchToUpdateMode();
    EXPECT_FALSE(device.receive({0xF0, 0x01, 0xF7}, 0));
    EXPECT_TRUE(device.receive({0xF0, 0x02, 0xF7, 0xF0, 0x03, 0xF7}, 0));
    EXPECT_EQ(device.received().size(), 2u) << "gone: the third is not heard";
    device.pluggedInAgain();
    EXPECT_FALSE(device.receive({0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7, 0xF0, 0x03, 0xF7}, 0));
    EXPECT_EQ(device.received().size(), 3u);

    options.vanishAfterMessage = 0;
    options.staysInNormalMode = true;
    CVYRDeviceModel stubborn(options);
    EXPECT_FALSE(stubborn.switchToUpdateMode());
    EXPECT_EQ(stubborn.heartbeatDue(0), VYRHeartbeat(0x30));
}

} // namespace
