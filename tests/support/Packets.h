// The packets of a packet list, as byte strings.
#pragma once

#include "Platform/CoreMIDI.h"

#include <cstdint>
#include <vector>

inline std::vector<std::vector<std::uint8_t>> packetsOf(const MIDIPacketList& inList) {
    std::vector<std::vector<std::uint8_t>> packets;
    const MIDIPacket* packet = inList.packet;
    for (std::uint32_t i = 0; i < inList.numPackets; ++i, packet = MIDIPacketNext(packet)) {
        packets.emplace_back(packet->data, packet->data + packet->length);
    }
    return packets;
}
