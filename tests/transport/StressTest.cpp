// Random traffic while another thread opens and closes the input: no callback after a
// close returns, nothing but whole SysEx messages delivered, no crash and no deadlock.
// Run under ThreadSanitizer in CI.
#include "SysExModel.h"
#include "TransportFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

struct SWatchedReceiver {
    std::atomic<bool> closed{true};
    std::atomic<int> callsWhileClosed{0};
    std::atomic<int> malformed{0};
    std::atomic<int> messages{0};

    static void callback(void* inContext, const std::uint8_t* inData, std::uint32_t inLength) {
        auto* self = static_cast<SWatchedReceiver*>(inContext);
        if (self->closed) {
            ++self->callsWhileClosed;
        }
        const std::vector<std::uint8_t> message(inData, inData + inLength);
        if (CompleteSysExMessages({message}) != std::vector<std::vector<std::uint8_t>>{message}) {
            ++self->malformed;
        }
        ++self->messages;
    }
};

using Stress = TransportFixture;

TEST_F(Stress, OpenAndCloseWhileTrafficFlows) {
    const auto source = mService->addSource("VYR10", "in");
    SWatchedReceiver receiver;
    std::atomic<bool> stop{false};
    std::thread traffic([&] {
        std::mt19937 random(1);
        const std::uint8_t alphabet[] = {0xF0, 0xF7, 0xF8, 0x90, 0x01, 0x02, 0x7F, 0x43};
        while (!stop) {
            std::vector<std::vector<std::uint8_t>> packets(1 + random() % 4);
            for (auto& packet : packets) {
                packet.resize(random() % 40);
                for (auto& byte : packet) {
                    byte = alphabet[random() % sizeof alphabet];
                }
            }
            mService->inject(source, packets);
            if (random() % 16 == 0) {
                mService->waitUntilDelivered();
            }
        }
    });
    for (int round = 0; round < 3000; ++round) {
        receiver.closed = false;
        ASSERT_EQ(mManager->openMidiIn(0, SWatchedReceiver::callback, &receiver, 512), noErr);
        std::this_thread::yield();
        ASSERT_EQ(mManager->closeMidiIn(), noErr);
        receiver.closed = true;
    }
    stop = true;
    traffic.join();
    mService->waitUntilDelivered();
    EXPECT_EQ(receiver.callsWhileClosed, 0);
    EXPECT_EQ(receiver.malformed, 0);
    RecordProperty("messages", receiver.messages.load());
}

} // namespace
