// The YM2151 model against the chip's documented behaviour: note frequencies
// from the key code table, envelope rates doubling every four steps, key-off
// release, the DAC's floating-point format and its clipping, the LFO and timer
// periods, noise, and the independence and reset of instances; and that the
// frames without writes, which take a shorter way through the slots, sound as
// the frames with them.
#include "synth/Ym2151.h"
#include "Ym2151Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t clockHz = 3580000;
constexpr double frameRate = clockHz / 64.0;

struct Voice {
    unsigned mul = 1, tl = 0, ar = 31, d1r = 0, d1l = 0, d2r = 0, rr = 15, dt2 = 0, ame = 0;
};

// Channel ch as one operator (C2) on connection 7, both outputs on.
void setUpSine(synth::Ym2151& chip, unsigned ch, const Voice& v, unsigned pmsAms = 0) {
    const unsigned c2 = 24 + ch;
    chip.write(0x20 + ch, 0xC7);
    chip.write(0x38 + ch, pmsAms);
    chip.write(0x40 + c2, v.mul);
    chip.write(0x60 + c2, v.tl);
    chip.write(0x80 + c2, v.ar);
    chip.write(0xA0 + c2, (v.ame << 7) | v.d1r);
    chip.write(0xC0 + c2, (v.dt2 << 6) | v.d2r);
    chip.write(0xE0 + c2, (v.d1l << 4) | v.rr);
}

std::vector<std::int16_t> render(synth::Ym2151& chip, std::size_t frames) {
    std::vector<std::int16_t> out(frames * 2);
    chip.generate(out.data(), frames);
    return out;
}

std::vector<double> left(const std::vector<std::int16_t>& lr) {
    std::vector<double> l(lr.size() / 2);
    for (std::size_t i = 0; i < l.size(); ++i)
        l[i] = lr[2 * i];
    return l;
}

// Frequency from the rising zero crossings, interpolated between frames.
double measureFrequency(const std::vector<double>& s) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double t = (i - 1) + (-s[i - 1]) / (s[i] - s[i - 1]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) / (last - first) * frameRate;
}

// The datasheet's note: key code 0x4A (octave 4, A) is 440 Hz from 3.58 MHz;
// 12 notes per octave in the codes 0-2, 4-6, 8-10, 12-14 from C#, KF in 64ths.
double datasheetFrequency(unsigned kc, unsigned kf) {
    const unsigned note = kc & 15;
    const double semitones = 12.0 * ((kc >> 4) - 4.0) + (note - (note >> 2)) - 8.0 + kf / 64.0;
    return 440.0 * std::pow(2.0, semitones / 12.0);
}

double peak(const std::vector<double>& s, std::size_t from, std::size_t to) {
    double p = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i)
        p = std::max(p, std::abs(s[i]));
    return p;
}

// Frames until the peak over a sliding 64-frame window falls below level.
std::size_t framesUntilBelow(const std::vector<double>& s, double level) {
    for (std::size_t i = 0; i + 64 <= s.size(); i += 16) {
        if (peak(s, i, i + 64) < level) return i;
    }
    return s.size();
}

TEST(Ym2151Pitch, KeyCodesAndFractionsSoundAtTheDatasheetFrequency) {
    for (const auto& [kc, kf] : std::vector<std::pair<unsigned, unsigned>>{
             {0x4A, 0}, {0x4A, 32}, {0x20, 0}, {0x35, 17}, {0x4E, 63}, {0x52, 5}, {0x69, 40}}) {
        synth::Ym2151 chip(clockHz);
        setUpSine(chip, 2, Voice{});
        chip.write(0x28 + 2, kc);
        chip.write(0x30 + 2, kf << 2);
        chip.write(0x08, 0x40 | 2);
        const double measured = measureFrequency(left(render(chip, 40000)));
        const double expected = datasheetFrequency(kc, kf);
        // The chip's table is within a few cents of the exact curve.
        EXPECT_NEAR(measured / expected, 1.0, 0.003) << "KC " << kc << " KF " << kf;
    }
}

