// The YM2151 model against the die-shot-derived reference emulator in
// ../shared/reference, frame by frame, on register streams covering every
// connection, envelope rates at their extremes, each LFO wave with AM and PM,
// noise, key on and off mid-note and CSM. Both get the same writes at the same
// frame boundaries, two frames apart (the chip's latch needs a whole turn of
// the slots). The reference's output trails the model's by two frames
// (referenceDelay): its DAC word leaves the chip's output shift register a frame
// and more after the slots are computed, where the model gives a frame's value
// at once. That one delay is aligned for all streams; within it the model
// reproduces where the chip's pipeline takes up each write.
#include "Ym2151Oracle.h"
#include "Ym2151DriverStreams.h"
#include "Ym2151FeatureStreams.h"
#include "Ym2151SongStreams.h"
#include "Ym2151Streams.h"
#include "synth/Ym2151.h"
#include "synth/Ym2151Tables.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

namespace {

using ym2151test::comparisonStreams;
using ym2151test::Stream;

// Frames by which the reference's output trails the model's for the same writes.
constexpr std::uint32_t referenceDelay = 1;

#ifdef TONRIG_HAVE_OPM_ORACLE

// The noise generator's 17-bit register, as the model holds it (a step shifts
// in the XOR of bits 13 and 16), one step back.
constexpr std::uint32_t noiseBits = 0x1FFFF;
std::uint32_t noiseStepBack(std::uint32_t r) {
    return (r >> 1) | (((r ^ (r >> 14)) & 1) << 16);
}
bool parity(std::uint32_t v) {
    return (std::popcount(v) & 1) != 0;
}

// The 17-bit x with parity(x & masks[i]) == values[i] for every i, if the
// equations agree and fix every bit.
std::optional<std::uint32_t> solveBits(const std::vector<std::uint32_t>& masks,
                                       const std::vector<bool>& values) {
    std::array<std::uint32_t, 17> pivotMask{};
    std::array<bool, 17> pivotValue{};
    for (std::size_t i = 0; i < masks.size(); ++i) {
        std::uint32_t m = masks[i];
        bool v = values[i];
        for (int bit = 16; bit >= 0; --bit) {
            if (((m >> bit) & 1) == 0) continue;
            if (pivotMask[bit] == 0) {
                pivotMask[bit] = m;
                pivotValue[bit] = v;
                break;
            }
            m ^= pivotMask[bit];
            v = v != pivotValue[bit];
        }
        if (m == 0 && v) return std::nullopt;
    }
    std::uint32_t x = 0;
    for (unsigned bit = 0; bit < 17; ++bit) {
        if (pivotMask[bit] == 0) return std::nullopt;
        const bool known = parity(pivotMask[bit] & x & ((1u << bit) - 1));
        if (known != pivotValue[bit]) x |= 1u << bit;
    }
    return x;
}

std::vector<std::int16_t> runModel(const Stream& stream, std::uint32_t frames) {
    synth::Ym2151 chip(3579545);
    std::vector<std::int16_t> out(frames * 2);
    std::size_t next = 0;
    for (std::uint32_t f = 0; f < frames; ++f) {
        while (next < stream.writes().size() && stream.writes()[next].frame == f) {
            chip.write(stream.writes()[next].address, stream.writes()[next].data);
            ++next;
        }
        chip.generate(&out[2 * f], 1);
    }
    return out;
}

struct Comparison {
    double equalShare = 0; // frames with both values equal
    double ser = 0;        // signal-to-error ratio in dB over all frames
    std::uint32_t firstDifference = 0;
};

Comparison compare(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& ref,
                   std::uint32_t delay) {
    Comparison c;
    const std::uint32_t frames = static_cast<std::uint32_t>(ours.size() / 2) - delay;
    std::uint32_t equal = 0;
    double signal = 0, error = 0;
    bool seen = false;
    for (std::uint32_t f = 0; f < frames; ++f) {
        bool same = true;
        for (int side = 0; side < 2; ++side) {
            const double a = ours[2 * f + side];
            const double b = ref[2 * (f + delay) + side];
            signal += b * b;
            error += (a - b) * (a - b);
            same = same && a == b;
        }
        equal += same;
        if (!same && !seen) {
            seen = true;
            c.firstDifference = f;
        }
    }
    c.equalShare = static_cast<double>(equal) / frames;
    c.ser = error == 0 ? INFINITY : 10.0 * std::log10(signal / error);
    if (!seen) c.firstDifference = frames;
    return c;
}

// Prints a stream's figures (its first differing frame when it has one) and
// records them in the test's report.
void report(const std::string& name, const Comparison& c) {
    std::printf("%-26s equal frames %7.2f%%  signal-to-error %6.1f dB", name.c_str(),
                100.0 * c.equalShare, c.ser);
    if (c.equalShare < 1.0) std::printf("  first difference at frame %u", c.firstDifference);
    std::printf("\n");
    ::testing::Test::RecordProperty(name + "_equal_percent", std::to_string(100.0 * c.equalShare));
    ::testing::Test::RecordProperty(name + "_ser_db", std::to_string(c.ser));
}

// Plays each stream on the model and the reference, reports the figures and
// expects every frame equal (the reference a fixed referenceDelay later).
void expectExact(const std::vector<Stream>& streams) {
    for (const Stream& s : streams) {
        const std::uint32_t frames = s.length() + referenceDelay + 8;
        const Comparison c =
            compare(runModel(s, frames), ym2151test::runOracle(s, frames), referenceDelay);
        report(s.name(), c);
        EXPECT_EQ(c.equalShare, 1.0) << s.name() << " differs from frame " << c.firstDifference;
    }
}

// The long streams run forty seconds, ten under AddressSanitizer (the model
// and the reference run several times slower there) and in the Windows build
// (its run under Wine checks the same model on the other platform; the Linux
// run plays the whole streams).
#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
constexpr bool shortStreams = true;
#else
constexpr bool shortStreams = false;
#endif
constexpr std::uint32_t streamFrames = (shortStreams ? 10 : 40) * 55930;

#endif

// The feature and rule streams (see Ym2151Streams.h): the model reproduces
// every one of them exactly (what still differs elsewhere is listed in
// Ym2151.h).
TEST(Ym2151Reference, StreamsFrameByFrame) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    std::vector<Stream> streams = comparisonStreams();
    streams.push_back(ym2151test::rekeySweepStream());
    streams.push_back(ym2151test::csmKeyOnBetweenStream());
    streams.push_back(ym2151test::pmDepthClearedSlotsStream());
    expectExact(streams);
#endif
}

