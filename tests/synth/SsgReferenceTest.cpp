// The SSG frame by frame against three emulators of it by others (test oracles,
// built from ../shared/reference when it is there): ayumi and ymfm's SSG, both
// accurate, and emu2149, a fast one. Compared are the channels' level steps on
// streams of tones, noise, all envelope shapes, busy random writes and
// hand-made feature streams, and the noise generator's bit sequence. Each
// comparison prints, per oracle, its share of equal frames, the
// signal-to-error ratio of the three channels' DAC sum and the first
// differing frame.
//
// Level steps compare as the DAC's 5-bit step indices. A fixed level L is step
// 2L + 1 in all of them for L > 0; for L = 0 ayumi says step 1, the others
// step 0 (all silent there) and we say step 0, so ayumi's fixed level 0 is
// read as step 0. ymfm's SSG gives each channel's DAC value rather than its
// step: its 32 values are measured (an envelope's whole rising cycle) and a
// value's rank among them is its step.
#include "SsgStreams.h"
#include "synth/Ssg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#if TONRIG_SSG_REFERENCES
extern "C" {
#include "ayumi.h"
#include "emu2149.h"
}
#include "ymfm_ssg.h"
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

// One clock() per frame (the engine divides its input clock by 8 itself),
// written before the frame is clocked, read after.
struct YmfmChip {
    ymfm::ymfm_interface host;
    ymfm::ssg_engine ssg{host};
    YmfmChip() { ssg.reset(); }
    void write(std::uint8_t reg, std::uint8_t data) { ssg.write(reg, data); }
    Levels step() {
        ssg.clock();
        ymfm::ssg_engine::output_data output;
        ssg.output(output);
        Levels out;
        for (int ch = 0; ch < 3; ++ch)
            out[ch] = stepOf(static_cast<std::int32_t>(output.data[ch]));
        return out;
    }
    // The engine's DAC values in step order, read off three cycles of a rising
    // saw (shape 12) at envelope period 1.
    static const std::vector<std::int32_t>& stepValues() {
        static const std::vector<std::int32_t> values = [] {
            YmfmChip chip;
            for (const auto& [reg, data] : {std::pair{7, 0x3f}, {8, 0x10}, {11, 1}, {13, 0x0c}})
                chip.ssg.write(reg, data);
            std::set<std::int32_t> seen;
            ymfm::ssg_engine::output_data output;
            for (int frame = 0; frame < 96; ++frame) {
                chip.ssg.clock();
                chip.ssg.output(output);
                seen.insert(static_cast<std::int32_t>(output.data[0]));
            }
            return std::vector<std::int32_t>(seen.begin(), seen.end());
        }();
        return values;
    }
    static std::uint8_t stepOf(std::int32_t value) {
        const auto& values = stepValues();
        return static_cast<std::uint8_t>(std::lower_bound(values.begin(), values.end(), value) -
                                         values.begin());
    }
};

// The DAC's 1.5 dB steps, step 0 silent: the scale the error is measured on.
double dacLevel(std::uint8_t step) {
    return step == 0 ? 0.0 : std::pow(10.0, -1.5 * (31 - step) / 20.0);
}

struct Agreement {
    const char* oracle;
    double share;
    double signalToErrorDb;      // infinity when every frame is equal
    std::size_t firstDifference; // the stream's length when there is none
};

Agreement agreement(const char* oracle, const std::vector<Levels>& mine,
                    const std::vector<Levels>& theirs) {
    Agreement result{oracle, shareEqual(mine, theirs), INFINITY, mine.size()};
    double signal = 0.0;
    double error = 0.0;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        double a = 0.0;
        double b = 0.0;
        for (int ch = 0; ch < 3; ++ch) {
            a += dacLevel(mine[i][ch]);
            b += dacLevel(theirs[i][ch]);
        }
        signal += a * a;
        error += (a - b) * (a - b);
        if (mine[i] != theirs[i] && result.firstDifference == mine.size())
            result.firstDifference = i;
    }
    if (error > 0.0) result.signalToErrorDb = 10.0 * std::log10(signal / error);
    return result;
}

