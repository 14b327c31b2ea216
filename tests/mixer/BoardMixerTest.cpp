// The board mixer: each chip's tone keeps the frequency its registers program
// through the resampler, the documented levels (the one mixing rule, whatever
// the number of chips) and panning hold and a full board stays below full
// scale, writes land at the frame rendered so far with a latency that does not
// depend on how the output is sliced, clocks outside the accepted range are
// refused and the extreme ones play at their pitch, and a reset silences the
// board.
#include "mixer/BoardMixer.h"

#include "../synth/ToneAnalysis.h"
#include "tavro/SoundInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

using mixer::BoardMixer;
using namespace toneanalysis;

constexpr std::int32_t ym2151 = tavro::chipTypeYm2151;
constexpr std::int32_t ym2413 = tavro::chipTypeYm2413;
constexpr std::int32_t psg = tavro::chipTypePsg;

constexpr double rate = BoardMixer::outputRate;
constexpr std::uint32_t boardClock = 4000000;
constexpr std::uint32_t psgClock = boardClock / 2;
constexpr std::uint32_t opllClock = 3579545;

// Adds a chip the mixer must take.
std::size_t add(BoardMixer& mixer, std::int32_t type, std::uint32_t clock) {
    const std::optional<std::size_t> chip = mixer.addChip(type, clock);
    EXPECT_TRUE(chip.has_value()) << "type " << type << " at " << clock << " Hz refused";
    return chip.value_or(0);
}

std::vector<std::int16_t> render(BoardMixer& mixer, std::size_t frames) {
    std::vector<std::int16_t> out(2 * frames);
    mixer.render(out.data(), frames);
    return out;
}

// YM2151: the note's frequency from its key code and fraction, as the
// datasheet gives it (A4, key code 0x4A, is 440 Hz at 3.579545 MHz).
double opmFrequency(std::uint32_t clock, std::uint8_t keyCode, std::uint8_t keyFraction = 0) {
    static constexpr int semitoneOfNote[16] = {1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 10, 11, 12, 12};
    const int semitone = 12 * (keyCode >> 4) + semitoneOfNote[keyCode & 15];
    return 440.0 * clock / 3579545.0 *
           std::pow(2.0, (semitone + (keyFraction >> 2) / 64.0 - 57) / 12.0);
}

// A sine on one YM2151 channel: connection 7, operator M1 alone (MUL 1, TL 0,
// fastest attack), outputs as pan (0x40 left, 0x80 right, 0xC0 both).
void opmSine(BoardMixer& mixer, std::size_t chip, int channel, std::uint8_t keyCode,
             std::uint8_t pan) {
    const auto at = [&](int reg, int value) {
        mixer.write(chip, static_cast<std::uint8_t>(reg + channel),
                    static_cast<std::uint8_t>(value));
    };
    at(0x20, pan | 0x07);
    at(0x40, 0x01);
    at(0x60, 0x00);
    at(0x80, 0x1F);
    at(0x28, keyCode);
    mixer.write(chip, 0x08, static_cast<std::uint8_t>(0x08 | channel));
}

// YM2413: a sine from the user instrument (carrier MUL 1, sustained, fastest
// attack; modulator silent) on channel 0 at F-number and block.
void opllSine(BoardMixer& mixer, std::size_t chip, int fNumber, int block) {
    const std::uint8_t user[8] = {0x00, 0x21, 0x3F, 0x00, 0x00, 0xF0, 0x00, 0x00};
    for (std::uint8_t reg = 0; reg < 8; ++reg)
        mixer.write(chip, reg, user[reg]);
    mixer.write(chip, 0x30, 0x00);
    mixer.write(chip, 0x10, static_cast<std::uint8_t>(fNumber & 0xFF));
    mixer.write(chip, 0x20, static_cast<std::uint8_t>(0x10 | block << 1 | fNumber >> 8));
}

double opllFrequency(std::uint32_t clock, int fNumber, int block) {
    return fNumber * (clock / 72.0) * std::pow(2.0, block - 1) / (1 << 18);
}

// SSG: a square tone on channel A at the loudest fixed level.
void ssgTone(BoardMixer& mixer, std::size_t chip, int period) {
    mixer.write(chip, 0, static_cast<std::uint8_t>(period & 0xFF));
    mixer.write(chip, 1, static_cast<std::uint8_t>(period >> 8));
    mixer.write(chip, 7, 0x3E);
    mixer.write(chip, 8, 0x0F);
}

