// Playing a firmware image of 2,000 messages of 256 bytes, 2 ms apart, to the simulated
// device: how late each message arrives against its schedule (min, median, p99, max in
// ms), how many arrive more than 1 ms early, and the process's CPU time as a share of the
// playback's wall time. Once on an idle machine and once with both cores kept busy by two
// other processes.
#include "Common/VYRController.h"
#include "FirmwareImage.h"
#include "Simulator/ExpectedTransfer.h"
#include "Simulator/SimulatedVYRDevice.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes benchImage() {
    SFirmwareImage image;
    image.division = 1000; // at 120 bpm a tick is 0.5 ms
    image.tempos = {{0, 500000}};
    for (std::uint32_t i = 0; i < 2000; ++i) {
        image.messages.push_back({i * 4, makeFirmwareMessage(i, 256, 11)});
    }
    return buildFirmwareImage(image);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processes that keep every core busy until destroyed.
class CBusyCores {
  public:
    explicit CBusyCores(long inCount) {
        for (long i = 0; i < inCount; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                volatile unsigned long spin = 0;
                for (;;) {
                    spin = spin + 1;
                }
            }
            mChildren.push_back(child);
        }
    }
    ~CBusyCores() {
        for (const pid_t child : mChildren) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }

  private:
    std::vector<pid_t> mChildren;
};

void playback(benchmark::State& state, long inBusyCores) {
    const Bytes image = benchImage();
    const std::vector<SExpectedMessage> expected = expectedTransfer(image).value();
    auto service = std::make_shared<CVirtualMIDIService>();
    MIDIServiceInstallBackend(service);
    STransferReport report;
    double cpuShare = 0;
    for (auto _ : state) {
        CVYRController::initialize();
        {
            CSimulatedVYRDevice device(service);
            device.switchToUpdateMode();
            service->waitUntilDelivered();
            CVYRController::instance()->openVYRForUpdate();
            const CBusyCores load(inBusyCores);
            const double cpuBefore = cpuSeconds();
            const auto wallBefore = std::chrono::steady_clock::now();
            const bool played = CVYRController::instance()->updateFirmware(
                image.data(), static_cast<std::uint32_t>(image.size()), nullptr, nullptr);
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore)
                    .count();
            cpuShare = (cpuSeconds() - cpuBefore) / wall;
            report = device.report(expected);
            if (!played || !report.identical) {
                state.SkipWithError("the transfer failed or was not identical");
            }
        }
        CVYRController::terminate();
    }
    MIDIServiceInstallBackend(nullptr);
    state.counters["late_min_ms"] = report.lateMinMs;
    state.counters["late_median_ms"] = report.lateMedianMs;
    state.counters["late_p99_ms"] = report.lateP99Ms;
    state.counters["late_max_ms"] = report.lateMaxMs;
    state.counters["early_over_1ms"] = static_cast<double>(report.earlyCount);
    state.counters["cpu_share_pct"] = cpuShare * 100;
}

void BM_PlaybackIdle(benchmark::State& state) {
    playback(state, 0);
}
void BM_PlaybackBothCoresBusy(benchmark::State& state) {
    playback(state, sysconf(_SC_NPROCESSORS_ONLN));
}

BENCHMARK(BM_PlaybackIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaybackBothCoresBusy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
