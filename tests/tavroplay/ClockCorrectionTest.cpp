// Clock correction: the frequency that a corrected register pair makes on the
// board chip's clock against the one the file meant on its own clock, from
// the chips' documented frequency formulas: within 0.1 % for the YM2151, one
// period or F-number step for the PSG and the YM2413.
#include <gtest/gtest.h>

#include <cmath>

#include "RecordingSink.h"
#include "tavroplay/ClockCorrection.h"

namespace {

using namespace tavroplay;
using songs::ChipType;

// YM2151: key code 0x4A (octave 4, note code 10) is A at 440 Hz with a
// 3,579,545 Hz clock; note codes in rising order of pitch below, 64 fraction
// steps per semitone.
double opmFrequency(std::uint8_t kc, std::uint8_t kf, double clock) {
    constexpr int codes[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    int semitone = 0;
    while (codes[semitone] != (kc & 15))
        ++semitone;
    const double semitonesFromA = ((kc >> 4 & 7) - 4) * 12 + (semitone - 8) + (kf >> 2) / 64.0;
    return 440.0 * clock / 3579545.0 * std::pow(2.0, semitonesFromA / 12);
}

// PSG tone: clock / (16 * period). YM2413: F-number * clock / 72 / 2^(19 - block).
double psgFrequency(std::uint32_t period, double clock) {
    return clock / (16.0 * period);
}
double opllFrequency(FNumber f, double clock) {
    return f.fnumber * clock / 72.0 / std::pow(2.0, 19 - f.block);
}

struct ClockPair {
    double file;
    double board;
};
constexpr ClockPair kClocks[] = {
    {3579545, 4000000}, {4000000, 3579545}, {4000000, 3000000}, {3579545, 3579545 * 1.5}};

TEST(ClockCorrection, Ym2151KeyCodesKeepTheirPitchWithinATenthOfAPercent) {
    constexpr int codes[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    for (const ClockPair& clocks : kClocks) {
        for (int octave = 1; octave <= 6; ++octave) {
            for (int code : codes) {
                for (int fraction = 0; fraction < 64; fraction += 7) {
                    const auto kc = static_cast<std::uint8_t>(octave << 4 | code);
                    const auto kf = static_cast<std::uint8_t>(fraction << 2);
                    const KeyCode corrected = correctKeyCode({kc, kf}, clocks.file / clocks.board);
                    const double meant = opmFrequency(kc, kf, clocks.file);
                    const double played = opmFrequency(corrected.kc, corrected.kf, clocks.board);
                    EXPECT_NEAR(played / meant, 1.0, 0.001)
                        << std::hex << int(kc) << " " << int(kf) << " at " << clocks.file;
                }
            }
        }
    }
    // Held at the ends of the range rather than wrapped.
    EXPECT_EQ(correctKeyCode({0x7E, 0xFC}, 2.0).kc, 0x7E);
    EXPECT_EQ(correctKeyCode({0x00, 0x00}, 0.5).kc, 0x00);
}

TEST(ClockCorrection, PsgPeriodsStayWithinOnePeriodStep) {
    for (const ClockPair& clocks : kClocks) {
        for (std::uint32_t period = 1; period < 4096; period += 13) {
            const std::uint32_t corrected =
                correctPeriod(period, clocks.file / clocks.board, 0x0FFF);
            const double meant = psgFrequency(period, clocks.file);
            const double ideal = clocks.board / (16.0 * meant);
            if (ideal < 1 || ideal > 4095) continue;
            EXPECT_LE(std::abs(corrected - ideal), 0.5 + 1e-9) << period;
            // One step either way brackets the meant frequency.
            EXPECT_GE(psgFrequency(corrected > 1 ? corrected - 1 : 1, clocks.board), meant * 0.999);
            EXPECT_LE(psgFrequency(corrected + 1, clocks.board), meant * 1.001);
        }
    }
    EXPECT_EQ(correctPeriod(4000, 0.5, 0x0FFF), 0x0FFFu);
    EXPECT_EQ(correctPeriod(0, 2.0, 0x0FFF), 0u);
}

TEST(ClockCorrection, Ym2413FNumbersStayWithinOneStep) {
    for (const ClockPair& clocks : kClocks) {
        for (std::uint8_t block = 0; block < 8; ++block) {
            for (std::uint16_t fnumber = 1; fnumber < 512; fnumber += 11) {
                const FNumber corrected =
                    correctFNumber({fnumber, block}, clocks.file / clocks.board, 9);
                const double meant = opllFrequency({fnumber, block}, clocks.file);
                const double step = opllFrequency({1, corrected.block}, clocks.board);
                const double highest = opllFrequency({511, 7}, clocks.board);
                if (meant > highest) continue;
                EXPECT_LE(std::abs(opllFrequency(corrected, clocks.board) - meant), step / 2 + 1e-9)
                    << fnumber << " block " << int(block);
                EXPECT_LT(corrected.fnumber, 512);
            }
        }
    }
}

TEST(ClockCorrection, FamiliesSendTheCorrectedPairs) {
    RecordingSink opmSink;
    auto opmOwner = makeFamily(ChipType::ym2151, 3579545.0 / 4000000.0, opmSink);
    ChipFamily& opm = *opmOwner;
    opm.write(0x30, 0x00);
    opm.write(0x28, 0x4A);
    const KeyCode expected = correctKeyCode({0x4A, 0x00}, 3579545.0 / 4000000.0);
    EXPECT_EQ(opmSink.state[0x28], expected.kc);
    EXPECT_EQ(opmSink.state[0x30], expected.kf);
    EXPECT_NE(opmSink.state[0x28], 0x4A);

    RecordingSink psgSink;
    auto psgOwner = makeFamily(ChipType::ssg, 0.5, psgSink);
    ChipFamily& psg = *psgOwner; // a chip at twice the file's clock
    psg.write(0x00, 0x34);
    psg.write(0x01, 0x01);
    EXPECT_EQ(psgSink.state[0x00], 0x68);
    EXPECT_EQ(psgSink.state[0x01], 0x02);
    psg.write(0x06, 0x1F); // noise period held at its largest
    EXPECT_EQ(psgSink.state[0x06], 0x1F);

    RecordingSink opllSink;
    auto opllOwner = makeFamily(ChipType::ym2413, 2.0, opllSink);
    ChipFamily& opll = *opllOwner;
    opll.write(0x10, 0x20);
    opll.write(0x20, 0x13); // key on, block 1, F-number 0x120
    EXPECT_EQ(opllSink.state[0x10], 0x20);
    EXPECT_EQ(opllSink.state[0x20], 0x15); // block 2, key kept
    // Same clock: everything goes through as written.
    RecordingSink plainSink;
    auto plainOwner = makeFamily(ChipType::ym2151, 1.0, plainSink);
    ChipFamily& plain = *plainOwner;
    plain.write(0x28, 0x4A);
    EXPECT_EQ(plainSink.writes, (std::vector<SentWrite>{{0x28, 0x4A}}));
}

} // namespace