// One second of the left output after the first 200 ms.
std::vector<double> settledLeft(BoardMixer& mixer) {
    render(mixer, 9600);
    return channel(render(mixer, 48000), 0);
}

TEST(BoardMixer, EachChipsToneKeepsItsProgrammedFrequencyThroughTheResampler) {
    {
        BoardMixer mixer;
        opmSine(mixer, add(mixer, ym2151, boardClock), 0, 0x4A, 0xC0);
        const double expected = opmFrequency(boardClock, 0x4A);
        EXPECT_NEAR(peakNear(settledLeft(mixer), rate, expected, 0.03), expected, expected * 0.002)
            << "YM2151 A4";
    }
    {
        BoardMixer mixer;
        opmSine(mixer, add(mixer, ym2151, 3579545), 3, 0x5E, 0xC0);
        const double expected = opmFrequency(3579545, 0x5E);
        EXPECT_NEAR(peakNear(settledLeft(mixer), rate, expected, 0.03), expected, expected * 0.002)
            << "YM2151 C6 at 3.58 MHz";
    }
    {
        BoardMixer mixer;
        opllSine(mixer, add(mixer, ym2413, opllClock), 288, 4);
        const double expected = opllFrequency(opllClock, 288, 4);
        EXPECT_NEAR(peakNear(settledLeft(mixer), rate, expected, 0.03), expected, expected * 0.002)
            << "YM2413 F-number 288, block 4";
    }
    for (const int period : {400, 71}) {
        BoardMixer mixer;
        ssgTone(mixer, add(mixer, psg, psgClock), period);
        const double expected = psgClock / (16.0 * period);
        EXPECT_NEAR(peakNear(settledLeft(mixer), rate, expected, 0.03), expected, expected * 0.0005)
            << "SSG period " << period;
    }
}

// A KX7M board: SSG, YM2151, YM2151.
struct Kx7m {
    Kx7m() {
        ssg = add(mixer, psg, psgClock);
        opm1 = add(mixer, ym2151, boardClock);
        opm2 = add(mixer, ym2151, boardClock);
    }
    BoardMixer mixer;
    std::size_t ssg, opm1, opm2;
};

TEST(BoardMixer, YM2151PlaysInStereoAndTheSsgCentredAtTheDocumentedLevels) {
    Kx7m board;
    EXPECT_DOUBLE_EQ(board.mixer.gain(board.opm1), 0.3);
    EXPECT_DOUBLE_EQ(BoardMixer::fullScaleShare(ym2151), 0.3);
    EXPECT_DOUBLE_EQ(BoardMixer::fullScaleShare(psg), 0.3);
    opmSine(board.mixer, board.opm1, 0, 0x4A, 0x40); // left only
    opmSine(board.mixer, board.opm2, 0, 0x5E, 0x80); // right only
    ssgTone(board.mixer, board.ssg, 400);            // 312.5 Hz
    render(board.mixer, 9600);
    const std::vector<std::int16_t> out = render(board.mixer, 48000);
    const std::vector<double> left = channel(out, 0), right = channel(out, 1);

    const double opm1Hz = opmFrequency(boardClock, 0x4A), opm2Hz = opmFrequency(boardClock, 0x5E);
    // One full-volume voice: a quarter of the chip's full scale, 0.3 of
    // the board's: -22.5 dBFS.
    EXPECT_NEAR(decibels(amplitudeAt(left, rate, opm1Hz)), -22.5, 1.0);
    EXPECT_NEAR(decibels(amplitudeAt(right, rate, opm2Hz)), -22.5, 1.0);
    EXPECT_LT(amplitudeAt(right, rate, opm1Hz), 2.0) << "YM2151 #1 leaks into the right";
    EXPECT_LT(amplitudeAt(left, rate, opm2Hz), 2.0) << "YM2151 #2 leaks into the left";

    // The SSG's square wave of 10922 steps, its offset taken away: its
    // fundamental is 4/pi * 5461 * 0.3 on both sides alike.
    const double ssgLeft = amplitudeAt(left, rate, 312.5),
                 ssgRight = amplitudeAt(right, rate, 312.5);
    EXPECT_NEAR(decibels(ssgLeft), decibels(4 / std::numbers::pi * 5461 * 0.3), 1.0);
    EXPECT_NEAR(ssgLeft, ssgRight, ssgLeft * 0.001);
    // No offset left: the mean over the second is near zero.
    double sum = 0;
    for (const double sample : left)
        sum += sample;
    EXPECT_LT(std::abs(sum / left.size()), 50.0);
}

