// The data path of the MIDI manager: assembling incoming SysEx messages and sending.
#include "Common/DTAMIDIManager_Mac.h"

#include "Common/CriticalRegionGuard.h"
#include "Common/DTAMIDIManager_MacPrivate.h"
#include "Common/SimpleBuffer.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
// One list of one short message: the list header, a packet header and three bytes.
constexpr std::uint32_t kShortListSize = 272;

// Room for inLength bytes in packets of at most 256 bytes: 268 bytes a full packet with its
// header and alignment, and 272 for the list header and the last, partial packet.
std::uint32_t longListSize(std::uint32_t inLength) {
    return static_cast<std::uint32_t>(std::uint64_t{inLength} * 268 / 256 + 272);
}

} // namespace

void CDTAMIDIManager::procMidiIn(const MIDIPacketList* inList, void* inReadProcRefCon, void*) {
    auto* manager = static_cast<CDTAMIDIManager*>(inReadProcRefCon);
    if (manager == nullptr || manager->mInputCallback.load(std::memory_order_relaxed) == nullptr) {
        return;
    }
    mstd::CCriticalRegionGuard guard(manager->mPrivate->region);
    try {
        const MIDIPacket* packet = inList->packet;
        for (std::uint32_t i = 0; i < inList->numPackets; ++i, packet = MIDIPacketNext(packet)) {
            manager->assemble(packet->data, packet->length);
        }
    } catch (...) {
        // The rest of the list is dropped; the assembly goes on with the next one.
    }
}

void CDTAMIDIManager::assemble(const std::uint8_t* inBytes, std::uint32_t inLength) {
    std::vector<std::uint8_t>& buffer = mPrivate->sysExBuffer;
    const std::uint8_t* position = inBytes;
    const std::uint8_t* const end = inBytes + inLength;
    while (position < end) {
        const std::uint8_t* const run = position;
        while (position < end && *position < 0x80) {
            ++position;
        }
        if (!buffer.empty()) {
            buffer.insert(buffer.end(), run, position); // data bytes outside a message are dropped
        }
        if (position < end) {
            assembleStatus(*position++);
        }
    }
}

void CDTAMIDIManager::assembleStatus(std::uint8_t inStatus) {
    std::vector<std::uint8_t>& buffer = mPrivate->sysExBuffer;
    if (!buffer.empty()) {
        if (inStatus == kSysExEnd) {
            buffer.push_back(kSysExEnd);
            // Read here, not once per list: the callback itself may close the input.
            if (const DTAMIDIInputCallback callback =
                    mInputCallback.load(std::memory_order_relaxed)) {
                callback(mInputContext, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            }
        }
        buffer.clear(); // a message ends, or any other status byte drops it
    }
    if (inStatus == kSysExStart) {
        buffer.push_back(kSysExStart);
    }
}

OSStatus CDTAMIDIManager::sendShortMessage(std::int32_t inChannel, std::int32_t inStatus,
                                           std::int32_t inData1, std::int32_t inData2) {
    if (mPrivate->outputPort == 0 || mPrivate->destination == 0) {
        return noErr;
    }
    if (inStatus == 0xF0) {
        return kMIDIMessageSendErr;
    }
    const auto first = static_cast<std::uint8_t>(
        inStatus >= 0xF1 ? inStatus : (inStatus & 0xF0) | (inChannel & 0x0F));
    const std::uint8_t bytes[] = {first, static_cast<std::uint8_t>(inData1),
                                  static_cast<std::uint8_t>(inData2)};
    std::uint32_t count = 3;
    if (inStatus == 0xC0 || inStatus == 0xD0 || inStatus == 0xF1 || inStatus == 0xF3) {
        count = 2;
    } else if (inStatus >= 0xF4) {
        count = 1;
    }
    return sendPackets(bytes, count, kShortListSize);
}

OSStatus CDTAMIDIManager::sendLongMessage(const std::uint8_t* inData, std::int32_t inLength) {
    if (mPrivate->destination == 0) {
        return noErr;
    }
    if (inLength < 0 || (inLength > 0 && inData == nullptr)) {
        return paramErr;
    }
    const auto length = static_cast<std::uint32_t>(inLength);
    return sendPackets(inData, length, longListSize(length));
}

OSStatus CDTAMIDIManager::sendPackets(const std::uint8_t* inData, std::uint32_t inLength,
                                      std::uint32_t inListSize) {
    TSimpleBuffer<unsigned char> buffer(inListSize, true);
    auto* list = reinterpret_cast<MIDIPacketList*>(buffer.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    const MIDITimeStamp now = AudioGetCurrentHostTime();
    for (std::uint32_t offset = 0; offset < inLength;) {
        const std::uint32_t chunk = std::min(inLength - offset, kMaxPacketData);
        packet = MIDIPacketListAdd(list, inListSize, packet, now, chunk, inData + offset);
        if (packet == nullptr) {
            return kMIDIMessageSendErr; // never sends part of a message
        }
        offset += chunk;
    }
    return MIDISend(mPrivate->outputPort, mPrivate->destination, list);
}
