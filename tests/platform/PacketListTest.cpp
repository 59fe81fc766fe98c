// Building packet lists: a packet that does not fit is refused and nothing is written past
// the list.
#include "Platform/CoreMIDI.h"

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

} // namespace
