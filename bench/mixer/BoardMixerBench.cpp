// Real-time factor of a whole board: its three chips generating, resampled
// to 48 kHz and mixed, on a busy register stream (every FM channel sounding
// with the LFO's AM and PM on; the SSG's three tones with noise and an
// envelope; notes changing every 20 ms). The counter "realtime" is seconds of
// sound made per second of CPU time. kx7mChips runs the same chips on the
// same stream without resampling and mixing, for the mixer's share.
#include "mixer/BoardMixer.h"
#include "synth/Ssg.h"
#include "synth/Ym2151.h"
#include "tavro/SoundInterface.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

using mixer::BoardMixer;

// The KX7M's chips alone, written and generated as the mixer does.
class Kx7mChips {
public:
    void write(std::size_t chip, std::uint8_t address, std::uint8_t data) {
        if (chip == 0)
            ssg_.write(address, data);
        else
            (chip == 1 ? opm1_ : opm2_).write(address, data);
    }
    // 20 ms of each chip's frames.
    void generate() {
        ssg_.generate(ssgFrames_.data(), ssgFrames_.size());
        opm1_.generate(opmFrames_.data(), opmFrames_.size() / 2);
        opm2_.generate(opmFrames_.data(), opmFrames_.size() / 2);
    }

private:
    synth::Ssg ssg_;
    synth::Ym2151 opm1_{4000000}, opm2_{4000000};
    std::vector<std::int16_t> ssgFrames_ = std::vector<std::int16_t>(5000);
    std::vector<std::int16_t> opmFrames_ = std::vector<std::int16_t>(2 * 1250);
};

template <class Board> void setUpSsg(Board& mixer, std::size_t ssg) {
    const std::uint8_t regs[14] = {0x40, 0x01, 0x80, 0x01, 0xC0, 0x00, 0x08,
                                   0x30, 0x10, 0x0C, 0x0A, 0x00, 0x04, 0x0E};
    for (std::uint8_t reg = 0; reg < 14; ++reg)
        mixer.write(ssg, reg, regs[reg]);
}

template <class Board> void setUpOpm(Board& mixer, std::size_t opm) {
    mixer.write(opm, 0x18, 0xC0); // LFO rate
    mixer.write(opm, 0x19, 0x7F); // AM depth
    mixer.write(opm, 0x19, 0xC0); // PM depth
    mixer.write(opm, 0x1B, 0x02); // triangle
    for (std::uint8_t ch = 0; ch < 8; ++ch) {
        mixer.write(opm, 0x20 + ch, static_cast<std::uint8_t>(0xC0 | (ch % 8) | 0x18));
        mixer.write(opm, 0x38 + ch, 0x33); // PMS, AMS
        for (std::uint8_t op = 0; op < 32; op += 8) {
            mixer.write(opm, 0x40 + op + ch, 0x01 + op / 8);
            mixer.write(opm, 0x60 + op + ch, 0x10 + op);
            mixer.write(opm, 0x80 + op + ch, 0x1F);
            mixer.write(opm, 0xA0 + op + ch, 0x85);
            mixer.write(opm, 0xC0 + op + ch, 0x03);
            mixer.write(opm, 0xE0 + op + ch, 0x27);
        }
    }
}

void setUpOpll(BoardMixer& mixer, std::size_t opll) {
    for (std::uint8_t ch = 0; ch < 9; ++ch)
        mixer.write(opll, 0x30 + ch, static_cast<std::uint8_t>((ch + 1) << 4 | 2));
}

// Key codes / F-numbers that change every 20 ms across the channels.
template <class Board>
void notes(Board& mixer, std::int32_t kind, std::size_t chip, int step) {
    if (kind == tavro::chipTypeYm2151) {
        const std::uint8_t ch = static_cast<std::uint8_t>(step % 8);
        mixer.write(chip, 0x08, ch);
        mixer.write(chip, 0x28 + ch, static_cast<std::uint8_t>(0x30 + step % 0x40));
        mixer.write(chip, 0x08, static_cast<std::uint8_t>(0x78 | ch));
    } else if (kind == tavro::chipTypeYm2413) {
        const std::uint8_t ch = static_cast<std::uint8_t>(step % 9);
        mixer.write(chip, 0x20 + ch, 0x00);
        mixer.write(chip, 0x10 + ch, static_cast<std::uint8_t>(0x80 + step % 0x7F));
        mixer.write(chip, 0x20 + ch, 0x18);
    } else {
        mixer.write(chip, static_cast<std::uint8_t>(2 * (step % 3)),
                    static_cast<std::uint8_t>(0x40 + step % 0xB0));
    }
}

void board(benchmark::State& state, std::int32_t fm, std::uint32_t clock) {
    BoardMixer mixer;
    const std::size_t ssg = mixer.addChip(tavro::chipTypePsg, clock / 2).value_or(0);
    const std::size_t fm1 = mixer.addChip(fm, clock).value_or(0);
    const std::size_t fm2 = mixer.addChip(fm, clock).value_or(0);
    setUpSsg(mixer, ssg);
    for (const std::size_t chip : {fm1, fm2})
        fm == tavro::chipTypeYm2151 ? setUpOpm(mixer, chip) : setUpOpll(mixer, chip);
    constexpr std::size_t stepFrames = 960; // 20 ms
    std::vector<std::int16_t> out(2 * stepFrames);
    int step = 0;
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i, ++step) { // one second
            notes(mixer, tavro::chipTypePsg, ssg, step);
            notes(mixer, fm, fm1, step);
            notes(mixer, fm, fm2, step + 3);
            mixer.render(out.data(), stepFrames);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void kx7m(benchmark::State& state) {
    board(state, tavro::chipTypeYm2151, 4000000);
}
void trq05(benchmark::State& state) {
    board(state, tavro::chipTypeYm2413, 3579545);
}

void kx7mChips(benchmark::State& state) {
    Kx7mChips chips;
    setUpSsg(chips, 0);
    setUpOpm(chips, 1);
    setUpOpm(chips, 2);
    int step = 0;
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i, ++step) {
            notes(chips, tavro::chipTypePsg, 0, step);
            notes(chips, tavro::chipTypeYm2151, 1, step);
            notes(chips, tavro::chipTypeYm2151, 2, step + 3);
            chips.generate();
        }
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The same board with every chip silent still
// generates, resamples and mixes.
void kx7mSilent(benchmark::State& state) {
    BoardMixer mixer;
    mixer.addChip(tavro::chipTypePsg, 2000000);
    mixer.addChip(tavro::chipTypeYm2151, 4000000);
    mixer.addChip(tavro::chipTypeYm2151, 4000000);
    std::vector<std::int16_t> out(2 * 48000);
    for (auto _ : state) {
        mixer.render(out.data(), 48000);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(kx7m)->Unit(benchmark::kMillisecond);
BENCHMARK(kx7mChips)->Unit(benchmark::kMillisecond);
BENCHMARK(trq05)->Unit(benchmark::kMillisecond);
BENCHMARK(kx7mSilent)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
