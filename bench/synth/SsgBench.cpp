// Frames per CPU second of the SSG beside emu2149 on the same register
// streams in the same run: "busy" (all three channels with tone, noise and
// envelope, a random write every 1-400 frames, periods kept short) and
// "player" (a tune's worth of writes: every register rewritten 50 times a
// second of a 2 MHz chip, 5000 frames apart). Both chips render one chip
// state per frame (emu2149 with its rate converter bypassed, output rate =
// clock / 8).
#include "SsgStreams.h"
#include "synth/Ssg.h"

#include <benchmark/benchmark.h>

extern "C" {
#include "emu2149.h"
}

#include <random>
#include <vector>

namespace {

using synth::test::SsgStream;

constexpr std::uint32_t clockHz = 2000000;
constexpr std::size_t streamFrames = 1000000;

SsgStream playerStream() {
    SsgStream s{"player", {}, streamFrames};
    std::mt19937 random(8910);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (std::size_t frame = 0; frame < streamFrames; frame += 5000) {
        for (std::uint8_t ch = 0; ch < 3; ++ch) {
            const int period = pick(60, 1500);
            s.writes.push_back(
                {frame, static_cast<std::uint8_t>(2 * ch), static_cast<std::uint8_t>(period)});
            s.writes.push_back({frame, static_cast<std::uint8_t>(2 * ch + 1),
                                static_cast<std::uint8_t>(period >> 8)});
            s.writes.push_back({frame, static_cast<std::uint8_t>(8 + ch),
                                static_cast<std::uint8_t>(ch == 2 ? 0x10 : pick(8, 15))});
        }
        s.writes.push_back({frame, 6, static_cast<std::uint8_t>(pick(1, 31))});
        s.writes.push_back({frame, 7, 0x30}); // tones on all three, noise on A and B
        s.writes.push_back({frame, 11, static_cast<std::uint8_t>(pick(20, 200))});
        s.writes.push_back({frame, 12, 0});
        if (frame % 20000 == 0) s.writes.push_back({frame, 13, 0x0e});
    }
    return s;
}

const SsgStream& streamFor(int which) {
    static const SsgStream busy = synth::test::busyStream(streamFrames);
    static const SsgStream player = playerStream();
    return which == 0 ? busy : player;
}

void ssg(benchmark::State& state) {
    const SsgStream& stream = streamFor(static_cast<int>(state.range(0)));
    std::vector<std::int16_t> out(stream.frames);
    synth::Ssg chip;
    for (auto _ : state) {
        chip.reset();
        auto next = stream.writes.begin();
        std::size_t frame = 0;
        while (frame < stream.frames) {
            for (; next != stream.writes.end() && next->frame <= frame; ++next)
                chip.write(next->reg, next->data);
            const std::size_t end = next == stream.writes.end() ? stream.frames : next->frame;
            chip.generate(out.data() + frame, end - frame);
            frame = end;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(stream.name);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(stream.frames),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void emu2149(benchmark::State& state) {
    const SsgStream& stream = streamFor(static_cast<int>(state.range(0)));
    std::vector<std::int16_t> out(stream.frames);
    PSG* psg = PSG_new(clockHz, clockHz / 8);
    PSG_setVolumeMode(psg, 1);
    PSG_setQuality(psg, 0);
    for (auto _ : state) {
        PSG_reset(psg);
        auto next = stream.writes.begin();
        for (std::size_t frame = 0; frame < stream.frames; ++frame) {
            for (; next != stream.writes.end() && next->frame <= frame; ++next)
                PSG_writeReg(psg, next->reg, next->data);
            out[frame] = PSG_calc(psg);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    PSG_delete(psg);
    state.SetLabel(stream.name);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(stream.frames),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(ssg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(emu2149)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
