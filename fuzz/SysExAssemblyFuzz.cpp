// Arbitrary packet lists into the MIDI manager's read procedure: the input callback must see
// exactly the complete F0 ... F7 messages that the plain model of the rules
// (tests/support/SysExModel.h) finds in the same bytes, in order.
//
// Input format: repeated [n][n bytes], each one packet; a list holds every packet.
#include "Common/DTAMIDIManager_Mac.h"
#include "Platform/Virtual/VirtualMIDIService.h"
#include "SysExModel.h"

#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void check(bool inCondition) {
    if (!inCondition) {
        std::abort();
    }
}

std::vector<Bytes> sReceived;

void record(void*, const std::uint8_t* inData, std::uint32_t inLength) {
    sReceived.emplace_back(inData, inData + inLength);
}

CDTAMIDIManager* manager() {
    static CDTAMIDIManager* const sManager = [] {
        static const auto service = std::make_shared<CVirtualMIDIService>();
        (void)MIDIServiceInstallDriver(service);
        service->addSource("VYR10", "fuzz");
        CDTAMIDIManager::initialize(nullptr, nullptr);
        CDTAMIDIManager::instance()->openMidiIn(0, record, nullptr, 512);
        return CDTAMIDIManager::instance();
    }();
    return sManager;
}

void deliver(const std::vector<Bytes>& inPackets) {
    static std::vector<std::uint8_t> storage(65536 + 1024);
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    for (const Bytes& bytes : inPackets) {
        packet = MIDIPacketListAdd(list, storage.size(), packet, 0, bytes.size(), bytes.data());
        check(packet != nullptr);
    }
    CDTAMIDIManager::procMidiIn(list, manager(), nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize) {
    // A status byte first: whatever the last input left half collected is dropped.
    deliver({{0x80}});
    sReceived.clear();
    std::vector<Bytes> packets;
    for (std::size_t i = 0; i < inSize && packets.size() < 200;) {
        const std::size_t length = std::min<std::size_t>(inData[i], inSize - i - 1);
        packets.emplace_back(inData + i + 1, inData + i + 1 + length);
        i += 1 + length;
    }
    deliver(packets);
    check(sReceived == CompleteSysExMessages(packets));
    return 0;
}
