// The SN76489 on an SSG, measured: the same bytes rendered through the
// reference SN76489 emulator (../shared/reference/emu76489, driven through
// its header's functions) and, converted, through our SSG (synth/Ssg), and
// per note the pitch, the onset and the level compared. Bounds: pitch within
// 0.5 % where the SSG's period can get that close (periods of 100 and up, at
// a 2 MHz SSG up to 1250 Hz), above that within half a step of the SSG's
// period; onset within 2 ms for notes of 250 Hz and up (a square wave may
// start on its low half, up to half a period late; the note's period is set
// before the gap that precedes it, since the SN76489 takes a new period only
// at the end of the half wave under way and the SSG at once); levels relative
// to the loudest within 1.5 dB, the white noise's level likewise. Skips
// without ../shared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "../synth/ToneAnalysis.h"
#include "TimedRender.h"
#include "convert/Sn76489ToSsg.h"
#include "synth/Ssg.h"

#ifdef TONRIG_HAVE_SN76489_ORACLE
extern "C" {
#include "emu76489.h"
}
#endif

namespace convert {
namespace {

using Sn = synth::Sn76489Registers;

constexpr std::uint32_t snClock = 3579545;
constexpr std::uint32_t ssgClock = 2000000;
// The oracle renders one sample per 16 clocks, our SSG one frame per 8.
constexpr double oracleRate = snClock / 16.0;
constexpr double ssgRate = ssgClock / static_cast<double>(synth::Ssg::clocksPerFrame);

using testing::onset;
using testing::part;
using testing::renderTimed;
using testing::TimedWrite;

// Bytes of a song, in time order.
class Score {
public:
    void at(double seconds, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t byte : bytes)
            bytes_.push_back({seconds, 0, byte});
    }
    void tone(double seconds, unsigned ch, unsigned period, unsigned attenuation) {
        at(seconds, {Sn::latchByte(ch, false, period & 0xF), Sn::dataByte(period >> 4),
                     Sn::latchByte(ch, true, attenuation)});
    }
    void off(double seconds, unsigned ch) { at(seconds, {Sn::latchByte(ch, true, 15)}); }
    const std::vector<TimedWrite>& bytes() const { return bytes_; }

private:
    std::vector<TimedWrite> bytes_;
};

// The converted bytes through our SSG.
std::vector<double> renderConverted(const Score& score, double seconds) {
    synth::Ssg ssg;
    Sn76489ToSsg convert({snClock, 16, false}, ssgClock,
                         [&](std::uint16_t address, std::uint8_t data) {
                             ssg.write(static_cast<std::uint8_t>(address), data);
                         });
    return renderTimed(
        score.bytes(), ssgRate, seconds,
        [&](std::uint16_t, std::uint8_t byte) { convert.write(byte); },
        [&] {
            std::int16_t value;
            ssg.generate(&value, 1);
            return static_cast<double>(value);
        });
}

#ifdef TONRIG_HAVE_SN76489_ORACLE
std::vector<double> renderOracle(const Score& score, double seconds) {
    SNG* chip = SNG_new(snClock, static_cast<std::uint32_t>(oracleRate));
    SNG_set_quality(chip, 0);
    SNG_reset(chip);
    for (std::uint8_t ch = 0; ch < 4; ++ch)
        SNG_writeIO(chip, Sn::latchByte(ch, true, 15));
    std::vector<double> out = renderTimed(
        score.bytes(), oracleRate, seconds,
        [&](std::uint16_t, std::uint8_t byte) { SNG_writeIO(chip, byte); },
        [&] { return static_cast<double>(SNG_calc(chip)); });
    SNG_delete(chip);
    return out;
}
#endif

double rmsDecibels(const std::vector<double>& samples) {
    double mean = 0, sum = 0;
    for (double s : samples)
        mean += s;
    mean /= samples.size();
    for (double s : samples)
        sum += (s - mean) * (s - mean);
    return 10 * std::log10(sum / samples.size());
}

struct Both {
    std::vector<double> oracle, ours;
};

class Sn76489Oracle : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef TONRIG_HAVE_SN76489_ORACLE
        GTEST_SKIP() << "../shared/reference/emu76489 is absent: the SN76489 conversion is not "
                        "measured";
#endif
    }
    static Both render(const Score& score, double seconds) {
#ifdef TONRIG_HAVE_SN76489_ORACLE
        return {renderOracle(score, seconds), renderConverted(score, seconds)};
#else
        return {{}, renderConverted(score, seconds)};
#endif
    }
};

constexpr double noteSeconds = 0.2;
constexpr double gapSeconds = 0.05;

TEST_F(Sn76489Oracle, TonesKeepTheirPitchAndOnset) {
    const unsigned periods[] = {1017, 700, 508, 356, 254, 160, 127, 90, 64, 38};
    Score score;
    double t = 0.01;
    for (unsigned i = 0; i < std::size(periods); ++i, t += noteSeconds + gapSeconds) {
        score.tone(t - gapSeconds / 2, i % 3, periods[i], 15);
        score.at(t, {Sn::latchByte(i % 3, true, 0)});
        score.off(t + noteSeconds, i % 3);
    }
    const Both both = render(score, t);
    double worstPitch = 0, worstOnset = 0;
    t = 0.01;
    for (unsigned period : periods) {
        const double hz = snClock / 32.0 / period;
        const double from = t + 0.02, to = t + noteSeconds - 0.01;
        const double oracleHz =
            toneanalysis::peakNear(part(both.oracle, oracleRate, from, to), oracleRate, hz, 0.02);
        const double ourHz =
            toneanalysis::peakNear(part(both.ours, ssgRate, from, to), ssgRate, hz, 0.02);
        const double pitchError = std::abs(ourHz / oracleHz - 1);
        const double ssgPeriod = ssgRate / (2 * hz);
        const double bound = ssgPeriod >= 100 ? 0.005 : 0.5 / ssgPeriod + 0.0005;
        EXPECT_LT(pitchError, bound) << "period " << period << ": " << oracleHz << " Hz on the "
                                     << "original, " << ourHz << " Hz converted";
        if (ssgPeriod >= 100) worstPitch = std::max(worstPitch, pitchError);
        if (hz >= 250) {
            const double onsetError =
                std::abs(onset(both.ours, ssgRate, t, 0) - onset(both.oracle, oracleRate, t, 0));
            EXPECT_LT(onsetError, 0.002) << "period " << period;
            worstOnset = std::max(worstOnset, onsetError);
        }
        t += noteSeconds + gapSeconds;
    }
    std::printf("SN76489 -> SSG: pitch within %.3f %% (SSG periods of 100 and up), onset "
                "within %.2f ms (250 Hz and up)\n",
                100 * worstPitch, 1000 * worstOnset);
}

