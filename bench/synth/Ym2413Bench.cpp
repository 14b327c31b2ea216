// Frames per CPU second of the YM2413 model on two busy register streams, beside the fast
// reference emulator's OPLL on the same streams when ../shared/reference is there: melody (all
// nine channels sounding, vibrato and tremolo on, a key change every few hundred frames) and
// rhythm (six melody channels, the five drums struck every other burst).
#include "synth/Ym2413.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#ifdef TONRIG_YM2413_FAST_REFERENCE
#include "ymfm_opl.h"
#endif

namespace {

struct Write {
    std::uint8_t address;
    std::uint8_t data;
};

constexpr std::size_t framesPerBurst = 256;

// The set-up writes, then one burst of writes per 256 frames: a note change on a channel.
std::vector<Write> setupWrites() {
    std::vector<Write> w = {{0x00, 0xe1}, {0x01, 0xc1}, {0x02, 0x1a}, {0x03, 0x03},
                            {0x04, 0xf3}, {0x05, 0xf3}, {0x06, 0x13}, {0x07, 0x13}};
    for (int ch = 0; ch < 9; ++ch) {
        w.push_back(
            {static_cast<std::uint8_t>(0x10 + ch), static_cast<std::uint8_t>(0x90 + ch * 17)});
        w.push_back({static_cast<std::uint8_t>(0x30 + ch),
                     static_cast<std::uint8_t>((ch * 5) % 16 << 4 | ch % 4)});
        w.push_back(
            {static_cast<std::uint8_t>(0x20 + ch), static_cast<std::uint8_t>(0x15 + (ch % 3) * 2)});
    }
    return w;
}

// The rhythm register: rhythm mode on, with the five drums' key bits.
constexpr std::uint8_t rhythmRegister = 0x0e;
constexpr std::uint8_t rhythmOn = 0x20;
constexpr std::uint8_t allDrums = 0x1f;

// One burst: a note change on a channel (channels 0-5 only with the drums), and with the drums
// all five struck (odd bursts) or released (even bursts).
std::vector<Write> burst(std::uint32_t n, bool drums) {
    const auto ch = static_cast<std::uint8_t>(n % (drums ? 6 : 9));
    std::vector<Write> w = {
        Write{static_cast<std::uint8_t>(0x10 + ch),
              static_cast<std::uint8_t>(0x80 + (n * 29) % 120)},
        Write{static_cast<std::uint8_t>(0x20 + ch), static_cast<std::uint8_t>(0x15 + (n % 3) * 2)}};
    if (drums)
        w.push_back(
            {rhythmRegister, static_cast<std::uint8_t>(n % 2 ? rhythmOn | allDrums : rhythmOn)});
    return w;
}

bool drumsOf(const benchmark::State& state) {
    return state.range(0) != 0;
}

void ym2413Model(benchmark::State& state) {
    synth::Ym2413 chip;
    for (const Write& w : setupWrites())
        chip.write(w.address, w.data);
    const bool drums = drumsOf(state);
    std::array<std::int16_t, framesPerBurst> out{};
    std::uint32_t n = 0;
    for (auto _ : state) {
        for (const Write& w : burst(n++, drums))
            chip.write(w.address, w.data);
        chip.generate(out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * framesPerBurst));
    state.SetLabel("frames");
}
BENCHMARK(ym2413Model)->ArgName("drums")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

#ifdef TONRIG_YM2413_FAST_REFERENCE
class NoHost : public ymfm::ymfm_interface {};

void ym2413FastReference(benchmark::State& state) {
    NoHost host;
    ymfm::ym2413 chip(host);
    chip.reset();
    for (const Write& w : setupWrites())
        chip.write(0, w.address), chip.write(1, w.data);
    const bool drums = drumsOf(state);
    std::array<ymfm::ym2413::output_data, framesPerBurst> out{};
    std::uint32_t n = 0;
    for (auto _ : state) {
        for (const Write& w : burst(n++, drums))
            chip.write(0, w.address), chip.write(1, w.data);
        chip.generate(out.data(), static_cast<std::uint32_t>(out.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * framesPerBurst));
    state.SetLabel("frames");
}
BENCHMARK(ym2413FastReference)->ArgName("drums")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
#endif

} // namespace

BENCHMARK_MAIN();
