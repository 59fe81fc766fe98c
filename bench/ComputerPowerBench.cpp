// What asking the system bus costs a run: UPower's power supply (once, before the
// update-mode prompt) and logind's inhibitor lock taken and let go (once, around the
// transfer). Run against the bus DBUS_SYSTEM_BUS_ADDRESS names (docs/development.md starts
// one with logind and UPower mocked); without one, what a run without a bus pays.
#include "Shell/Launch/ComputerPower.h"

#include <benchmark/benchmark.h>

namespace {

void ReadPowerSupply(benchmark::State& ioState) {
    for (auto _ : ioState) {
        std::string problem;
        benchmark::DoNotOptimize(readPowerSupply(problem));
    }
}
BENCHMARK(ReadPowerSupply)->Unit(benchmark::kMillisecond);

void TakeAndReleaseTheInhibitor(benchmark::State& ioState) {
    for (auto _ : ioState) {
        CSleepInhibitor inhibitor;
        std::string problem;
        benchmark::DoNotOptimize(inhibitor.take("power_bench", "measuring", problem));
    }
}
BENCHMARK(TakeAndReleaseTheInhibitor)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