TEST_F(Sn76489Oracle, LevelsFollowTheAttenuation) {
    constexpr unsigned period = 254;
    const double hz = snClock / 32.0 / period;
    Score score;
    double t = 0.01;
    for (unsigned attenuation = 0; attenuation < 15; ++attenuation, t += noteSeconds) {
        score.tone(t, 1, period, attenuation);
        score.off(t + noteSeconds - gapSeconds, 1);
    }
    const Both both = render(score, t);
    auto levelAt = [&](const std::vector<double>& samples, double rate, double start) {
        return toneanalysis::decibels(
            toneanalysis::amplitudeAt(part(samples, rate, start + 0.02, start + 0.14), rate, hz));
    };
    const double oracleLoudest = levelAt(both.oracle, oracleRate, 0.01);
    const double ourLoudest = levelAt(both.ours, ssgRate, 0.01);
    double worst = 0;
    t = 0.01;
    for (unsigned attenuation = 0; attenuation < 15; ++attenuation, t += noteSeconds) {
        const double oracle = levelAt(both.oracle, oracleRate, t) - oracleLoudest;
        const double ours = levelAt(both.ours, ssgRate, t) - ourLoudest;
        EXPECT_NEAR(ours, oracle, 1.5) << "attenuation " << attenuation;
        worst = std::max(worst, std::abs(ours - oracle));
    }
    std::printf("SN76489 -> SSG: tone levels within %.2f dB\n", worst);
}

TEST_F(Sn76489Oracle, PeriodicNoiseKeepsItsPitch) {
    // Rates 0-2, then rate 3 at tone 2's period; tone 2 itself silent.
    Score score;
    score.tone(0.0, 2, 100, 15);
    double t = 0.01;
    for (unsigned rate = 0; rate < 4; ++rate, t += noteSeconds + gapSeconds) {
        score.at(t, {Sn::latchByte(Sn::noiseChannel, false, rate),
                     Sn::latchByte(Sn::noiseChannel, true, 0)});
        score.off(t + noteSeconds, Sn::noiseChannel);
    }
    const Both both = render(score, t);
    double worst = 0;
    t = 0.01;
    for (unsigned rate = 0; rate < 4; ++rate, t += noteSeconds + gapSeconds) {
        const double shift = rate < 3 ? snClock / (512.0 * (1u << rate)) : snClock / (16.0 * 100);
        const double hz = shift / 16;
        const double from = t + 0.02, to = t + noteSeconds - 0.01;
        const double oracleHz =
            toneanalysis::peakNear(part(both.oracle, oracleRate, from, to), oracleRate, hz, 0.02);
        const double ourHz =
            toneanalysis::peakNear(part(both.ours, ssgRate, from, to), ssgRate, hz, 0.02);
        EXPECT_NEAR(oracleHz / hz, 1, 0.005) << "rate " << rate << ": one pulse per 16 shifts";
        EXPECT_LT(std::abs(ourHz / oracleHz - 1), 0.005) << "rate " << rate;
        worst = std::max(worst, std::abs(ourHz / oracleHz - 1));
    }
    std::printf("SN76489 -> SSG: periodic noise pitch within %.3f %%\n", 100 * worst);
}

TEST_F(Sn76489Oracle, WhiteNoiseLevelsFollowTheAttenuation) {
    Score score;
    score.at(0.0, {Sn::latchByte(Sn::noiseChannel, false, 4)}); // white, rate 0
    double t = 0.01;
    for (unsigned attenuation = 0; attenuation < 15; ++attenuation, t += noteSeconds)
        score.at(t, {Sn::latchByte(Sn::noiseChannel, true, attenuation)});
    const Both both = render(score, t);
    auto levelAt = [&](const std::vector<double>& samples, double rate, double start) {
        return rmsDecibels(part(samples, rate, start + 0.01, start + noteSeconds - 0.01));
    };
    const double oracleLoudest = levelAt(both.oracle, oracleRate, 0.01);
    const double ourLoudest = levelAt(both.ours, ssgRate, 0.01);
    double worst = 0;
    t = 0.01;
    for (unsigned attenuation = 0; attenuation < 15; ++attenuation, t += noteSeconds) {
        const double oracle = levelAt(both.oracle, oracleRate, t) - oracleLoudest;
        const double ours = levelAt(both.ours, ssgRate, t) - ourLoudest;
        EXPECT_NEAR(ours, oracle, 1.5) << "attenuation " << attenuation;
        worst = std::max(worst, std::abs(ours - oracle));
    }
    std::printf("SN76489 -> SSG: white noise levels within %.2f dB\n", worst);
}

} // namespace
} // namespace convert
