// The YM2413 model against the chip's documented behaviour: the note frequency from the
// F-number and block, envelope rates, key-off, the instrument ROM, independence of instances
// and reset. Expected figures come from the chip's documentation, not from the model.
#include "synth/Ym2413.h"
#include "synth/Ym2413Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

constexpr double frameRate = 3579545.0 / 72.0;

std::vector<std::int16_t> render(synth::Ym2413& chip, std::size_t frames) {
    std::vector<std::int16_t> out(frames);
    chip.generate(out.data(), frames);
    return out;
}

// A user instrument whose modulator never sounds (attack rate 0), so the carrier plays a
// plain sine: carrier MULT, attack rate, decay rate, sustain level and release rate given.
void sineInstrument(synth::Ym2413& chip, int mult, int attack, int decay, int sustainLevel,
                    int release, bool sustained = true) {
    chip.write(0x00, 0x01);
    chip.write(0x01, static_cast<std::uint8_t>((sustained ? 0x20 : 0x00) | mult));
    chip.write(0x02, 0x3f);
    chip.write(0x03, 0x00);
    chip.write(0x04, 0x00);
    chip.write(0x05, static_cast<std::uint8_t>(attack << 4 | decay));
    chip.write(0x06, 0xff);
    chip.write(0x07, static_cast<std::uint8_t>(sustainLevel << 4 | release));
}

void keyOn(synth::Ym2413& chip, int ch, int fNumber, int block, int instrument = 0,
           bool sustain = false) {
    chip.write(static_cast<std::uint8_t>(0x10 + ch), static_cast<std::uint8_t>(fNumber & 0xff));
    chip.write(static_cast<std::uint8_t>(0x30 + ch), static_cast<std::uint8_t>(instrument << 4));
    chip.write(static_cast<std::uint8_t>(0x20 + ch),
               static_cast<std::uint8_t>((sustain ? 0x20 : 0) | 0x10 | block << 1 | fNumber >> 8));
}

void keyOff(synth::Ym2413& chip, int ch, int fNumber, int block, bool sustain = false) {
    chip.write(static_cast<std::uint8_t>(0x20 + ch),
               static_cast<std::uint8_t>((sustain ? 0x20 : 0) | block << 1 | fNumber >> 8));
}

// Frequency from the rising zero crossings between the first and the last one.
double measuredFrequency(const std::vector<std::int16_t>& s) {
    int first = -1;
    int last = -1;
    int count = 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0) first = static_cast<int>(i);
            last = static_cast<int>(i);
            ++count;
        }
    }
    return count < 2 ? 0.0 : (count - 1) * frameRate / (last - first);
}

// The largest value within each window of the given length (positive half-waves only: the
// pins put a negative value four steps further from rest).
std::vector<int> peaks(const std::vector<std::int16_t>& s, std::size_t window) {
    std::vector<int> out;
    for (std::size_t i = 0; i + window <= s.size(); i += window) {
        int peak = 0;
        for (std::size_t j = i; j < i + window; ++j)
            peak = std::max(peak, int(s[j]));
        out.push_back(peak);
    }
    return out;
}

bool silent(const std::vector<std::int16_t>& s) {
    return std::all_of(s.begin(), s.end(), [](std::int16_t v) { return v == 0; });
}

// Datasheet: f = F-number x fsam x 2^(block - 1) / 2^18, times the operator's multiplier
// (MULT 0 is one half), fsam = clock / 72.
TEST(Ym2413, NoteFrequencyFollowsFNumberAndBlock) {
    struct Case {
        int fNumber, block, mult;
        double multiplier;
    };
    for (const Case c : {Case{0x120, 4, 1, 1.0}, Case{0x1ff, 2, 1, 1.0}, Case{0x0ab, 6, 1, 1.0},
                         Case{0x100, 3, 0, 0.5}, Case{0x100, 3, 2, 2.0}, Case{0x0c0, 2, 12, 12.0},
                         Case{0x181, 1, 15, 15.0}}) {
        synth::Ym2413 chip;
        sineInstrument(chip, c.mult, 15, 0, 0, 0);
        keyOn(chip, 0, c.fNumber, c.block);
        const double expected =
            c.fNumber * frameRate * std::exp2(c.block - 1) / (1 << 18) * c.multiplier;
        const double got = measuredFrequency(render(chip, 25000));
        EXPECT_NEAR(got, expected, expected * 0.002 + 1.0)
            << "F-number " << c.fNumber << " block " << c.block << " MULT " << c.mult;
    }
}

