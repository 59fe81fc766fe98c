// Assembling incoming SysEx messages from packet lists.
#include "TransportFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using PacketList = std::vector<Bytes>;

struct ReceiveCase {
    const char* name;
    std::vector<PacketList> lists;
    std::vector<Bytes> messages;
};

void PrintTo(const ReceiveCase& c, std::ostream* os) {
    *os << c.name;
}

class Receive : public TransportFixture, public testing::WithParamInterface<ReceiveCase> {};

TEST_P(Receive, DeliversOnlyCompleteSysExMessages) {
    const auto source = mService->addSource("VYR10", "in");
    ASSERT_EQ(openInput(0), noErr);
    for (const PacketList& list : GetParam().lists) {
        ASSERT_TRUE(mService->inject(source, list));
    }
    EXPECT_EQ(received(), GetParam().messages);
}

const Bytes kHeartbeat = {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, 0x30, 0xF7};

INSTANTIATE_TEST_SUITE_P(
    Traffic, Receive,
    testing::Values(
        ReceiveCase{
            "SplitOverTwoLists", {{{0xF0, 0x01}}, {{0x02, 0xF7}}}, {{0xF0, 0x01, 0x02, 0xF7}}},
        ReceiveCase{
            "SplitOverPackets", {{{0xF0}, {0x01}, {0x02, 0xF7}}}, {{0xF0, 0x01, 0x02, 0xF7}}},
        ReceiveCase{"ChannelMessagesAreDropped", {{{0x90, 0x3C, 0x64}}}, {}},
        ReceiveCase{"RealTimeByteInsideDropsTheMessage", {{{0xF0, 0x01, 0xF8, 0x02, 0xF7}}}, {}},
        ReceiveCase{
            "NewStartDropsThePartBefore", {{{0xF0, 0x01, 0xF0, 0x02, 0xF7}}}, {{0xF0, 0x02, 0xF7}}},
        ReceiveCase{"EmptyPacketIsSkipped", {{{0xF0, 0x01}, {}, {0xF7}}}, {{0xF0, 0x01, 0xF7}}},
        ReceiveCase{"EndOutsideAMessageIsDropped", {{{0xF7, 0x01, 0xF0, 0xF7}}}, {{0xF0, 0xF7}}},
        ReceiveCase{"MessagesBackToBack",
                    {{{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7}}},
                    {{0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0xF7}}},
        ReceiveCase{"JunkAroundAHeartbeat",
                    {{{0x3C, 0x90, 0x40, 0x40},
                      {0xF0, 0x43, 0x7D, 0x60, 0x44},
                      {0x54, 0x41, 0x30, 0xF7, 0x7F, 0xFE}}},
                    {kHeartbeat}}),
    [](const testing::TestParamInfo<ReceiveCase>& param) { return std::string(param.param.name); });

using ReceiveInput = TransportFixture;

struct SSlowReceiver {
    std::promise<void> entered;
    std::atomic<bool> returned{false};
    std::atomic<int> callsAfterClose{0};
    std::atomic<bool> closed{false};
    static void callback(void* inContext, const std::uint8_t*, std::uint32_t) {
        auto* self = static_cast<SSlowReceiver*>(inContext);
        if (self->closed) {
            ++self->callsAfterClose;
            return;
        }
        self->entered.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        self->returned = true;
    }
};

TEST_F(ReceiveInput, CloseWaitsForARunningCallbackAndNoneFollows) {
    const auto source = mService->addSource("VYR10", "in");
    SSlowReceiver receiver;
    ASSERT_EQ(mManager->openMidiIn(0, SSlowReceiver::callback, &receiver, 512), noErr);
    mService->inject(source, {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7, 0xF0, 0x03, 0xF7}});
    receiver.entered.get_future().wait();
    ASSERT_EQ(mManager->closeMidiIn(), noErr);
    EXPECT_TRUE(receiver.returned) << "closeMidiIn returned while the callback ran";
    receiver.closed = true;
    mService->inject(source, {{0xF0, 0x04, 0xF7}});
    mService->waitUntilDelivered();
    EXPECT_EQ(receiver.callsAfterClose, 0);
}

} // namespace