struct Agreements {
    Agreement ayumi;
    Agreement ymfm;
    Agreement emu2149;
};

Agreements compare(const SsgStream& stream) {
    OurChip ours;
    AyumiChip ayumiChip;
    YmfmChip ymfmChip;
    Emu2149Chip emuChip;
    const auto mine = runLevels(ours, stream);
    const Agreements result = {agreement("ayumi", mine, runLevels(ayumiChip, stream)),
                               agreement("ymfm", mine, runLevels(ymfmChip, stream)),
                               agreement("emu2149", mine, runLevels(emuChip, stream))};
    for (const auto& a : {result.ayumi, result.ymfm, result.emu2149}) {
        std::printf("ssg vs %-8s %-24s %8.4f %% of %zu frames equal, %6.1f dB", a.oracle,
                    stream.name.c_str(), 100.0 * a.share, stream.frames, a.signalToErrorDb);
        if (a.firstDifference < stream.frames)
            std::printf(", first differing frame %zu", a.firstDifference);
        std::printf("\n");
    }
    return result;
}

// ayumi agrees on every frame. ymfm's SSG agrees on every frame but where an
// envelope restarts: writing R13 restarts the envelope's period count in
// ayumi and here, and leaves it running in ymfm (emu2149 does as ymfm), so
// after a write that lands within an envelope step ymfm's steps come at
// another phase within the period; and from power-on ymfm runs shape 0
// where the others hold the envelope at step 0 until R13 is written. Which
// of the two the chip does is not stated in ../shared/formats (its SSG is
// "as an AY-3-8910" and no more); ../shared/reference/README.md names ayumi
// the accurate PSG and ymfm close to the chips but not exact, so we keep
// ayumi's restart (as SsgTest's restart test has it), and on the
// streams that restart envelopes mid-step only a floor under ymfm's measured
// share is asserted; the test after the feature streams pins the
// difference down to the frame. With R13 leaving the count running and
// shape 0 running from power-on, a variant of our model measured 100 % equal
// to ymfm on every stream here and on six random 300,000-frame streams.
//
// emu2149 differs by its own design in three places, so only a floor under
// its measured share is asserted: a period lowered below a running count is
// subtracted there, not restarted, so the channel flips on consecutive
// frames (tones); R13 and the envelope's count as in ymfm (envelope shapes);
// its noise register starts elsewhere in the same sequence (noise, see the
// sequence test below).
TEST(SsgReference, TonePeriodsAgree) {
    const auto result = compare(synth::test::toneStream());
    EXPECT_EQ(result.ayumi.share, 1.0);
    EXPECT_EQ(result.ymfm.share, 1.0);
    EXPECT_GT(result.emu2149.share, 0.9);
}

TEST(SsgReference, NoiseAgreesWithTheAccurateOracles) {
    const auto result = compare(synth::test::noiseStream());
    EXPECT_EQ(result.ayumi.share, 1.0);
    EXPECT_EQ(result.ymfm.share, 1.0);
}

TEST(SsgReference, AllEnvelopeShapesAgree) {
    const auto result = compare(synth::test::envelopeStream());
    EXPECT_EQ(result.ayumi.share, 1.0);
    EXPECT_GT(result.ymfm.share, 0.79); // 79.09 %: the shapes are rewritten mid-step
    EXPECT_GT(result.emu2149.share, 0.75);
}

// The measured DAC values of ymfm's SSG: 32 of them, and a fixed level L
// reads as step 2L + 1 (0 as silence), as in the other two.
TEST(SsgReference, YmfmValuesReadAsTheDacSteps) {
    ASSERT_EQ(YmfmChip::stepValues().size(), 32u);
    EXPECT_EQ(YmfmChip::stepValues().front(), 0);
    YmfmChip chip;
    chip.write(7, 0x3f);
    for (int level = 0; level < 16; ++level) {
        chip.write(8, static_cast<std::uint8_t>(level));
        EXPECT_EQ(chip.step()[0], fixedStep(level)) << "fixed level " << level;
    }
}

