// Read and write throughput of the SMF codec on a firmware-like image (4,000 SysEx
// messages of 256 bytes and a tempo map, about 1 MB) and a music-like file (1,000,000
// channel events in 16 tracks with running status, about 3.8 MB).
#include "Common/SMF/SMF.h"
#include "Common/SMF/SMFUtil.h"
#include "FirmwareImage.h"

#include "BenchStatistics.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes& firmwareLikeImage() {
    static const Bytes bytes = [] {
        SFirmwareImage image;
        image.tempos = {{0, 500000}, {19200, 400000}, {38400, 600000}};
        for (std::uint32_t i = 0; i < 4000; ++i) {
            image.messages.push_back({i * 12, makeFirmwareMessage(i, 256, 7)});
        }
        return buildFirmwareImage(image);
    }();
    return bytes;
}

void appendBE32(Bytes& ioBytes, std::uint32_t inValue) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        ioBytes.push_back(static_cast<std::uint8_t>(inValue >> shift));
    }
}

// Encoded by hand, as sequencers write: running status on about half the events, and
// about a third of the deltas in two bytes.
const Bytes& musicLikeFile() {
    static const Bytes bytes = [] {
        constexpr int kTracks = 16;
        constexpr int kEventsPerTrack = 62500;
        std::mt19937 random(42);
        Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks, 0x01, 0xE0};
        for (int t = 0; t < kTracks; ++t) {
            Bytes body;
            std::uint8_t running = 0;
            for (int i = 0; i < kEventsPerTrack; ++i) {
                if (random() % 3 == 0) {
                    body.push_back(static_cast<std::uint8_t>(0x81 + random() % 0x7F));
                }
                body.push_back(static_cast<std::uint8_t>(random() % 0x80));
                const auto status = static_cast<std::uint8_t>(((random() % 2) ? 0x90 : 0x80) | t);
                if (status != running) {
                    body.push_back(status);
                    running = status;
                }
                body.push_back(static_cast<std::uint8_t>(random() % 0x80));
                body.push_back(static_cast<std::uint8_t>(random() % 0x80));
            }
            body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
            file.insert(file.end(), {'M', 'T', 'r', 'k'});
            appendBE32(file, static_cast<std::uint32_t>(body.size()));
            file.insert(file.end(), body.begin(), body.end());
        }
        return file;
    }();
    return bytes;
}

std::int64_t eventCount(const CSMF& inSmf) {
    std::int64_t events = 0;
    for (const CMidiTrack* track : inSmf.mTracks) {
        events += track->GetEventCount();
    }
    return events;
}

// Reading alone: each iteration reads into a new container; its destruction is not timed.
void readFile(benchmark::State& state, const Bytes& inFile) {
    std::int64_t events = 0;
    for (auto _ : state) {
        auto smf = std::make_unique<CSMF>();
        std::uint32_t count = 0;
        if (!smf->setData(inFile.data(), static_cast<std::uint32_t>(inFile.size()), count)) {
            state.SkipWithError("the file was refused");
            return;
        }
        state.PauseTiming();
        events = eventCount(*smf);
        smf.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(inFile.size()));
    state.SetItemsProcessed(state.iterations() * events);
    state.counters["file_bytes"] = static_cast<double>(inFile.size());
}

// Destroying what was read: the other half of the cost of owning every event.
void destroyFile(benchmark::State& state, const Bytes& inFile) {
    for (auto _ : state) {
        state.PauseTiming();
        auto smf = std::make_unique<CSMF>();
        std::uint32_t count = 0;
        smf->setData(inFile.data(), static_cast<std::uint32_t>(inFile.size()), count);
        state.ResumeTiming();
        smf.reset();
    }
}

void writeFile(benchmark::State& state, const Bytes& inFile) {
    CSMF smf;
    std::uint32_t count = 0;
    if (!smf.setData(inFile.data(), static_cast<std::uint32_t>(inFile.size()), count)) {
        state.SkipWithError("the file was refused");
        return;
    }
    Bytes out(smf.GetFileSize());
    for (auto _ : state) {
        std::uint32_t written = 0;
        const std::uint32_t size = smf.GetFileSize();
        benchmark::DoNotOptimize(size);
        smf.getData(out.data(), written);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
    state.SetItemsProcessed(state.iterations() * eventCount(smf));
}

void BM_ReadFirmwareLike(benchmark::State& state) {
    readFile(state, firmwareLikeImage());
}
void BM_ReadMusicLike(benchmark::State& state) {
    readFile(state, musicLikeFile());
}
void BM_DestroyFirmwareLike(benchmark::State& state) {
    destroyFile(state, firmwareLikeImage());
}
void BM_DestroyMusicLike(benchmark::State& state) {
    destroyFile(state, musicLikeFile());
}
void BM_WriteFirmwareLike(benchmark::State& state) {
    writeFile(state, firmwareLikeImage());
}
void BM_WriteMusicLike(benchmark::State& state) {
    writeFile(state, musicLikeFile());
}

BENCHMARK(BM_ReadFirmwareLike)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_ReadMusicLike)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_DestroyFirmwareLike)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_DestroyMusicLike)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_WriteFirmwareLike)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_WriteMusicLike)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

} // namespace

BENCHMARK_MAIN();