TEST(Ym2151Pitch, MultipleAndCoarseDetuneScaleTheNote) {
    const auto frequencyWith = [](const Voice& v) {
        synth::Ym2151 chip(clockHz);
        setUpSine(chip, 0, v);
        chip.write(0x28, 0x3A);
        chip.write(0x08, 0x40);
        return measureFrequency(left(render(chip, 30000)));
    };
    const double base = frequencyWith(Voice{});
    EXPECT_NEAR(base, 220.0, 0.5);
    Voice half;
    half.mul = 0;
    EXPECT_NEAR(frequencyWith(half) / base, 0.5, 0.002);
    Voice times5;
    times5.mul = 5;
    EXPECT_NEAR(frequencyWith(times5) / base, 5.0, 0.01);
    // DT2: +600, +781 and +950 cents.
    for (const auto& [dt2, cents] :
         std::vector<std::pair<unsigned, double>>{{1, 600}, {2, 781}, {3, 950}}) {
        Voice v;
        v.dt2 = dt2;
        EXPECT_NEAR(1200.0 * std::log2(frequencyWith(v) / base), cents, 4.0) << "DT2 " << dt2;
    }
}

TEST(Ym2151Envelope, AttackRate31IsInstantAndKeyOffReleases) {
    synth::Ym2151 chip(clockHz);
    Voice v;
    v.rr = 10;
    setUpSine(chip, 1, v);
    chip.write(0x29, 0x4A);
    chip.write(0x08, 0x40 | 1);
    const auto on = left(render(chip, 400));
    // A full-level sine from the first period on: the operator's 13-bit peak.
    EXPECT_GT(peak(on, 0, 200), 8000);
    chip.write(0x08, 1);
    const auto off = left(render(chip, 8000));
    EXPECT_GT(peak(off, 0, 64), 6000);
    EXPECT_EQ(peak(off, 6000, 8000), 0) << "a released note must fall silent";
}

// The chip takes a write at most every frame, so that an AR written just
// before the key-on has reached the slot when the key-on does; a burst of
// writes that the model takes between two frames sounds the same on every slot.
TEST(Ym2151Envelope, AttackRate31WrittenJustBeforeTheKeyOnIsInstantOnEverySlot) {
    for (unsigned slot = 0; slot < 32; ++slot) {
        synth::Ym2151 chip(clockHz);
        const unsigned ch = slot & 7;
        constexpr unsigned keyBitOfRole[4] = {1, 4, 2, 8}; // M1, M2, C1, C2
        chip.write(0x20 + ch, 0xC7);
        chip.write(0x28 + ch, 0x4A);
        chip.write(0x40 + slot, 0x01);
        chip.write(0x80 + slot, 0x1F);
        chip.write(0x08, keyBitOfRole[slot / 8] << 3 | ch);
        EXPECT_GT(peak(left(render(chip, 400)), 0, 200), 8000) << "slot " << slot;
    }
}

TEST(Ym2151Envelope, DecayTimeHalvesEveryFourRateSteps) {
    // D1R = r gives rate 2r; from 0 to -48 dB takes half the levels of the
    // 10-bit attenuation, and four rate steps (two of D1R) double the speed.
    const auto decayFrames = [](unsigned d1r) {
        synth::Ym2151 chip(clockHz);
        Voice v;
        v.d1r = d1r;
        v.d1l = 15;
        setUpSine(chip, 0, v);
        chip.write(0x28, 0x4A);
        chip.write(0x08, 0x40);
        return framesUntilBelow(left(render(chip, 30000)), 8168.0 / 256.0);
    };
    const double t20 = decayFrames(20), t22 = decayFrames(22), t24 = decayFrames(24);
    EXPECT_NEAR(t20 / t22, 2.0, 0.1);
    EXPECT_NEAR(t22 / t24, 2.0, 0.1);
    // With key scaling 0 the rate gains key code / 8 (0x4A: 18 / 8 = 2), so
    // D1R 24 is rate 50: steps of one and two levels (0.09375 dB each) by turns
    // every envelope clock of three frames, 512 levels to -48 dB in 1024 frames.
    EXPECT_NEAR(t24, 1024, 48);
}

