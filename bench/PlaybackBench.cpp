// Playing a firmware image of 2,000 messages of 256 bytes, 2 ms apart, to the simulated
// device: how late each message arrives against its schedule (min, median, p99, max in
// ms), how many arrive more than 1 ms early, and the process's CPU time as a share of the
// playback's wall time. Once on an idle machine, once with both cores kept busy by two
// other processes, and once stopped for a second and continued (how many neighbours came
// closer together than the image has them: none, after a stall).
#include "Common/VYRController.h"
#include "FirmwareImage.h"
#include "Simulator/ExpectedTransfer.h"
#include "Simulator/SimulatedVYRDevice.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <optional>
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

// Stops this process for a second, one second from now, as Ctrl-Z and fg would.
class CStoppedOnce {
  public:
    CStoppedOnce() : mChild(fork()) {
        if (mChild == 0) {
            const pid_t parent = getppid();
            sleep(1);
            kill(parent, SIGSTOP);
            sleep(1);
            kill(parent, SIGCONT);
            _exit(0);
        }
    }
    ~CStoppedOnce() { waitpid(mChild, nullptr, 0); }
    CStoppedOnce(const CStoppedOnce&) = delete;
    CStoppedOnce& operator=(const CStoppedOnce&) = delete;

  private:
    pid_t mChild;
};

// Neighbours that arrived more than 1 ms closer together than the image has them.
std::size_t bunched(const std::vector<SExpectedMessage>& inExpected,
                    const std::vector<SReceivedMessage>& inReceived) {
    std::size_t count = 0;
    for (std::size_t i = 1; i < inReceived.size() && i < inExpected.size(); ++i) {
        const double gapMs =
            static_cast<double>(inReceived[i].hostTimeNs - inReceived[i - 1].hostTimeNs) / 1e6;
        const double scheduledMs = inExpected[i].timeMs - inExpected[i - 1].timeMs;
        count += gapMs < scheduledMs - 1.0 ? 1 : 0;
    }
    return count;
}

enum class EDisturbance { kNone, kBusyCores, kStoppedOnce };

void playback(benchmark::State& state, EDisturbance inDisturbance) {
    const Bytes image = benchImage();
    std::string unused;
    const std::vector<SExpectedMessage> expected = expectedTransfer(image, unused).value();
    auto service = std::make_shared<CVirtualMIDIService>();
    (void)MIDIServiceInstallDriver(service);
    STransferReport report;
    double cpuShare = 0;
    std::size_t bunchedCount = 0;
    for (auto _ : state) {
        CVYRController::initialize();
        {
            CSimulatedVYRDevice device(service);
            device.switchToUpdateMode();
            service->waitUntilDelivered();
            CVYRController::instance()->openVYRForUpdate();
            const CBusyCores load(
                inDisturbance == EDisturbance::kBusyCores ? sysconf(_SC_NPROCESSORS_ONLN) : 0);
            std::optional<CStoppedOnce> stop;
            if (inDisturbance == EDisturbance::kStoppedOnce) {
                stop.emplace();
            }
            const double cpuBefore = cpuSeconds();
            const auto wallBefore = std::chrono::steady_clock::now();
            const bool played = CVYRController::instance()->updateFirmware(
                image.data(), static_cast<std::uint32_t>(image.size()), nullptr, nullptr);
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore)
                    .count();
            cpuShare = (cpuSeconds() - cpuBefore) / wall;
            report = device.report(expected);
            bunchedCount = bunched(expected, device.received());
            if (!played || !report.identical) {
                state.SkipWithError("the transfer failed or was not identical");
            }
        }
        CVYRController::terminate();
    }
    (void)MIDIServiceInstallDriver(nullptr);
    state.counters["late_min_ms"] = report.lateMinMs;
    state.counters["late_median_ms"] = report.lateMedianMs;
    state.counters["late_p99_ms"] = report.lateP99Ms;
    state.counters["late_max_ms"] = report.lateMaxMs;
    state.counters["early_over_1ms"] = static_cast<double>(report.earlyCount);
    state.counters["cpu_share_pct"] = cpuShare * 100;
    state.counters["bunched"] = static_cast<double>(bunchedCount);
}

void BM_PlaybackIdle(benchmark::State& state) {
    playback(state, EDisturbance::kNone);
}
void BM_PlaybackBothCoresBusy(benchmark::State& state) {
    playback(state, EDisturbance::kBusyCores);
}
// Stopped for a second after one second, then continued: the messages that fell due keep
// their gaps (bunched 0) and the rest moves later (lateness about 1 s from then on).
void BM_PlaybackStoppedAndContinued(benchmark::State& state) {
    playback(state, EDisturbance::kStoppedOnce);
}

BENCHMARK(BM_PlaybackIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaybackBothCoresBusy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaybackStoppedAndContinued)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
