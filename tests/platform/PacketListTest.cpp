#include "Packets.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A list buffer with a guard zone behind it that must stay untouched.
struct SGuardedList {
    explicit SGuardedList(std::size_t inSize) : bytes(inSize + 64, 0xEE), size(inSize) {}
    MIDIPacketList* list() { return reinterpret_cast<MIDIPacketList*>(bytes.data()); }
    bool guardIntact() const {
        for (std::size_t i = size; i < bytes.size(); ++i) {
            if (bytes[i] != 0xEE) {
                return false;
            }
        }
        return true;
    }
    Bytes bytes; // heap storage: aligned for any packet
    std::size_t size;
};

TEST(PacketList, PacketsFollowEachOtherFourByteAligned) {
    SGuardedList buffer(64);
    MIDIPacket* packet = MIDIPacketListInit(buffer.list());
    const Bytes a = {0x90, 0x3C, 0x64};
    const Bytes b = {0xF8};
    packet = MIDIPacketListAdd(buffer.list(), 64, packet, 7, a.size(), a.data());
    ASSERT_NE(packet, nullptr);
    MIDIPacket* second = MIDIPacketListAdd(buffer.list(), 64, packet, 9, b.size(), b.data());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(second) % 4, 0u);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(second),
              reinterpret_cast<std::uint8_t*>(packet) + 16);
    EXPECT_EQ(MIDITimeStamp{second->timeStamp}, 9u); // a copy: the field is packed
    EXPECT_EQ(packetsOf(*buffer.list()), (std::vector<Bytes>{a, b}));
    EXPECT_TRUE(buffer.guardIntact());
}

TEST(PacketList, AddThatDoesNotFitReturnsNullAndChangesNothing) {
    const std::size_t exact = offsetof(MIDIPacketList, packet) + offsetof(MIDIPacket, data) + 10;
    const Bytes data(11, 0x42);
    SGuardedList buffer(exact);
    MIDIPacket* first = MIDIPacketListInit(buffer.list());
    EXPECT_EQ(MIDIPacketListAdd(buffer.list(), exact, first, 0, 11, data.data()), nullptr);
    EXPECT_EQ(buffer.list()->numPackets, 0u);
    EXPECT_NE(MIDIPacketListAdd(buffer.list(), exact, first, 0, 10, data.data()), nullptr)
        << "exactly full";
    EXPECT_TRUE(buffer.guardIntact());
}

TEST(PacketList, NullOrForeignCurrentPacketAndOversizedRunsAreRefused) {
    SGuardedList buffer(1024);
    MIDIPacket* first = MIDIPacketListInit(buffer.list());
    const Bytes data(70000, 0x01);
    EXPECT_EQ(MIDIPacketListAdd(buffer.list(), 1024, nullptr, 0, 1, data.data()), nullptr);
    EXPECT_EQ(MIDIPacketListAdd(buffer.list(), 1024, first, 0, 70000, data.data()), nullptr);
    MIDIPacket elsewhere{};
    EXPECT_EQ(MIDIPacketListAdd(buffer.list(), 1024, &elsewhere, 0, 1, data.data()), nullptr);
    EXPECT_EQ(buffer.list()->numPackets, 0u);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST(PacketList, EmptyRunsAreAddedAsEmptyPackets) {
    SGuardedList buffer(64);
    MIDIPacket* packet = MIDIPacketListInit(buffer.list());
    packet = MIDIPacketListAdd(buffer.list(), 64, packet, 0, 0, nullptr);
    ASSERT_NE(packet, nullptr);
    const Bytes b = {0xF7};
    ASSERT_NE(MIDIPacketListAdd(buffer.list(), 64, packet, 0, 1, b.data()), nullptr);
    EXPECT_EQ(packetsOf(*buffer.list()), (std::vector<Bytes>{{}, b}));
}

} // namespace