TEST(Ym2151Envelope, ReleaseRateDoublesPerStep) {
    const auto releaseFrames = [](unsigned rr) {
        synth::Ym2151 chip(clockHz);
        Voice v;
        v.rr = rr;
        setUpSine(chip, 0, v);
        chip.write(0x28, 0x4A);
        chip.write(0x08, 0x40);
        render(chip, 100);
        chip.write(0x08, 0x00);
        return framesUntilBelow(left(render(chip, 30000)), 8168.0 / 256.0);
    };
    EXPECT_NEAR(static_cast<double>(releaseFrames(8)) / releaseFrames(9), 2.0, 0.1);
    EXPECT_NEAR(static_cast<double>(releaseFrames(9)) / releaseFrames(10), 2.0, 0.1);
}

// Every value the DAC produces is ((m - 512) << e) >> 1 for some 10-bit m and
// 3-bit e: the resolution is 1 below 512 in size and coarser above.
bool representable(int v) {
    for (int e = 0; e < 8; ++e) {
        for (int m = 0; m < 1024; ++m) {
            if (((m - 512) * (1 << e)) >> 1 == v) return true;
        }
    }
    return false;
}

TEST(Ym2151Dac, OutputValuesAreDacCodesAndLoudSumsClip) {
    synth::Ym2151 chip(clockHz);
    // All eight channels, four carriers each, on the same note: far beyond
    // 16 bits before the DAC, so the output clips at the format's ends.
    for (unsigned ch = 0; ch < 8; ++ch) {
        chip.write(0x20 + ch, 0xC7);
        for (unsigned role = 0; role < 4; ++role) {
            const unsigned s = role * 8 + ch;
            chip.write(0x40 + s, 1);
            chip.write(0x60 + s, 0);
            chip.write(0x80 + s, 31);
            chip.write(0xE0 + s, 0x0F);
        }
        chip.write(0x28 + ch, 0x30);
        chip.write(0x08, 0x78 | ch);
    }
    const auto loud = render(chip, 3000);
    std::vector<bool> seen(65536, false);
    for (const std::int16_t v : loud)
        seen[static_cast<std::uint16_t>(v)] = true;
    for (int v = -32768; v < 32768; ++v) {
        if (seen[static_cast<std::uint16_t>(v)]) {
            EXPECT_TRUE(representable(v)) << v;
        }
    }
    EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 511 * 64);
    EXPECT_EQ(*std::min_element(loud.begin(), loud.end()), -512 * 64);

    // A quiet sine keeps every step of its values.
    synth::Ym2151 quiet(clockHz);
    Voice v;
    v.tl = 40; // -30 dB: a peak near 258
    setUpSine(quiet, 0, v);
    quiet.write(0x28, 0x20);
    quiet.write(0x08, 0x40);
    const auto small = left(render(quiet, 4000));
    std::vector<bool> values(1024, false);
    for (const double s : small)
        values[static_cast<std::size_t>(s + 512)] = true;
    EXPECT_GT(std::count(values.begin(), values.end(), true), 300);
}

TEST(Ym2151Lfo, AmSquareAtFullRateHasTheDatasheetPeriod) {
    // LFRQ 0xFF is 52.9 Hz from 3.58 MHz.
    synth::Ym2151 chip(clockHz);
    chip.write(0x18, 0xFF);
    chip.write(0x19, 0x7F);
    chip.write(0x1B, 0x01);
    Voice v;
    v.ame = 1;
    setUpSine(chip, 0, v, 0x03);
    chip.write(0x28, 0x6A); // a high note, so that one period's peak shows the level
    chip.write(0x08, 0x40);
    const auto s = left(render(chip, 20000));
    // The loud half and the quiet half of the square alternate: count the
    // changes of the per-16-frame peak between them.
    std::vector<double> level;
    for (std::size_t i = 0; i + 16 <= s.size(); i += 16)
        level.push_back(peak(s, i, i + 16) > 1000 ? 1 : -1);
    double first = -1, last = -1;
    int rises = 0;
    for (std::size_t i = 1; i < level.size(); ++i) {
        if (level[i - 1] < 0 && level[i] > 0) {
            if (first < 0) first = static_cast<double>(i);
            last = static_cast<double>(i);
            ++rises;
        }
    }
    ASSERT_GE(rises, 10);
    const double hz = (rises - 1) / ((last - first) * 16.0) * frameRate;
    EXPECT_NEAR(hz, 52.9, 1.0);
}

