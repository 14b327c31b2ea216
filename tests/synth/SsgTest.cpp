// The SSG against the chip's documented behaviour: tone frequency
// clock / (16 x period) and noise shifts every 2 x period frames measured
// from the signal, a 32-step envelope step every period frames, the 16 shapes
// as the data sheet draws them, period 0 acting as 1, the mixer's disable
// bits, R13 restarting the envelope, the DAC's 1.5 dB steps, independent
// instances and reset.
#include "synth/Ssg.h"
#include "SsgStreams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using synth::Ssg;
using synth::test::SsgStream;

constexpr std::uint32_t clockHz = 2000000;
constexpr double frameRate = clockHz / 8.0;

struct Reg {
    std::uint8_t reg;
    std::uint8_t data;
};

std::vector<std::int16_t> render(Ssg& chip, std::initializer_list<Reg> writes, std::size_t frames) {
    for (const Reg& w : writes)
        chip.write(w.reg, w.data);
    std::vector<std::int16_t> out(frames);
    chip.generate(out.data(), frames);
    return out;
}

std::vector<std::int16_t> render(std::initializer_list<Reg> writes, std::size_t frames) {
    Ssg chip;
    return render(chip, writes, frames);
}

// Plays a stream into a chip in steps of any size, each write landing
// before the frame it belongs to.
class Player {
public:
    Player(Ssg& chip, const SsgStream& stream)
        : chip_(chip), stream_(stream), next_(stream.writes.begin()), out_(stream.frames) {}
    void playTo(std::size_t end) {
        while (frame_ < end) {
            for (; next_ != stream_.writes.end() && next_->frame <= frame_; ++next_)
                chip_.write(next_->reg, next_->data);
            std::size_t stop = end;
            if (next_ != stream_.writes.end()) stop = std::min(stop, next_->frame);
            chip_.generate(out_.data() + frame_, stop - frame_);
            frame_ = stop;
        }
    }
    const std::vector<std::int16_t>& output() const { return out_; }

private:
    Ssg& chip_;
    const SsgStream& stream_;
    std::vector<synth::test::SsgWrite>::const_iterator next_;
    std::vector<std::int16_t> out_;
    std::size_t frame_ = 0;
};

// The stream rendered in requests of `chunk` frames.
std::vector<std::int16_t> render(Ssg& chip, const SsgStream& stream, std::size_t chunk) {
    Player player(chip, stream);
    for (std::size_t frame = 0; frame < stream.frames;) {
        frame = std::min(stream.frames, frame + chunk);
        player.playTo(frame);
    }
    return player.output();
}

// The frames at which the signal changes value.
std::vector<std::size_t> changes(const std::vector<std::int16_t>& signal) {
    std::vector<std::size_t> at;
    for (std::size_t i = 1; i < signal.size(); ++i)
        if (signal[i] != signal[i - 1]) at.push_back(i);
    return at;
}

std::uint8_t levelOf(const Ssg& chip, int ch) {
    std::uint8_t out[3];
    chip.levels(out);
    return out[ch];
}

double decibels(double a, double b) {
    return 20.0 * std::log10(a / b);
}

TEST(Ssg, ToneFrequencyIsClockOverSixteenTimesThePeriod) {
    for (int period : {1, 2, 3, 10, 100, 0x123, 1000, 4095}) {
        SCOPED_TRACE(period);
        const std::size_t frames = 40 * static_cast<std::size_t>(period) + 64;
        const auto signal = render({{0, static_cast<std::uint8_t>(period)},
                                    {1, static_cast<std::uint8_t>(0xf0 | (period >> 8))},
                                    {7, 0x3e},
                                    {8, 15}},
                                   frames);
        std::vector<std::size_t> rising;
        for (std::size_t i = 1; i < signal.size(); ++i)
            if (signal[i] > signal[i - 1]) rising.push_back(i);
        ASSERT_GE(rising.size(), 10u);
        const double cycleFrames = static_cast<double>(rising.back() - rising.front()) /
                                   static_cast<double>(rising.size() - 1);
        EXPECT_DOUBLE_EQ(frameRate / cycleFrames, clockHz / (16.0 * period));
        // A square wave: high and low half-cycles of equal length.
        for (std::size_t i = 0; i + 1 < rising.size(); ++i)
            EXPECT_EQ(rising[i + 1] - rising[i], 2u * static_cast<std::size_t>(period));
    }
}