// One rule for every mix: a chip's level depends on its family alone, not on
// how many chips share the output (a one-chip file renders as loud as the same
// chip on a full board), and a YM2413 voice sits 7 dB below a YM2151 voice.
TEST(BoardMixer, EachFamilyComesOutAtOneLevelWhateverTheNumberOfChips) {
    const double opmHz = opmFrequency(boardClock, 0x4A);
    double alone = 0;
    {
        BoardMixer mixer;
        opmSine(mixer, add(mixer, ym2151, boardClock), 0, 0x4A, 0xC0);
        alone = amplitudeAt(settledLeft(mixer), rate, opmHz);
        EXPECT_NEAR(decibels(alone), -22.5, 1.0);
    }
    {
        Kx7m board;
        opmSine(board.mixer, board.opm2, 0, 0x4A, 0xC0);
        EXPECT_NEAR(amplitudeAt(settledLeft(board.mixer), rate, opmHz), alone, alone * 0.01);
    }
    const double opllHz = opllFrequency(opllClock, 288, 4);
    double opllAlone = 0;
    {
        BoardMixer mixer;
        opllSine(mixer, add(mixer, ym2413, opllClock), 288, 4);
        opllAlone = amplitudeAt(settledLeft(mixer), rate, opllHz);
        EXPECT_NEAR(decibels(opllAlone) - decibels(alone), -7.0, 0.5);
    }
    {
        // A TRQ05: SSG, YM2413, YM2413.
        BoardMixer mixer;
        add(mixer, psg, boardClock / 2);
        add(mixer, ym2413, opllClock);
        opllSine(mixer, add(mixer, ym2413, opllClock), 288, 4);
        EXPECT_NEAR(amplitudeAt(settledLeft(mixer), rate, opllHz), opllAlone, opllAlone * 0.01);
    }
}

// A chip is refused at a clock it could not be given (its frames would come too
// slowly for its resampler, or a header's nonsense clock); at both ends of the
// accepted range it plays at its pitch, every chip frame resampled.
TEST(BoardMixer, ClocksOutsideTheRangeAreRefusedAndTheEndsPlayAtPitch) {
    BoardMixer refusing;
    for (const std::int32_t type : {ym2151, ym2413, psg}) {
        EXPECT_FALSE(refusing.addChip(type, 1)) << type;
        EXPECT_FALSE(refusing.addChip(type, BoardMixer::minClockHz - 1)) << type;
        EXPECT_FALSE(refusing.addChip(type, BoardMixer::maxClockHz + 1)) << type;
        EXPECT_TRUE(BoardMixer::plays(type)) << type;
    }
    EXPECT_FALSE(refusing.addChip(tavro::chipTypeYm2203, boardClock)) << "no software YM2203";
    EXPECT_FALSE(BoardMixer::plays(tavro::chipTypeYmz294)) << "a YMZ294 is added as its PSG";
    EXPECT_EQ(BoardMixer::fullScaleShare(tavro::chipTypeYm2203), 0.0);

    for (const std::uint32_t clock : {BoardMixer::minClockHz, BoardMixer::maxClockHz}) {
        {
            BoardMixer mixer;
            const int period = clock == BoardMixer::minClockHz ? 40 : 4000;
            ssgTone(mixer, add(mixer, psg, clock), period);
            const double expected = clock / (16.0 * period);
            EXPECT_NEAR(peakNear(settledLeft(mixer), rate, expected, 0.03), expected,
                        expected * 0.002)
                << "SSG at " << clock << " Hz";
        }
        {
            BoardMixer mixer;
            const int block = clock == BoardMixer::minClockHz ? 7 : 1;
            opllSine(mixer, add(mixer, ym2413, clock), 288, block);
            const double expected = opllFrequency(clock, 288, block);
            EXPECT_NEAR(peakNear(settledLeft(mixer), rate, expected, 0.03), expected,
                        expected * 0.002)
                << "YM2413 at " << clock << " Hz";
        }
    }
}

