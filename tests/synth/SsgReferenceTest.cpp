// The SSG frame by frame against two PSG emulators by others (test oracles,
// built from ../shared/reference when it is there): the channels' level
// steps on streams of tones, noise, all envelope shapes and busy random
// writes, and the noise generator's bit sequence. Each comparison prints its
// share of equal frames.
//
// Level steps compare as the DAC's 5-bit step indices. A fixed level L is step
// 2L + 1 in all three for L > 0; for L = 0 one oracle says step 1, the other
// step 0 (both silent there) and we say step 0, so the oracles' fixed level 0
// is read as step 0.
#include "SsgStreams.h"
#include "synth/Ssg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#if TONRIG_SSG_REFERENCES
extern "C" {
#include "ayumi.h"
#include "emu2149.h"
}
#endif

namespace {

using synth::test::SsgStream;
using Levels = std::array<std::uint8_t, 3>;

constexpr std::uint32_t clockHz = 2000000;

#if TONRIG_SSG_REFERENCES

std::uint8_t fixedStep(int level) {
    return level == 0 ? 0 : static_cast<std::uint8_t>(2 * level + 1);
}

struct OurChip {
    synth::Ssg chip;
    void write(std::uint8_t reg, std::uint8_t data) { chip.write(reg, data); }
    Levels step() {
        std::int16_t sample;
        chip.generate(&sample, 1);
        Levels out;
        chip.levels(out.data());
        return out;
    }
};

template <class Chip> std::vector<Levels> runLevels(Chip& chip, const SsgStream& stream) {
    std::vector<Levels> out;
    out.reserve(stream.frames);
    auto next = stream.writes.begin();
    for (std::size_t frame = 0; frame < stream.frames; ++frame) {
        for (; next != stream.writes.end() && next->frame <= frame; ++next)
            chip.write(next->reg, next->data);
        out.push_back(chip.step());
    }
    return out;
}

double shareEqual(const std::vector<Levels>& a, const std::vector<Levels>& b) {
    std::size_t equal = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        equal += a[i] == b[i];
    return a.empty() ? 1.0 : static_cast<double>(equal) / static_cast<double>(a.size());
}

// Registers mapped onto the oracle's setters; one update of its mixer per
// call of its output function (sample rate = clock / 8 makes its step an
// eighth, so one chip state per call).
struct AyumiChip {
    std::unique_ptr<ayumi> ay = std::make_unique<ayumi>();
    std::array<std::uint8_t, 16> regs{};
    AyumiChip() {
        ayumi_configure(ay.get(), 1, clockHz, clockHz / 8);
        ayumi_set_noise(ay.get(), 0); // as the chip after reset, every register 0
        for (int ch = 0; ch < 3; ++ch)
            ayumi_set_pan(ay.get(), ch, 0.5, 0);
    }
    void mixer(int ch) {
        ayumi_set_mixer(ay.get(), ch, (regs[7] >> ch) & 1, (regs[7] >> (ch + 3)) & 1,
                        (regs[8 + ch] >> 4) & 1);
    }
    void write(std::uint8_t reg, std::uint8_t data) {
        regs[reg] = data;
        if (reg < 6) {
            const int ch = reg / 2;
            ayumi_set_tone(ay.get(), ch, ((regs[2 * ch + 1] & 0x0f) << 8) | regs[2 * ch]);
        } else if (reg == 6) {
            ayumi_set_noise(ay.get(), data);
        } else if (reg == 7) {
            for (int ch = 0; ch < 3; ++ch)
                mixer(ch);
        } else if (reg <= 10) {
            ayumi_set_volume(ay.get(), reg - 8, data & 0x0f);
            mixer(reg - 8);
        } else if (reg <= 12) {
            ayumi_set_envelope(ay.get(), (regs[12] << 8) | regs[11]);
        } else if (reg == 13) {
            ayumi_set_envelope_shape(ay.get(), data);
        }
    }
    Levels step() {
        ayumi_process(ay.get());
        Levels out;
        for (int ch = 0; ch < 3; ++ch) {
            const tone_channel& c = ay->channels[ch];
            const bool open = (c.tone | c.t_off) & ((ay->noise & 1) | c.n_off);
            out[ch] = !open    ? 0
                      : c.e_on ? static_cast<std::uint8_t>(ay->envelope)
                               : fixedStep(c.volume);
        }
        return out;
    }
};

// One chip state per call with the internal rate converter bypassed and the
// output rate at clock / 8.
struct Emu2149Chip {
    PSG* psg = PSG_new(clockHz, clockHz / 8);
    Emu2149Chip() {
        PSG_setVolumeMode(psg, 1);
        PSG_setQuality(psg, 0);
        PSG_reset(psg);
    }
    ~Emu2149Chip() { PSG_delete(psg); }
    Emu2149Chip(const Emu2149Chip&) = delete;
    Emu2149Chip& operator=(const Emu2149Chip&) = delete;
    void write(std::uint8_t reg, std::uint8_t data) { PSG_writeReg(psg, reg, data); }
    Levels step() {
        PSG_calc(psg);
        Levels out;
        for (int ch = 0; ch < 3; ++ch) {
            const bool open =
                (psg->tmask[ch] || psg->edge[ch]) && (psg->nmask[ch] || (psg->noise_seed & 1));
            const int volume = psg->volume[ch];
            out[ch] = !open ? 0 : (volume & 32) ? psg->env_ptr : fixedStep((volume & 31) >> 1);
        }
        return out;
    }
};

struct Agreement {
    const char* oracle;
    double share;
};

std::array<Agreement, 2> compare(const SsgStream& stream) {
    OurChip ours;
    AyumiChip ayumiChip;
    Emu2149Chip emuChip;
    const auto mine = runLevels(ours, stream);
    const std::array<Agreement, 2> result = {
        Agreement{"ayumi", shareEqual(mine, runLevels(ayumiChip, stream))},
        Agreement{"emu2149", shareEqual(mine, runLevels(emuChip, stream))}};
    for (const auto& [oracle, share] : result)
        std::printf("ssg vs %-8s %-16s %8.4f %% of %zu frames equal\n", oracle, stream.name.c_str(),
                    100.0 * share, stream.frames);
    return result;
}

// ayumi agrees on every frame. emu2149 differs by its own design in three
// places, so only a floor under its measured share is asserted: a period
// lowered below a running count is subtracted there, not restarted, so the
// channel flips on consecutive frames (tones); writing R13 leaves its
// envelope prescaler running, so the steps come at another phase within
// the period (envelope shapes); its noise register starts elsewhere in the
// same sequence (noise, see the sequence test below).
TEST(SsgReference, TonePeriodsAgree) {
    const auto result = compare(synth::test::toneStream());
    EXPECT_EQ(result[0].share, 1.0);
    EXPECT_GT(result[1].share, 0.9);
}

TEST(SsgReference, NoiseAgreesWithTheAccurateOracle) {
    const auto result = compare(synth::test::noiseStream());
    EXPECT_EQ(result[0].share, 1.0);
}

TEST(SsgReference, AllEnvelopeShapesAgree) {
    const auto result = compare(synth::test::envelopeStream());
    EXPECT_EQ(result[0].share, 1.0);
    EXPECT_GT(result[1].share, 0.75);
}

// The noise generator's output bit, one per shift (noise period 1: a shift
// every second frame), read from a channel that has noise alone. emu2149
// seeds its register differently, so its bits are looked up in our sequence
// (one whole period of it) and then compared from there on.
template <class Chip> std::vector<std::uint8_t> noiseBits(Chip& chip, std::size_t shifts) {
    SsgStream stream{"noise bits", {{0, 7, 0x37}, {0, 8, 15}, {0, 6, 1}}, 2 * shifts};
    const auto levels = runLevels(chip, stream);
    std::vector<std::uint8_t> bits;
    for (std::size_t frame = 1; frame < levels.size(); frame += 2)
        bits.push_back(levels[frame][0] != 0);
    return bits;
}

TEST(SsgReference, NoiseSequenceIsTheOraclesSequence) {
    constexpr std::size_t period = (1u << 17) - 1;
    OurChip ours;
    AyumiChip ayumiChip;
    Emu2149Chip emuChip;
    const auto mine = noiseBits(ours, period + 20000);
    const auto fromAyumi = noiseBits(ayumiChip, 20000);
    const auto fromEmu = noiseBits(emuChip, 20000);

    EXPECT_TRUE(std::equal(fromAyumi.begin(), fromAyumi.end(), mine.begin()));

    const auto start = std::search(mine.begin(), mine.begin() + period + 64, fromEmu.begin(),
                                   fromEmu.begin() + 64);
    ASSERT_LT(start - mine.begin(), static_cast<std::ptrdiff_t>(period))
        << "emu2149's noise is another sequence";
    std::size_t equal = 0;
    for (std::size_t i = 0; i < fromEmu.size(); ++i)
        equal += fromEmu[i] == start[static_cast<std::ptrdiff_t>(i)];
    std::printf("ssg vs emu2149  noise sequence   %8.4f %% of %zu shifts equal, %td shifts apart\n",
                100.0 * static_cast<double>(equal) / static_cast<double>(fromEmu.size()),
                fromEmu.size(), start - mine.begin());
    EXPECT_EQ(equal, fromEmu.size());
}

TEST(SsgReference, BusyStreamAgreesWithTheAccurateOracle) {
    const auto result = compare(synth::test::busyStream(400000));
    EXPECT_EQ(result[0].share, 1.0);
}

#else

TEST(SsgReference, NeedsTheReferenceEmulators) {
    GTEST_SKIP()
        << "../shared/reference (emu2149, ayumi) is absent: the SSG is not compared with them";
}

#endif

} // namespace
