// The device's ears on every medium: SysEx messages out of a byte stream in any pieces, only
// in update mode.
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

} // namespace