TEST(BoardMixer, AFullBoardStaysBelowFullScale) {
    Kx7m board;
    // Every YM2151 operator at full volume, all eight channels in phase, both
    // outputs; every SSG channel at its loudest, tones toggling together.
    for (const std::size_t opm : {board.opm1, board.opm2}) {
        for (int channel = 0; channel < 8; ++channel) {
            for (int op = 0; op < 32; op += 8) {
                board.mixer.write(opm, static_cast<std::uint8_t>(0x40 + op + channel), 0x01);
                board.mixer.write(opm, static_cast<std::uint8_t>(0x60 + op + channel), 0x00);
                board.mixer.write(opm, static_cast<std::uint8_t>(0x80 + op + channel), 0x1F);
            }
            board.mixer.write(opm, static_cast<std::uint8_t>(0x20 + channel), 0xC7);
            board.mixer.write(opm, static_cast<std::uint8_t>(0x28 + channel), 0x2A);
        }
        for (int channel = 0; channel < 8; ++channel)
            board.mixer.write(opm, 0x08, static_cast<std::uint8_t>(0x78 | channel));
    }
    for (std::uint8_t reg = 0; reg < 6; reg += 2)
        board.mixer.write(board.ssg, reg, 0xFF);
    board.mixer.write(board.ssg, 7, 0x38);
    for (std::uint8_t reg = 8; reg < 11; ++reg)
        board.mixer.write(board.ssg, reg, 0x0F);

    const std::vector<std::int16_t> out = render(board.mixer, 48000);
    const auto [low, high] = std::minmax_element(out.begin(), out.end());
    EXPECT_GT(*high, 8000) << "the board should be loud";
    EXPECT_LT(*high, 32767);
    EXPECT_GT(*low, -32768);
}

// The first frame from which the left output exceeds threshold.
std::size_t onset(const std::vector<std::int16_t>& out, int threshold) {
    for (std::size_t i = 0; i < out.size(); i += 2)
        if (std::abs(out[i]) > threshold) return i / 2;
    return out.size() / 2;
}

TEST(BoardMixer, AWriteLandsAtTheRenderedFrameWithAFixedLatencyWhateverTheSlicing) {
    for (const std::int32_t kind : {ym2151, psg}) {
        std::vector<std::int16_t> outputs[3];
        const std::size_t keyOnAt[3] = {1000, 1000, 30011};
        const std::size_t slice[3] = {48000, 7, 1000};
        for (int run = 0; run < 3; ++run) {
            BoardMixer mixer;
            const std::size_t chip = add(mixer, kind, kind == psg ? psgClock : boardClock);
            std::vector<std::int16_t>& out = outputs[run];
            out.resize(2 * 48000);
            const auto renderRange = [&](std::size_t from, std::size_t to) {
                for (std::size_t at = from; at < to; at += slice[run])
                    mixer.render(out.data() + 2 * at, std::min(slice[run], to - at));
            };
            renderRange(0, keyOnAt[run]);
            if (kind == psg) {
                mixer.write(chip, 7, 0x3F); // gate open: the level itself, a step
                mixer.write(chip, 8, 0x0F);
            } else {
                opmSine(mixer, chip, 0, 0x4A, 0xC0);
            }
            renderRange(keyOnAt[run], 48000);
        }
        SCOPED_TRACE(kind == psg ? "SSG" : "YM2151");
        const std::size_t latency = onset(outputs[0], 300) - keyOnAt[0];
        EXPECT_LT(latency, 48u * 20) << "more than 20 ms from write to sound";
        EXPECT_EQ(outputs[1], outputs[0]) << "the output depends on the slicing";
        // Within the one-frame rounding of the write to the chip's frames.
        EXPECT_NEAR(static_cast<double>(onset(outputs[2], 300) - keyOnAt[2]),
                    static_cast<double>(latency), 1.0);
    }
}

TEST(BoardMixer, ResetSilencesEveryChip) {
    Kx7m board;
    opmSine(board.mixer, board.opm1, 0, 0x4A, 0xC0);
    opmSine(board.mixer, board.opm2, 5, 0x3A, 0xC0);
    ssgTone(board.mixer, board.ssg, 300);
    render(board.mixer, 4800);
    EXPECT_GT(
        amplitudeAt(channel(render(board.mixer, 4800), 0), rate, opmFrequency(boardClock, 0x4A)),
        1000);
    board.mixer.reset();
    // The SSG's offset falls away through the high-pass within a few of its
    // 16 ms time constants.
    const std::vector<std::int16_t> after = render(board.mixer, 14400);
    const auto loudest = std::max_element(after.begin() + 2 * 9600, after.end(),
                                          [](int a, int b) { return std::abs(a) < std::abs(b); });
    EXPECT_LE(std::abs(*loudest), 40);
}

} // namespace
