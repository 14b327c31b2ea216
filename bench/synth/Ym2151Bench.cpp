// Frames per second of CPU time for the YM2151 model on a busy register stream
// (all eight channels sounding with different connections, the LFO on with AM
// and PM, a note change every 400 frames), beside the fast reference emulator
// from ../shared/reference/ymfm on the same stream. Both generate the frames
// between two writes in one call, as a board does.
#include "Ym2151Streams.h"
#include "synth/Ym2151.h"

#include <benchmark/benchmark.h>

#include <vector>

#ifdef TONRIG_HAVE_YMFM_OPM
#include "ymfm_opm.h"
#endif

namespace {

constexpr std::uint32_t streamFrames = 200000;

const ym2151test::Stream& stream() {
    static const ym2151test::Stream s = ym2151test::busyStream(streamFrames);
    return s;
}

// Calls write(address, data) for each write and generate(from, count) for the
// frames between them, over the whole stream.
template <typename Write, typename Generate> void play(Write&& write, Generate&& generate) {
    std::uint32_t frame = 0;
    for (const ym2151test::TimedWrite& w : stream().writes()) {
        if (w.frame > frame) {
            generate(w.frame - frame);
            frame = w.frame;
        }
        write(w.address, w.data);
    }
    generate(streamFrames - frame);
}

void ownModel(benchmark::State& state) {
    std::vector<std::int16_t> buffer(2 * streamFrames);
    for (auto _ : state) {
        synth::Ym2151 chip(3579545);
        std::int16_t* out = buffer.data();
        play([&](std::uint8_t a, std::uint8_t d) { chip.write(a, d); },
             [&](std::uint32_t n) {
                 chip.generate(out, n);
                 out += 2 * n;
             });
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["frames_per_cpu_second"] = benchmark::Counter(
        static_cast<double>(streamFrames) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(ownModel)->Unit(benchmark::kMillisecond);

#ifdef TONRIG_HAVE_YMFM_OPM
void fastReference(benchmark::State& state) {
    using Chip = ymfm::ym2151;
    std::vector<Chip::output_data> buffer(streamFrames);
    for (auto _ : state) {
        ymfm::ymfm_interface host;
        Chip chip(host);
        chip.reset();
        Chip::output_data* out = buffer.data();
        play(
            [&](std::uint8_t a, std::uint8_t d) {
                chip.write(0, a);
                chip.write(1, d);
            },
            [&](std::uint32_t n) {
                chip.generate(out, n);
                out += n;
            });
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["frames_per_cpu_second"] = benchmark::Counter(
        static_cast<double>(streamFrames) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(fastReference)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