// The envelope moves in 0.375 dB steps; at rate R (key scaling 0) it takes one step every
// 2^(14 - R) frames, twice as fast for each step of R. Measured as the fall of the sine's
// peaks from -6 dB to -30 dB during the decay.
TEST(Ym2413, DecayRateFollowsTheRateLaw) {
    for (int rate : {6, 8, 10}) {
        synth::Ym2413 chip;
        sineInstrument(chip, 15, 15, rate, 15, 0);
        keyOn(chip, 0, 0x100, 1);
        const std::size_t window = 70; // a little over one period of the 728 Hz tone
        const std::vector<int> p = peaks(render(chip, 40000), window);
        const int full = p.front();
        auto crossing = [&](double dB) {
            const double level = full * std::pow(10.0, -dB / 20);
            for (std::size_t i = 0; i < p.size(); ++i)
                if (p[i] < level) return double(i * window);
            return double(p.size() * window);
        };
        const double seconds = (crossing(30) - crossing(6)) / frameRate;
        const double expectedDbPerSecond = 0.375 * frameRate / std::exp2(14 - rate);
        EXPECT_NEAR(24 / seconds, expectedDbPerSecond, expectedDbPerSecond * 0.1)
            << "rate " << rate;
    }
}

// Attack rate 15 reaches full level at once; a slow attack takes time to get there.
TEST(Ym2413, AttackRates) {
    synth::Ym2413 fast;
    sineInstrument(fast, 4, 15, 0, 0, 0);
    keyOn(fast, 0, 0x100, 5);
    const std::vector<int> f = peaks(render(fast, 400), 20);
    EXPECT_GE(*std::max_element(f.begin(), f.begin() + 3), 250);

    synth::Ym2413 slow;
    sineInstrument(slow, 4, 6, 0, 0, 0);
    keyOn(slow, 0, 0x100, 5);
    const std::vector<int> s = peaks(render(slow, 20000), 20);
    EXPECT_LT(s[2], 128);
    EXPECT_GE(*std::max_element(s.begin(), s.end()), 250);
}

// Key off releases a sustained voice at its release rate; with SUS set a percussive voice
// releases at rate 5 instead of 7, more slowly; the note stays while the key is held.
TEST(Ym2413, KeyOffReleases) {
    synth::Ym2413 chip;
    sineInstrument(chip, 4, 15, 0, 0, 10);
    keyOn(chip, 0, 0x100, 5);
    const std::vector<int> held = peaks(render(chip, 5000), 100);
    EXPECT_GE(*std::min_element(held.begin(), held.end()), 250);
    keyOff(chip, 0, 0x100, 5);
    render(chip, 127 * 16 + 200); // rate 10: one step per 16 frames, 127 steps to silence
    EXPECT_TRUE(silent(render(chip, 1000)));

    auto releaseFrames = [](bool sustain) {
        synth::Ym2413 c;
        sineInstrument(c, 4, 15, 0, 0, 0, false);
        keyOn(c, 0, 0x100, 1, 0, sustain);
        render(c, 100);
        keyOff(c, 0, 0x100, 1, sustain);
        const std::vector<std::int16_t> tail = render(c, 300000);
        std::size_t last = 0;
        for (std::size_t i = 0; i < tail.size(); ++i)
            if (tail[i] != 0) last = i;
        return double(last);
    };
    const double withoutSus = releaseFrames(false);
    const double withSus = releaseFrames(true);
    EXPECT_NEAR(withSus / withoutSus, 4.0, 0.6); // rate 5 against rate 7
}