TEST(Ssg, NoiseShiftsEveryTwiceItsPeriodThroughAMaximalSequence) {
    for (int period : {1, 2, 5, 31}) {
        SCOPED_TRACE(period);
        const std::size_t shiftFrames = 2 * static_cast<std::size_t>(period);
        const std::size_t frames = 4000 * shiftFrames;
        const auto signal =
            render({{6, static_cast<std::uint8_t>(0xe0 | period)}, {7, 0x37}, {8, 15}}, frames);
        const auto at = changes(signal);
        for (std::size_t frame : at)
            ASSERT_EQ((frame + 1) % shiftFrames, 0u)
                << "noise changed off its shift clock at " << frame;
        // A maximal sequence changes value at half of its shifts.
        EXPECT_NEAR(static_cast<double>(at.size()), frames / shiftFrames / 2.0,
                    frames / shiftFrames / 20.0);
    }
    // 2^17 - 1 is prime: the sequence repeats after exactly that many shifts
    // unless it is constant.
    constexpr std::size_t period = (1u << 17) - 1;
    const auto signal = render({{6, 1}, {7, 0x37}, {8, 15}}, 2 * (period + 5000));
    EXPECT_TRUE(std::equal(signal.begin(), signal.begin() + 10000, signal.begin() + 2 * period));
    EXPECT_GT(changes(signal).size(), period / 4);
}

// The shapes as the data sheet draws them, one character per cycle of 32
// steps: falling, rising, held at the bottom, held at the top.
TEST(Ssg, AllSixteenEnvelopeShapes) {
    const std::array<std::string, 16> drawn = {
        "\\___",    "\\___", "\\___",  "\\___", "/___", "/___", "/___",   "/___",
        "\\\\\\\\", "\\___", "\\/\\/", "\\^^^", "////", "/^^^", "/\\/\\", "/___"};
    for (int period : {1, 3}) {
        for (int shape = 0; shape < 16; ++shape) {
            SCOPED_TRACE("shape " + std::to_string(shape) + ", period " + std::to_string(period));
            Ssg chip;
            for (Reg w : {Reg{7, 0x3f}, Reg{8, 0x10}, Reg{11, static_cast<std::uint8_t>(period)},
                          Reg{13, static_cast<std::uint8_t>(shape)}})
                chip.write(w.reg, w.data);
            for (int frame = 0; frame < 4 * 32 * period - 1; ++frame) {
                std::int16_t sample;
                chip.generate(&sample, 1);
                const int step = (frame + 1) / period;
                const int within = step % 32;
                int expected = 0;
                switch (drawn[shape][step / 32]) {
                case '\\': expected = 31 - within; break;
                case '/': expected = within; break;
                case '^': expected = 31; break;
                default: expected = 0; break;
                }
                ASSERT_EQ(levelOf(chip, 0), expected) << "frame " << frame;
            }
        }
    }
}

TEST(Ssg, EnvelopeStepsEveryPeriodFramesUpToSixteenBits) {
    for (int period : {1, 7, 0x1234, 0xffff}) {
        SCOPED_TRACE(period);
        const std::size_t frames = 5 * static_cast<std::size_t>(period) + 10;
        const auto signal = render({{7, 0x3f},
                                    {8, 0x10},
                                    {11, static_cast<std::uint8_t>(period)},
                                    {12, static_cast<std::uint8_t>(period >> 8)},
                                    {13, 0x0c}},
                                   frames);
        const auto at = changes(signal);
        ASSERT_GE(at.size(), 4u);
        for (std::size_t i = 0; i + 1 < at.size(); ++i)
            EXPECT_EQ(at[i + 1] - at[i], static_cast<std::size_t>(period));
        EXPECT_GT(signal[at[1]], signal[at[0]]); // shape 12 rises
    }
}