// Streams nobody wrote for one feature: 40 seconds of random writes over every
// register (seeds 1, 2, 5 and 13, the last two having found rules of the
// LFO's noise wave; seed 3 without the LFO, and again without the LFO and
// CSM), and of random MDX songs played by the driver. The model
// reproduces them all exactly. Under AddressSanitizer and in the Windows
// build the streams are ten seconds long (see streamFrames): the model and the reference run
// several times slower there, and the same kinds of writes and songs over fewer frames go through
// the same code, which is what the sanitizers check.
TEST(Ym2151Reference, LongRandomStreams) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    ym2151test::RandomFeatures noLfo;
    noLfo.lfo = false;
    ym2151test::RandomFeatures noLfoNoCsm = noLfo;
    noLfoNoCsm.csm = false;
    const std::vector<Stream> streams{
        ym2151test::randomStream("random_writes_1", 1, streamFrames),
        ym2151test::randomStream("random_writes_2", 2, streamFrames),
        ym2151test::randomStream("random_writes_5", 5, streamFrames),
        ym2151test::randomStream("random_writes_13", 13, streamFrames),
        ym2151test::randomStream("random_writes_no_lfo", 3, streamFrames, noLfo),
        ym2151test::randomStream("random_writes_no_lfo_no_csm", 3, streamFrames, noLfoNoCsm),
        ym2151test::songStream("random_song_1", ym2151test::randomSong(1), streamFrames),
        ym2151test::songStream("random_song_2", ym2151test::randomSong(2), streamFrames),
    };
    expectExact(streams);
#endif
}

