// Frames per second of CPU time for the YM2151 model on busy register streams
// (all eight channels sounding with different connections, a note change every
// 400 frames; with the LFO on with AM and PM, with it off, and with the LFO,
// the noise and CSM keying every 64 frames all at once), beside the fast
// reference emulator from ../shared/reference/ymfm on the same streams. Both
// generate the frames between two writes in one call, as a board does.
#include "Ym2151Streams.h"
#include "synth/Ym2151.h"

#include <benchmark/benchmark.h>

#include <vector>

#ifdef TONRIG_HAVE_YMFM_OPM
#include "ymfm_opm.h"
#endif

namespace {

constexpr std::uint32_t streamFrames = 200000;

enum class Busy { lfo, noLfo, noiseCsm };

const ym2151test::Stream& stream(Busy which) {
    static const ym2151test::Stream withLfo = ym2151test::busyStream(streamFrames, true);
    static const ym2151test::Stream withoutLfo = ym2151test::busyStream(streamFrames, false);
    static const ym2151test::Stream noiseCsm = ym2151test::busyStream(streamFrames, true, true);
    return which == Busy::lfo ? withLfo : which == Busy::noLfo ? withoutLfo : noiseCsm;
}

// Calls write(address, data) for each write and generate(from, count) for the
// frames between them, over the whole stream.
template <typename Write, typename Generate>
void play(Busy which, Write&& write, Generate&& generate) {
    std::uint32_t frame = 0;
    for (const ym2151test::TimedWrite& w : stream(which).writes()) {
        if (w.frame > frame) {
            generate(w.frame - frame);
            frame = w.frame;
        }
        write(w.address, w.data);
    }
    generate(streamFrames - frame);
}

void ownModel(benchmark::State& state, Busy which) {
    std::vector<std::int16_t> buffer(2 * streamFrames);
    for (auto _ : state) {
        synth::Ym2151 chip(3579545);
        std::int16_t* out = buffer.data();
        play(
            which, [&](std::uint8_t a, std::uint8_t d) { chip.write(a, d); },
            [&](std::uint32_t n) {
                chip.generate(out, n);
                out += 2 * n;
            });
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["frames_per_cpu_second"] = benchmark::Counter(
        static_cast<double>(streamFrames) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(ownModel, busy, Busy::lfo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ownModel, busy_no_lfo, Busy::noLfo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ownModel, busy_noise_csm, Busy::noiseCsm)->Unit(benchmark::kMillisecond);

#ifdef TONRIG_HAVE_YMFM_OPM
void fastReference(benchmark::State& state, Busy which) {
    using Chip = ymfm::ym2151;
    std::vector<Chip::output_data> buffer(streamFrames);
    for (auto _ : state) {
        ymfm::ymfm_interface host;
        Chip chip(host);
        chip.reset();
        Chip::output_data* out = buffer.data();
        play(
            which,
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
BENCHMARK_CAPTURE(fastReference, busy, Busy::lfo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fastReference, busy_no_lfo, Busy::noLfo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fastReference, busy_noise_csm, Busy::noiseCsm)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