// Every ROM instrument sounds, and each sounds different from every other.
TEST(Ym2413, EachInstrumentIsDistinct) {
    std::vector<std::vector<std::int16_t>> voices;
    for (int inst = 1; inst <= 15; ++inst) {
        synth::Ym2413 chip;
        keyOn(chip, 0, 0x120, 4, inst);
        voices.push_back(render(chip, 8000));
        EXPECT_FALSE(silent(voices.back())) << "instrument " << inst;
    }
    for (std::size_t a = 0; a < voices.size(); ++a) {
        for (std::size_t b = a + 1; b < voices.size(); ++b) {
            double difference = 0;
            double power = 0;
            for (std::size_t i = 0; i < voices[a].size(); ++i) {
                const double d = voices[a][i] - voices[b][i];
                difference += d * d;
                power += double(voices[a][i]) * voices[a][i] + double(voices[b][i]) * voices[b][i];
            }
            EXPECT_GT(difference, 0.1 * power) << "instruments " << a + 1 << " and " << b + 1;
        }
    }
}

// Rhythm mode: each drum bit sounds only with rhythm mode on; off, they are silent.
TEST(Ym2413, RhythmDrumsSoundInRhythmModeOnly) {
    for (int bit = 0; bit < 5; ++bit) {
        synth::Ym2413 chip;
        for (int ch = 6; ch < 9; ++ch) {
            chip.write(static_cast<std::uint8_t>(0x10 + ch), 0x80);
            chip.write(static_cast<std::uint8_t>(0x20 + ch), 0x06);
        }
        chip.write(0x0e, static_cast<std::uint8_t>(1 << bit));
        EXPECT_TRUE(silent(render(chip, 2000))) << "drum " << bit << " without rhythm mode";
        chip.write(0x0e, static_cast<std::uint8_t>(0x20));
        render(chip, 10);
        chip.write(0x0e, static_cast<std::uint8_t>(0x20 | 1 << bit));
        EXPECT_FALSE(silent(render(chip, 2000))) << "drum " << bit;
    }
}

// Two chips share nothing: one playing leaves the other silent, and a chip plays the same
// whether or not another one runs beside it.
TEST(Ym2413, InstancesAreIndependent) {
    synth::Ym2413 alone;
    keyOn(alone, 0, 0x150, 4, 7);
    const std::vector<std::int16_t> reference = render(alone, 3000);

    synth::Ym2413 a;
    synth::Ym2413 b;
    keyOn(a, 0, 0x150, 4, 7);
    keyOn(b, 5, 0x0d0, 5, 11);
    std::vector<std::int16_t> fromA;
    std::vector<std::int16_t> fromB;
    for (int block = 0; block < 30; ++block) {
        const auto x = render(a, 100);
        const auto y = render(b, 100);
        fromA.insert(fromA.end(), x.begin(), x.end());
        fromB.insert(fromB.end(), y.begin(), y.end());
    }
    EXPECT_EQ(fromA, reference);
    EXPECT_FALSE(silent(fromB));

    synth::Ym2413 quiet;
    keyOn(a, 1, 0x100, 3, 2);
    EXPECT_TRUE(silent(render(quiet, 1000)));
}

// Reset, as the IC pin: every register 0 and all keys off, the output silent at once and
// the chip then plays exactly as a new one.
TEST(Ym2413, ResetSilencesAndRestarts) {
    synth::Ym2413 chip;
    for (int ch = 0; ch < 9; ++ch)
        keyOn(chip, ch, 0x100 + ch * 20, 4, ch + 1);
    EXPECT_FALSE(silent(render(chip, 1000)));
    chip.reset();
    EXPECT_TRUE(silent(render(chip, 2000)));

    synth::Ym2413 fresh;
    chip.reset();
    keyOn(chip, 2, 0x133, 5, 4);
    keyOn(fresh, 2, 0x133, 5, 4);
    EXPECT_EQ(render(chip, 4000), render(fresh, 4000));
}

} // namespace