// Streams written as game and computer music drivers write (see
// Ym2151DriverStreams.h), 40 seconds each (ten under AddressSanitizer and
// in the Windows build, as above): with the LFO, without it, with a speech-like voice keyed by CSM
// with and without the LFO (two seeds, one switching to the noise wave under PM), and with drums on
// the noise with and without the LFO (whose noise wave runs while the drums change NFRQ). The model
// reproduces them exactly.
TEST(Ym2151Reference, DriverLikeStreams) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    ym2151test::DriverFeatures noLfo;
    noLfo.lfo = false;
    ym2151test::DriverFeatures csm;
    csm.csm = true;
    ym2151test::DriverFeatures csmNoLfo = csm;
    csmNoLfo.lfo = false;
    ym2151test::DriverFeatures drums;
    drums.drums = true;
    ym2151test::DriverFeatures drumsNoLfo = drums;
    drumsNoLfo.lfo = false;
    const std::vector<Stream> streams{
        ym2151test::driverStream("driver_song_1", 1, streamFrames),
        ym2151test::driverStream("driver_song_no_lfo_2", 2, streamFrames, noLfo),
        ym2151test::driverStream("driver_song_csm_no_lfo_13", 13, streamFrames, csmNoLfo),
        ym2151test::driverStream("driver_song_csm_3", 3, streamFrames, csm),
        ym2151test::driverStream("driver_song_csm_7", 7, streamFrames, csm),
        ym2151test::driverStream("driver_song_drums_no_lfo_1", 1, streamFrames, drumsNoLfo),
        ym2151test::driverStream("driver_song_drums_3", 3, streamFrames, drums),
    };
    expectExact(streams);
#endif
}

// Streams that combine the chip's features as a check of the whole chip would
// (see Ym2151FeatureStreams.h), fifteen seconds each (four under
// AddressSanitizer and in the Windows build): every connection with every DT1/DT2/MUL and KF, the
// LFO's four waves with AM and PM at every sensitivity under long notes with the noise at every
// rate and level, CSM at periods from one frame up while other channels play and timer A is
// rewritten, envelopes at their extreme rates keyed on and off at every point, and the LFO, the
// noise and CSM changing together. The model reproduces them exactly.
TEST(Ym2151Reference, FeatureStreams) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    constexpr std::uint32_t frames = (shortStreams ? 4 : 15) * 55930;
    const std::vector<Stream> streams{
        ym2151test::connectionsDetuneStream(frames), ym2151test::lfoNoiseStream(frames),
        ym2151test::csmTimersStream(frames),         ym2151test::envelopeExtremesStream(frames),
        ym2151test::lfoNoiseCsmStream(frames),
    };
    expectExact(streams);
#endif
}

// How the noise register NFRQ 31 leaves behind was measured: noise at its
// fullest level in place of C2 of channel 7 at rate 31, then NFRQ 30 written at
// one of 48 frames. The sign of the output in frame f + 3 is bit 0 of the
// register after frame f's steps. At rate 31 (two steps a frame, as the model
// counts them) the 17 frames before the write give the model's register at the
// write; at rate 30 (one step a frame) the 17 frames after it give the register
// the chip carries on from. Over the 48 writes each bit of the latter is one
// parity of bits of the former, the same every time: the rows of
// ym2151::noiseLeavingRate31.
TEST(Ym2151Reference, NoiseLeavingRate31) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    constexpr unsigned writes = 48, seen = 17, outputDelay = 3;
    // bit0Back[k][j]: bit 0 of the register k double steps before one holding
    // only bit j.
    std::array<std::uint32_t, seen + 1> bit0Back{};
    for (unsigned j = 0; j < 17; ++j) {
        std::uint32_t r = 1u << j;
        for (unsigned k = 1; k <= seen; ++k) {
            r = noiseStepBack(noiseStepBack(r));
            bit0Back[k] |= (r & 1) << j;
        }
    }
    std::vector<std::uint32_t> before, after;
    for (unsigned w = 0; w < writes; ++w) {
        ym2151test::Stream s("noise_leaving_31");
        s.channel(7, 7, 0);
        s.op(7, 3, ym2151test::Operator{});
        s.note(7, 0x40);
        s.write(0x0F, 0x80 | 31);
        s.key(7, 8);
        s.wait(40 + w);
        const std::uint32_t written = s.length();
        s.write(0x0F, 0x80 | 30);
        s.wait(seen + outputDelay + 2);
        const std::vector<std::int16_t> out = ym2151test::runOracle(s, s.length());
        const auto bit0After = [&](std::uint32_t frame) {
            return out[2 * (frame + outputDelay)] >= 0;
        };
        std::vector<std::uint32_t> masks;
        std::vector<bool> values;
        for (unsigned k = 1; k <= seen; ++k) {
            masks.push_back(bit0Back[k]);
            values.push_back(bit0After(written - k));
        }
        const std::optional<std::uint32_t> model = solveBits(masks, values);
        ASSERT_TRUE(model.has_value()) << "write at frame " << written;
        std::uint32_t chip = 0;
        for (unsigned j = 0; j < seen; ++j)
            chip |= static_cast<std::uint32_t>(bit0After(written + seen - j)) << j;
        for (unsigned k = 0; k < seen; ++k)
            chip = noiseStepBack(chip);
        before.push_back(*model);
        after.push_back(chip);
    }
    for (unsigned bit = 0; bit < 17; ++bit) {
        std::vector<bool> values;
        for (std::uint32_t c : after)
            values.push_back(((c >> bit) & 1) != 0);
        const std::optional<std::uint32_t> row = solveBits(before, values);
        ASSERT_TRUE(row.has_value()) << "bit " << bit << " is no parity of the model's bits";
        EXPECT_EQ(*row, synth::ym2151::noiseLeavingRate31[bit]) << "bit " << bit;
    }