// Hand-made streams through each feature: every period, rewrites at every
// point of a count, mixer and level modes switched mid-note, every envelope
// shape and its restarts, the I/O ports. ayumi agrees on every frame, ymfm
// too where no envelope restarts mid-step (see above); for emu2149 the share
// is printed.
TEST(SsgReference, FeatureStreamsAgreeWithTheAccurateOracles) {
    // ymfm's floor per stream (1 = exact), below its measured share.
    const std::vector<std::pair<SsgStream, double>> streams = {
        {synth::test::everyTonePeriodStream(), 1.0},
        {synth::test::tonePeriodRewriteStream(), 1.0},
        {synth::test::everyNoisePeriodStream(), 1.0},
        {synth::test::mixerToggleStream(), 1.0},
        {synth::test::everyEnvelopeStream(), 0.784},     // 78.42 %
        {synth::test::envelopeRetriggerStream(), 0.794}, // 79.45 %
        {synth::test::envelopePeriodRewriteStream(), 1.0},
        {synth::test::levelModeStream(), 1.0},
        {synth::test::ioPortStream(), 1.0}};
    for (const auto& [stream, ymfmFloor] : streams) {
        SCOPED_TRACE(stream.name);
        const auto result = compare(stream);
        EXPECT_EQ(result.ayumi.share, 1.0);
        if (ymfmFloor == 1.0)
            EXPECT_EQ(result.ymfm.share, 1.0);
        else
            EXPECT_GT(result.ymfm.share, ymfmFloor);
    }
}

// Shape 0 at envelope period 3 from frame 0 steps at frames 2, 5, 8, ...;
// the same shape is written again at frame 6, 7 or 8. Restarting the count
// (ayumi, ours) puts the next step two frames after the write; leaving it
// running (ymfm) keeps the step at frame 8. The two agree only when the
// write lands where the running count restarts anyway (frame 6).
TEST(SsgReference, ShapeRewriteRestartsTheEnvelopeCountAsAyumiDoes) {
    for (const std::size_t rewrite : {6u, 7u, 8u}) {
        SCOPED_TRACE(rewrite);
        const SsgStream stream{
            "shape rewrite at " + std::to_string(rewrite),
            {{0, 7, 0x3f}, {0, 8, 0x10}, {0, 11, 3}, {0, 13, 0}, {rewrite, 13, 0}},
            40};
        const auto result = compare(stream);
        EXPECT_EQ(result.ayumi.share, 1.0);
        EXPECT_EQ(result.ymfm.firstDifference, rewrite == 6 ? stream.frames : 8u);
    }
}

// A channel in envelope mode before R13 is ever written: ayumi and we hold the
// envelope at step 0, ymfm runs shape 0 (31 down to 0, one step a frame).
TEST(SsgReference, EnvelopeBeforeTheFirstShapeWriteHoldsAsAyumiHas) {
    const SsgStream stream{"envelope from power-on", {{0, 7, 0x3f}, {0, 8, 0x10}}, 40};
    const auto result = compare(stream);
    EXPECT_EQ(result.ayumi.share, 1.0);
    EXPECT_EQ(result.ymfm.firstDifference, 0u);
    EXPECT_EQ(result.ymfm.share, 10.0 / 40.0); // equal once its shape 0 has ended
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

// ymfm: 91.73 %, the envelope restarts as above (R13 is written at frame 0, so no
// difference from power-on).
TEST(SsgReference, WideRandomStreamAgreesWithAyumi) {
    const auto result = compare(synth::test::wideStream(300000));
    EXPECT_EQ(result.ayumi.share, 1.0);
    EXPECT_GT(result.ymfm.share, 0.917); // 91.73 %
}

// ymfm: 77.44 %, from frame 0 (channel B is in envelope mode before R13 is
// first written) and at every envelope restart.
TEST(SsgReference, BusyStreamAgreesWithTheAccurateOracles) {
    const auto result = compare(synth::test::busyStream(400000));
    EXPECT_EQ(result.ayumi.share, 1.0);
    EXPECT_GT(result.ymfm.share, 0.774);
}

#else

TEST(SsgReference, NeedsTheReferenceEmulators) {
    GTEST_SKIP()
        << "../shared/reference (emu2149, ayumi) is absent: the SSG is not compared with them";
}

#endif

} // namespace