TEST(Ym2151Lfo, PmWidensThePitchBySensitivity) {
    // A square PM at full depth moves the note up and down by PMS's range:
    // PMS 6 is +-400 cents on the datasheet.
    synth::Ym2151 chip(clockHz);
    chip.write(0x18, 0xC0); // 64 frames a step: a period of 16384 frames
    chip.write(0x19, 0x80 | 0x7F);
    chip.write(0x1B, 0x01);
    setUpSine(chip, 0, Voice{}, 0x60);
    chip.write(0x28, 0x4A);
    chip.write(0x08, 0x40);
    const auto s = left(render(chip, 60000));
    // Frequency over short windows: the highest and lowest ones.
    double high = 0, low = 1e9;
    for (std::size_t i = 0; i + 2000 <= s.size(); i += 2000) {
        const double f = measureFrequency(std::vector<double>(s.begin() + i, s.begin() + i + 2000));
        high = std::max(high, f);
        low = std::min(low, f);
    }
    EXPECT_NEAR(1200.0 * std::log2(high / 440.0), 400, 15);
    EXPECT_NEAR(1200.0 * std::log2(low / 440.0), -400, 15);
}

TEST(Ym2151Noise, NoiseReplacesChannel7sLastOperatorAndFollowsNfrq) {
    const auto crossingsWith = [](unsigned nfrq) {
        synth::Ym2151 chip(clockHz);
        setUpSine(chip, 7, Voice{});
        chip.write(0x2F, 0x20); // a low note: few crossings of its own
        chip.write(0x0F, 0x80 | nfrq);
        chip.write(0x08, 0x40 | 7);
        const auto s = left(render(chip, 20000));
        int crossings = 0;
        for (std::size_t i = 1; i < s.size(); ++i)
            crossings += (s[i - 1] < 0) != (s[i] < 0);
        return crossings;
    };
    const int slow = crossingsWith(0), mid = crossingsWith(16), fast = crossingsWith(31);
    EXPECT_LT(slow, mid);
    EXPECT_LT(mid, fast);
    // A 65 Hz sine crosses about 2 * 65 * 20000 / 55937 = 46 times.
    EXPECT_GT(slow, 200);
}

TEST(Ym2151Timer, CsmKeysAllSlotsAtEachTimerAOverflow) {
    synth::Ym2151 chip(clockHz);
    Voice v;
    v.d1r = 31;
    v.d1l = 15;
    v.d2r = 31;
    v.rr = 15;
    setUpSine(chip, 3, v);
    chip.write(0x2B, 0x6A);
    chip.write(0x10, 0xE0); // CLKA = 0x380: 1024 - 896 = 128 frames
    chip.write(0x11, 0x00);
    chip.write(0x14, 0x81);
    const auto s = left(render(chip, 1300));
    // Each overflow gives a short burst; the load itself overflows the timer
    // (a few frames on), and the period counts from there. A burst starts
    // where the level rises after 32 quiet frames.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::abs(s[i]) > 2000 && peak(s, i < 32 ? 0 : i - 32, i) <= 2000) starts.push_back(i);
    ASSERT_GE(starts.size(), 10u);
    EXPECT_LT(starts[0], 8u);
    for (std::size_t i = 1; i < starts.size(); ++i)
        EXPECT_EQ(starts[i] - starts[i - 1], 128u);
}