TEST(Ssg, PeriodZeroActsAsOne) {
    const auto toneOf = [](std::uint8_t period) {
        return render({{0, period}, {7, 0x3e}, {8, 15}}, 5000);
    };
    const auto noiseOf = [](std::uint8_t period) {
        return render({{6, period}, {7, 0x37}, {8, 15}}, 5000);
    };
    const auto envelopeOf = [](std::uint8_t period) {
        return render({{7, 0x3f}, {8, 0x10}, {11, period}, {13, 0x0e}}, 5000);
    };
    EXPECT_EQ(toneOf(0), toneOf(1));
    EXPECT_EQ(noiseOf(0), noiseOf(1));
    EXPECT_EQ(envelopeOf(0), envelopeOf(1));
    EXPECT_NE(toneOf(1), toneOf(2));
    EXPECT_NE(noiseOf(1), noiseOf(2));
    EXPECT_NE(envelopeOf(1), envelopeOf(2));
}

TEST(Ssg, MixerBitsGateEachChannelAlone) {
    // Tone and noise both disabled: the gate stays open, a steady level.
    const auto steady = render({{0, 3}, {6, 1}, {7, 0x3f}, {8, 15}}, 1000);
    EXPECT_TRUE(changes(steady).empty());
    EXPECT_GT(steady[0], 0);

    // Tone alone: a square wave whose low half reports level 0.
    Ssg chip;
    for (Reg w : {Reg{0, 5}, Reg{7, 0x3e}, Reg{8, 15}}) // tone A on, noise A off
        chip.write(w.reg, w.data);
    for (int frame = 0; frame < 40; ++frame) {
        std::int16_t sample;
        chip.generate(&sample, 1);
        EXPECT_EQ(levelOf(chip, 0), ((frame + 1) / 5) % 2 ? 31 : 0) << frame;
        EXPECT_EQ(sample > 0, levelOf(chip, 0) > 0);
    }

    // Tone and noise together: the gate is open only where both are high, so
    // the channel is high less often than with either alone.
    const auto highFrames = [](std::uint8_t mixer) {
        const auto signal = render({{0, 3}, {6, 2}, {7, mixer}, {8, 15}}, 40000);
        return std::count_if(signal.begin(), signal.end(), [](std::int16_t v) { return v > 0; });
    };
    const auto toneOnly = highFrames(0x3e);
    const auto noiseOnly = highFrames(0x37);
    const auto both = highFrames(0x36);
    EXPECT_NEAR(toneOnly, 20000, 10);
    EXPECT_NEAR(noiseOnly, 20000, 1000);
    EXPECT_NEAR(both, 10000, 1000);

    // Channel B's bits and level do not touch channel A's level.
    const auto traceOfA = [](std::initializer_list<Reg> writes) {
        Ssg chip;
        render(chip, writes, 0);
        std::vector<std::uint8_t> trace;
        for (int frame = 0; frame < 3000; ++frame) {
            render(chip, {}, 1);
            trace.push_back(levelOf(chip, 0));
        }
        return trace;
    };
    const auto aAlone = traceOfA({{0, 7}, {6, 3}, {7, 0x3e}, {8, 12}});
    EXPECT_EQ(traceOfA({{0, 7}, {2, 9}, {6, 3}, {7, 0x2e}, {8, 12}, {9, 13}}), aAlone);
    EXPECT_EQ(traceOfA({{0, 7}, {2, 9}, {6, 3}, {7, 0x2c}, {8, 12}, {9, 0x10}, {13, 0x0a}}),
              aAlone);
}

TEST(Ssg, WritingShapeRestartsTheEnvelopeEvenWithTheSameValue) {
    for (std::uint8_t shape : {0x0c, 0x08, 0x0e}) {
        SCOPED_TRACE(static_cast<int>(shape));
        Ssg chip;
        const auto first = render(chip, {{7, 0x3f}, {8, 0x10}, {11, 4}, {13, shape}}, 4 * 45 + 2);
        const auto again = render(chip, {{13, shape}}, 4 * 45 + 2);
        EXPECT_NE(again.front(), first.back());
        EXPECT_EQ(again, first);
    }
}

