// Packet lists are plain memory, the same for every driver.
#include "CoreMIDI.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::size_t kPacketHeader = offsetof(MIDIPacket, data);

std::uintptr_t alignedEnd(const MIDIPacket* inPacket) {
    const auto end = reinterpret_cast<std::uintptr_t>(inPacket->data) + inPacket->length;
    return (end + 3) & ~std::uintptr_t{3};
}

} // namespace

const MIDIPacket* MIDIPacketNext(const MIDIPacket* inPacket) {
    return reinterpret_cast<const MIDIPacket*>(alignedEnd(inPacket));
}

MIDIPacket* MIDIPacketNext(MIDIPacket* inPacket) {
    return reinterpret_cast<MIDIPacket*>(alignedEnd(inPacket));
}

MIDIPacket* MIDIPacketListInit(MIDIPacketList* ioList) {
    ioList->numPackets = 0;
    return ioList->packet;
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* ioList, ByteCount inListSize, MIDIPacket* inCurrent,
                              MIDITimeStamp inTime, ByteCount inDataSize,
                              const std::uint8_t* inData) {
    if (inCurrent == nullptr || inDataSize > 0xFFFF) {
        return nullptr;
    }
    const auto listStart = reinterpret_cast<std::uintptr_t>(ioList);
    const std::uintptr_t listEnd = listStart + inListSize;
    const auto current = reinterpret_cast<std::uintptr_t>(inCurrent);
    // The current packet must be the first of an empty list or a packet inside the list.
    if (current < reinterpret_cast<std::uintptr_t>(ioList->packet) ||
        current + kPacketHeader > listEnd) {
        return nullptr;
    }
    MIDIPacket* packet = ioList->numPackets == 0 ? ioList->packet : MIDIPacketNext(inCurrent);
    const auto start = reinterpret_cast<std::uintptr_t>(packet);
    if (start > listEnd || listEnd - start < kPacketHeader + inDataSize) {
        return nullptr;
    }
    packet->timeStamp = inTime;
    packet->length = static_cast<std::uint16_t>(inDataSize);
    if (inDataSize > 0) {
        std::memcpy(packet->data, inData, inDataSize);
    }
    ++ioList->numPackets;
    return packet;
}