TEST(Ym2151Instances, TwoChipsShareNothingAndResetSilences) {
    synth::Ym2151 a(clockHz), b(clockHz), alone(clockHz);
    for (synth::Ym2151* chip : {&a, &alone}) {
        setUpSine(*chip, 0, Voice{});
        chip->write(0x28, 0x4A);
        chip->write(0x08, 0x40);
    }
    std::vector<std::int16_t> fromA, fromB, fromAlone;
    for (int block = 0; block < 20; ++block) {
        const auto x = render(a, 100), y = render(b, 37), z = render(alone, 100);
        fromA.insert(fromA.end(), x.begin(), x.end());
        fromB.insert(fromB.end(), y.begin(), y.end());
        fromAlone.insert(fromAlone.end(), z.begin(), z.end());
    }
    EXPECT_EQ(fromA, fromAlone);
    EXPECT_TRUE(std::all_of(fromB.begin(), fromB.end(), [](std::int16_t v) { return v == 0; }));

    a.reset();
    const auto afterReset = render(a, 2000);
    EXPECT_TRUE(
        std::all_of(afterReset.begin(), afterReset.end(), [](std::int16_t v) { return v == 0; }));
    // And a reset chip plays as a new one.
    synth::Ym2151 fresh(clockHz);
    for (synth::Ym2151* chip : {&a, &fresh}) {
        setUpSine(*chip, 5, Voice{});
        chip->write(0x2D, 0x31);
        chip->write(0x08, 0x40 | 5);
    }
    EXPECT_EQ(render(a, 3000), render(fresh, 3000));
}

// A burst of writes between two frames (a song's start-up dump) takes each
// one up at its own point in the pipeline, in order: a re-key (key-off, then
// key-on) followed by hundreds of writes sounds as the re-key alone, and of
// many writes to one register the last one stays.
TEST(Ym2151Writes, ABurstKeepsEachWritesOrderAndTiming) {
    synth::Ym2151 burst(clockHz), plain(clockHz);
    for (synth::Ym2151* chip : {&burst, &plain}) {
        setUpSine(*chip, 0, Voice{});
        chip->write(0x28, 0x4A);
        chip->write(0x08, 0x40);
        render(*chip, 100);
        chip->write(0x08, 0x00);
        chip->write(0x08, 0x40);
    }
    for (unsigned i = 0; i < 150; ++i)
        burst.write(0x28, 0x20 + (i % 0x50));
    burst.write(0x28, 0x3A);
    constexpr unsigned silentChannel = 3;
    for (unsigned i = 0; i < 100; ++i)
        burst.write(0x60 + 8 * (i % 4) + silentChannel, i);
    plain.write(0x28, 0x3A);
    EXPECT_EQ(render(burst, 400), render(plain, 400));
}

// A frame without a write or a key takes a shorter way through the slots (each
// slot's PM, step, attack rate and key taken once before them, and only when
// they may have moved); a write to an unused register before every frame sends
// every frame the long way, taking each of them up at its slot. The two must
// sound the same: random streams with notes, keys and voices changing under the
// LFO's AM and PM, the noise and CSM, and one without the LFO.
TEST(Ym2151Writes, FramesWithoutWritesSoundAsFramesWithThem) {
    constexpr std::uint32_t frames = 30000;
    constexpr std::uint8_t unusedRegister = 0x02;
    for (std::uint32_t seed : {11u, 12u, 13u}) {
        ym2151test::RandomFeatures features;
        features.lfo = seed != 13;
        const ym2151test::Stream stream =
            ym2151test::randomStream("quiet_frames", seed, frames, features);
        synth::Ym2151 quiet(clockHz), written(clockHz);
        std::vector<std::int16_t> fromQuiet(2 * frames), fromWritten(2 * frames);
        std::size_t next = 0;
        for (std::uint32_t frame = 0; frame < frames; ++frame) {
            for (; next < stream.writes().size() && stream.writes()[next].frame == frame; ++next) {
                const ym2151test::TimedWrite& w = stream.writes()[next];
                quiet.write(w.address, w.data);
                written.write(w.address, w.data);
            }
            written.write(unusedRegister, 0);
            quiet.generate(&fromQuiet[2 * frame], 1);
            written.generate(&fromWritten[2 * frame], 1);
        }
        EXPECT_EQ(fromQuiet, fromWritten) << "seed " << seed;
        EXPECT_TRUE(
            std::any_of(fromQuiet.begin(), fromQuiet.end(), [](std::int16_t v) { return v != 0; }));
    }
}

} // namespace
