// Micro-benchmarks of the player's per-tick work: the CTC advance alone, and
// a whole tick of the busy stand-in driver (advance plus a 4000-clock
// interrupt routine).
#include <benchmark/benchmark.h>

#include <memory>

#include "BusyDriver.h"
#include "player/Tonrig.h"

namespace {

void ctcAdvance(benchmark::State& state) {
    Ctc ctc;
    for (unsigned channel = 0; channel < 4; ++channel) {
        ctc.write(channel, 0x85);
        ctc.write(channel, static_cast<std::uint8_t>(7 + channel));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ctc.advance());
}
BENCHMARK(ctcAdvance);

void busyTick(benchmark::State& state) {
    auto machine = std::make_unique<Tonrig>();
    const auto image = busyDriverImage();
    std::copy(image.begin(), image.end(), machine->memory.begin() + Tonrig::driverAddress);
    machine->callSubroutine(Tonrig::driverAddress);
    for (auto _ : state)
        machine->tick();
}
BENCHMARK(busyTick);

} // namespace

BENCHMARK_MAIN();
