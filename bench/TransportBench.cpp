// The MIDI manager's data path: SysEx assembly in the read procedure (256-byte and 4-KiB
// messages arriving in 1,024-byte packets) and the cost of one sendLongMessage of 256 and
// 600 bytes to a destination of the virtual service.
#include "Common/DTAMIDIManager_Mac.h"
#include "Platform/Virtual/VirtualMIDIService.h"

#include "BenchStatistics.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

// A manager whose input and output are open on a virtual service, for one benchmark.
class CTransport {
  public:
    CTransport() {
        (void)MIDIServiceInstallDriver(mService);
        mService->addSource("VYR10", "in");
        mService->addDestination("VYR10", "out");
        CDTAMIDIManager::initialize(nullptr, nullptr);
        CDTAMIDIManager::instance()->openMidiIn(0, count, &mMessages, 512);
        CDTAMIDIManager::instance()->openMidiOut(0);
    }
    ~CTransport() {
        CDTAMIDIManager::terminate();
        (void)MIDIServiceInstallDriver(nullptr);
    }
    std::int64_t messages() const { return mMessages; }

  private:
    static void count(void* inContext, const std::uint8_t*, std::uint32_t) {
        ++*static_cast<std::int64_t*>(inContext);
    }
    std::shared_ptr<CVirtualMIDIService> mService = std::make_shared<CVirtualMIDIService>();
    std::int64_t mMessages = 0;
};

// 64 messages of inMessageSize bytes laid end to end, cut into packets of 1,024 bytes.
std::vector<std::uint8_t> packetList(std::size_t inMessageSize, std::size_t& outBytes) {
    std::vector<std::uint8_t> stream;
    for (int m = 0; m < 64; ++m) {
        stream.push_back(0xF0);
        for (std::size_t i = 2; i < inMessageSize; ++i) {
            stream.push_back(static_cast<std::uint8_t>(i & 0x7F));
        }
        stream.push_back(0xF7);
    }
    outBytes = stream.size();
    std::vector<std::uint8_t> storage(stream.size() + stream.size() / 64 + 4096);
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    for (std::size_t at = 0; at < stream.size(); at += 1024) {
        const std::size_t chunk = std::min<std::size_t>(1024, stream.size() - at);
        packet = MIDIPacketListAdd(list, storage.size(), packet, 0, chunk, stream.data() + at);
    }
    return storage;
}

void assembly(benchmark::State& state, std::size_t inMessageSize) {
    CTransport transport;
    std::size_t bytes = 0;
    const std::vector<std::uint8_t> storage = packetList(inMessageSize, bytes);
    const auto* list = reinterpret_cast<const MIDIPacketList*>(storage.data());
    for (auto _ : state) {
        CDTAMIDIManager::procMidiIn(list, CDTAMIDIManager::instance(), nullptr);
    }
    if (transport.messages() != 64 * static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("messages were lost");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(transport.messages());
}

void sendLong(benchmark::State& state, std::int32_t inLength) {
    CTransport transport;
    std::vector<std::uint8_t> message(static_cast<std::size_t>(inLength), 0x11);
    message.front() = 0xF0;
    message.back() = 0xF7;
    for (auto _ : state) {
        if (CDTAMIDIManager::instance()->sendLongMessage(message.data(), inLength) != noErr) {
            state.SkipWithError("send failed");
            break;
        }
    }
}

void BM_Assemble256(benchmark::State& state) {
    assembly(state, 256);
}
void BM_Assemble4K(benchmark::State& state) {
    assembly(state, 4096);
}
void BM_SendLong256(benchmark::State& state) {
    sendLong(state, 256);
}
void BM_SendLong600(benchmark::State& state) {
    sendLong(state, 600);
}

BENCHMARK(BM_Assemble256)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_Assemble4K)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_SendLong256)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_SendLong600)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

} // namespace

BENCHMARK_MAIN();