#endif
}

// How the LFO's noise wave was measured: the wave as AM (depth 127, AMS 3) on
// the noise (whose level shows the attenuation exactly) at NFRQ 30, where the
// noise register steps once a frame so the output's signs give its whole
// sequence. Each step's AM value, bit by bit, is the inverted noise bit
// (2 + b) / 16 of a step (modulo the period 2^17 - 1) ahead of the register
// some frames before: eight consecutive bits of the sequence counted sixteen
// times finer (lfoNoiseMasks in Ym2151.cpp). The frames between read and output
// are searched for, not assumed.
TEST(Ym2151Reference, LfoNoiseBits) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    ym2151test::Stream s("lfo_noise_bits");
    s.write(0x18, 0xF0);
    s.write(0x19, 0x7F);
    s.write(0x1B, 3);
    s.channel(7, 7, 0, 3, 0, 3);
    ym2151test::Operator o;
    o.ame = 1;
    s.op(7, 3, o);
    s.note(7, 0x40);
    s.write(0x0F, 0x80 | 30);
    s.key(7, 8);
    const std::uint32_t from = s.length() + 40;
    s.wait(1200);
    const std::vector<std::int16_t> out = ym2151test::runOracle(s, s.length());
    // The register whose bit 0 gave the sign in frame f, from the 17 frames to f.
    const auto registerAt = [&](std::uint32_t f) {
        std::uint32_t r = 0;
        for (unsigned j = 0; j < 17; ++j)
            r |= static_cast<std::uint32_t>(out[2 * (f - j)] >= 0) << j;
        return r;
    };
    // The AM value in frame f, when the level tells it unambiguously.
    const auto amAt = [&](std::uint32_t f) -> std::optional<unsigned> {
        const int v = out[2 * f];
        const int attenuation = 255 - ((v >= 0 ? v : -v - 1) + 4) / 8;
        std::optional<unsigned> am;
        for (unsigned a = 0; a < 256; ++a) {
            if (static_cast<int>((a * 127) >> 7) != attenuation) continue;
            if (am) return std::nullopt;
            am = a;
        }
        return am;
    };
    constexpr std::uint32_t sixteenth = 8192, stepFrames = 8;
    const auto bitAhead = [](std::uint32_t r, std::uint32_t steps) {
        for (std::uint32_t i = 0; i < steps; ++i)
            r = ((r << 1) | (((r >> 13) ^ (r >> 16)) & 1)) & noiseBits;
        return r & 1;
    };
    std::vector<std::pair<std::uint32_t, unsigned>> samples; // frame, AM
    for (std::uint32_t f = from; f + stepFrames < s.length() && samples.size() < 60;
         f += stepFrames)
        if (const std::optional<unsigned> am = amAt(f); am && amAt(f + 1) == am)
            samples.emplace_back(f, *am);
    ASSERT_GE(samples.size(), 40u);
    std::vector<unsigned> lags;
    for (unsigned lag = 0; lag < 2 * stepFrames; ++lag) {
        bool all = true;
        for (const auto& [f, am] : samples) {
            const std::uint32_t r = registerAt(f - lag);
            for (unsigned b = 0; b < 8 && all; ++b)
                all = ((am >> b) & 1) != bitAhead(r, sixteenth * (2 + b));
            if (!all) break;
        }
        if (all) lags.push_back(lag);
    }
    EXPECT_FALSE(lags.empty()) << "no frame whose register gives the AM values";
