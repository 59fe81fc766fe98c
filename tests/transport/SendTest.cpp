// Sending short messages and byte strings as packet lists.
#include "Packets.h"
#include "TransportFixture.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

class Send : public TransportFixture {
  protected:
    void SetUp() override {
        TransportFixture::SetUp();
        mService->addDestination(
            "VYR10", "out", [this](const MIDIPacketList& inList, MIDITimeStamp) {
                const MIDIPacket* packet = inList.packet;
                for (std::uint32_t i = 0; i < inList.numPackets; ++i) {
                    mStamps.push_back(MIDITimeStamp{packet->timeStamp}); // a copy: it is packed
                    packet = MIDIPacketNext(packet);
                }
                mSends.push_back(packetsOf(inList));
            });
        ASSERT_EQ(mManager->openMidiOut(0), noErr);
    }

    std::vector<std::vector<Bytes>> mSends; // each send's packets
    std::vector<MIDITimeStamp> mStamps;
};

TEST_F(Send, ShortMessagesTakeTheirByteCountFromTheStatus) {
    struct Case {
        int channel, status, data1, data2;
        Bytes bytes;
    };
    const Case cases[] = {
        {3, 0x90, 60, 100, {0x93, 0x3C, 0x64}},
        {0, 0xC0, 5, 9, {0xC0, 0x05}},
        {15, 0xD0, 0x40, 1, {0xDF, 0x40}},
        {1, 0xE0, 0, 0x40, {0xE1, 0x00, 0x40}},
        {0, 0xF8, 0, 0, {0xF8}},
        {9, 0xF1, 0x12, 0, {0xF1, 0x12}},
        {0, 0xF2, 0x01, 0x02, {0xF2, 0x01, 0x02}},
        {0, 0xF3, 0x05, 0x06, {0xF3, 0x05}},
        {0x13, 0x80, 0x1FF, 0x100, {0x83, 0xFF, 0x00}}, // channel and data take their low bits
    };
    for (const Case& c : cases) {
        mSends.clear();
        EXPECT_EQ(mManager->sendShortMessage(c.channel, c.status, c.data1, c.data2), noErr);
        EXPECT_EQ(mSends, (std::vector<std::vector<Bytes>>{{c.bytes}})) << std::hex << c.status;
    }
}

Bytes counting(std::size_t inLength) {
    Bytes bytes(inLength);
    for (std::size_t i = 0; i < inLength; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    return bytes;
}

TEST_F(Send, LongMessagesGoInChunksOfAtMost256BytesWithOneTime) {
    for (std::size_t length : {0u, 1u, 255u, 256u, 257u, 600u, 4096u, 65536u}) {
        mSends.clear();
        mStamps.clear();
        const Bytes message = counting(length);
        ASSERT_EQ(mManager->sendLongMessage(message.data(), static_cast<std::int32_t>(length)),
                  noErr)
            << length;
        ASSERT_EQ(mSends.size(), 1u) << "one MIDISend per message, also for none";
        Bytes joined;
        for (const Bytes& packet : mSends[0]) {
            EXPECT_LE(packet.size(), 256u);
            EXPECT_FALSE(packet.empty());
            joined.insert(joined.end(), packet.begin(), packet.end());
        }
        EXPECT_EQ(joined, message) << length;
        EXPECT_EQ(mSends[0].size(), (length + 255) / 256) << length;
        for (MIDITimeStamp stamp : mStamps) {
            EXPECT_EQ(stamp, mStamps.front());
        }
    }
}

} // namespace