TEST(Ssg, DacStepsAreOnePointFiveDecibels) {
    // Fixed levels 1-15 land on steps 3, 5, ... 31: 3 dB apart; level 0 is off.
    std::array<double, 16> fixed{};
    for (int level = 0; level < 16; ++level)
        fixed[level] = render({{7, 0x3f}, {8, static_cast<std::uint8_t>(level)}}, 1)[0];
    EXPECT_EQ(fixed[0], 0);
    EXPECT_EQ(fixed[15], 10922);
    for (int level = 1; level < 15; ++level)
        EXPECT_NEAR(decibels(fixed[level + 1], fixed[level]), 3.0, 0.1) << level;

    // The envelope walks all 32 steps: 1.5 dB apart above step 0, which is off.
    const auto rising = render({{7, 0x3f}, {8, 0x10}, {11, 1}, {13, 0x0d}}, 32);
    EXPECT_EQ(rising[30], 10922);
    for (int step = 1; step < 31; ++step)
        EXPECT_NEAR(decibels(rising[step], rising[step - 1]), 1.5, 0.15) << step;
    const auto falling = render({{7, 0x3f}, {8, 0x10}, {11, 1}, {13, 0x09}}, 40);
    EXPECT_EQ(falling[30], 0);
    EXPECT_EQ(falling[39], 0);
    EXPECT_EQ(falling[29], rising[0]);

    // Three channels at full level sum without overflow.
    const auto all = render({{7, 0x3f}, {8, 15}, {9, 15}, {10, 15}}, 2);
    EXPECT_EQ(all[0], 3 * 10922);
}

TEST(Ssg, UnusedBitsAndAddressesAreIgnored) {
    const auto plain = render(
        {{0, 0x21}, {1, 0x01}, {6, 0x05}, {7, 0x30}, {8, 0x0b}, {9, 0x1f}, {11, 3}, {13, 0x0e}},
        20000);
    const auto noisy = render({{0, 0x21},
                               {1, 0xf1},
                               {6, 0xe5},
                               {7, 0xf0},
                               {8, 0xeb},
                               {9, 0xff},
                               {11, 3},
                               {13, 0xfe},
                               {14, 0xff},
                               {15, 0x55},
                               {16, 0x3f},
                               {0x48, 0x1f},
                               {255, 9}},
                              20000);
    EXPECT_EQ(noisy, plain);
}

TEST(Ssg, OutputDoesNotDependOnHowFramesAreRequested) {
    const SsgStream stream = synth::test::busyStream(200000);
    Ssg whole, single, odd;
    const auto reference = render(whole, stream, stream.frames);
    EXPECT_EQ(render(single, stream, 1), reference);
    EXPECT_EQ(render(odd, stream, 37), reference);
}

TEST(Ssg, TwoInstancesAreIndependent) {
    const SsgStream a = synth::test::busyStream(60000, 1);
    const SsgStream b = synth::test::busyStream(60000, 2);
    Ssg aloneA, aloneB;
    const auto expectedA = render(aloneA, a, a.frames);
    const auto expectedB = render(aloneB, b, b.frames);
    ASSERT_NE(expectedA, expectedB);

    Ssg chipA, chipB;
    Player playerA(chipA, a), playerB(chipB, b);
    for (std::size_t frame = 100; frame <= a.frames; frame += 100) {
        playerB.playTo(frame);
        playerA.playTo(frame);
    }
    EXPECT_EQ(playerA.output(), expectedA);
    EXPECT_EQ(playerB.output(), expectedB);
}

TEST(Ssg, ResetSilencesAndStartsAfresh) {
    const SsgStream stream = synth::test::busyStream(50000);
    Ssg used;
    render(used, stream, stream.frames);
    used.reset();
    std::uint8_t levels[3];
    used.levels(levels);
    EXPECT_EQ(levels[0] + levels[1] + levels[2], 0);
    const auto after = render(used, {}, 20000);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](std::int16_t v) { return v == 0; }));

    used.reset();
    Ssg fresh;
    EXPECT_EQ(render(used, stream, stream.frames), render(fresh, stream, stream.frames));
}

} // namespace