#endif
}

// How the noise's level was measured: noise at its fastest rate in place of
// C2 of channel 7, held at each TL in turn (attenuation 8 x TL), then released
// to full attenuation. Each level is the top 8 bits of the attenuation's
// complement times 8 (linear in the attenuation, not exponential as an
// operator's), the negative value its one's complement, and -8 when silent.
TEST(Ym2151Reference, NoiseLevel) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    ym2151test::Stream s("noise_level");
    s.channel(7, 7, 0);
    s.op(7, 3, ym2151test::Operator{});
    s.note(7, 0x40);
    s.write(0x0F, 0x80 | 31);
    s.key(7, 8);
    constexpr std::uint32_t settle = 10, hold = 40;
    std::vector<std::uint32_t> from;
    for (unsigned tl = 0; tl < 128; ++tl) {
        s.write(0x60 + 31, tl);
        from.push_back(s.length() + settle);
        s.wait(hold);
    }
    s.key(7, 0);
    s.wait(200);
    const std::uint32_t silentFrom = s.length();
    s.wait(hold);
    const std::vector<std::int16_t> out = ym2151test::runOracle(s, s.length());
    const auto levelsFrom = [&](std::uint32_t first) {
        std::set<int> levels;
        for (std::uint32_t f = first; f < first + hold - settle; ++f)
            levels.insert(out[2 * f]);
        return levels;
    };
    for (unsigned tl = 0; tl < 128; ++tl) {
        const int positive = static_cast<int>(((8 * tl) ^ 0x3FF) >> 2) << 3;
        EXPECT_EQ(levelsFrom(from[tl]),
                  (std::set<int>{ym2151test::dacLevel(positive), ym2151test::dacLevel(~positive)}))
            << "TL " << tl;
    }
    EXPECT_EQ(levelsFrom(silentFrom), (std::set<int>{0, -8}));
#endif
}

// How the phase step of a note left on an unused note code by a negative PM
// was measured: code 11 of octave 7 with MUL 15, KF 2 to 17 under the square
// wave's PM of -2, keyed on; the first frame the sine turns negative is half
// its period, 2^19 / step, and gives the step as 480 times (octave 7 is 32
// times octave 2, and MUL 15) a small value that repeats every 16 KF steps.
// The model holds these values (unusedCodeStep in Ym2151.cpp).
TEST(Ym2151Reference, UnusedNoteCodes) {
#ifndef TONRIG_HAVE_OPM_ORACLE
    GTEST_SKIP() << "needs ../shared/reference/nuked-opm (not present at configure time)";
#else
    constexpr std::array<unsigned, 16> measured{0, 2,  4,  6,  4,  6,  8,  10,
                                                9, 11, 13, 15, 15, 17, 19, 21};
    constexpr std::uint32_t halfTurn = 1u << 19, scale = 32 * 15, window = 1500;
    for (unsigned kf = 0; kf < 16; ++kf) {
        ym2151test::Stream s("unused_code");
        s.write(0x18, 0xFF);
        s.write(0x19, 0x80 | 0x01);
        s.write(0x1B, 1);
        s.channel(1, 7, 0, 3, 6, 0);
        ym2151test::Operator o;
        o.mul = 15;
        s.op(1, 3, o);
        s.note(1, 0x7B, kf + 2);
        while (s.length() < 700)
            s.wait(1);
        s.write(0x18, 0x00);
        s.key(1, 8);
        const std::uint32_t keyed = s.length();
        s.wait(window);
        const std::vector<std::int16_t> out = ym2151test::runOracle(s, s.length());
        std::uint32_t start = keyed;
        while (start < s.length() && out[2 * start + 1] == 0)
            ++start;
        std::uint32_t negative = start;
        while (negative < s.length() && out[2 * negative + 1] >= 0)
            ++negative;
        const std::uint32_t step = measured[kf] * scale;
        if (step == 0) {
            EXPECT_EQ(negative, s.length()) << "KF " << kf << " turned negative";
        } else {
            const double halfPeriod = double(halfTurn) / step;
            EXPECT_NEAR(negative - start, halfPeriod, 3.0) << "KF " << kf;
        }
    }
#endif
}

} // namespace
