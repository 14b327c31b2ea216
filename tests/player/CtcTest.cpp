// The CTC: prescalers, time constants, counter-mode chaining of channel 0 into
// channel 3, control and vector words, reads, and the interrupt flags.
#include <gtest/gtest.h>

#include "player/Ctc.h"

namespace {

void program(Ctc& ctc, unsigned channel, std::uint8_t control, std::uint8_t timeConstant) {
    ctc.write(channel, control);
    ctc.write(channel, timeConstant);
}

// Ticks until the flag bit of channel is set; returns how many it took.
int ticksUntilFlag(Ctc& ctc, unsigned channel, int limit = 1000) {
    for (int tick = 1; tick <= limit; ++tick) {
        if ((ctc.advance() & Ctc::interruptFlag(channel)) != 0) return tick;
    }
    return -1;
}

TEST(CtcTest, StartsWithEveryChannelStopped) {
    Ctc ctc;
    for (int tick = 0; tick < 100; ++tick)
        EXPECT_EQ(ctc.advance(), 0);
    for (const CtcChannel& channel : ctc.channels) {
        EXPECT_EQ(channel.count, 65536u);
        EXPECT_EQ(channel.reload, 65536u);
        EXPECT_EQ(channel.control, 0x23);
    }
}

TEST(CtcTest, Prescaler16PeriodOfOneTickFlagsEveryTick) {
    Ctc ctc;
    program(ctc, 1, 0x85, 250);
    EXPECT_EQ(ctc.channels[1].reload, 4000u);
    EXPECT_EQ(ctc.channels[1].control, 0x81);
    for (int tick = 0; tick < 50; ++tick)
        EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(1));
}

TEST(CtcTest, Prescaler256WithTimeConstantZeroCountsAs256) {
    Ctc ctc;
    program(ctc, 1, 0xA5, 0);
    EXPECT_EQ(ctc.channels[1].reload, 65536u);
    for (int tick = 0; tick < 16; ++tick)
        EXPECT_EQ(ctc.advance(), 0);
    EXPECT_EQ(ctc.channels[1].count, 1536u);
    EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(1));
    // 65,536 clocks are 16.384 ticks: the gaps are 16 or 17 ticks.
    int total = 17;
    for (int period = 0; period < 20; ++period) {
        const int gap = ticksUntilFlag(ctc, 1);
        EXPECT_TRUE(gap == 16 || gap == 17) << gap;
        total += gap;
    }
    EXPECT_EQ(total * 4000 / 65536, 21); // no period lost or gained
}

TEST(CtcTest, Channel0DrivesChannel3InCounterMode) {
    Ctc ctc;
    program(ctc, 0, 0x05, 25);  // 400 clocks: ten zeros a tick, interrupt off
    program(ctc, 3, 0xC5, 100); // counter mode, interrupt on
    for (int round = 0; round < 3; ++round) {
        for (int tick = 1; tick < 10; ++tick) {
            EXPECT_EQ(ctc.advance(), 0);
            EXPECT_EQ(ctc.read(3), 100 - 10 * tick); // the live count
        }
        EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(3));
        EXPECT_EQ(ctc.read(3), 100);
    }
    EXPECT_EQ(ctc.read(0), 25); // the time constant, not the count

    // A stopped channel 0 gives channel 3 nothing to count.
    ctc.write(0, 0x03);
    for (int tick = 0; tick < 30; ++tick)
        EXPECT_EQ(ctc.advance(), 0);
    EXPECT_EQ(ctc.read(3), 100);
}

TEST(CtcTest, CounterModeReadsAFullCountAsZero) {
    Ctc ctc;
    program(ctc, 3, 0x45, 0);
    EXPECT_EQ(ctc.channels[3].count, 256u);
    EXPECT_EQ(ctc.read(3), 0);
}

TEST(CtcTest, TimerModeChannel3ReadsPrescaledUnits) {
    Ctc ctc;
    program(ctc, 3, 0x25, 200); // prescaler 256: 51,200 clocks
    ctc.advance();
    EXPECT_EQ(ctc.read(3), (51200 - 4000) >> 8);
    EXPECT_EQ(ctc.read(1), 0);
}

TEST(CtcTest, ControlWordsStopResumeAndRetime) {
    Ctc ctc;
    program(ctc, 1, 0x85, 250);
    program(ctc, 2, 0x05, 200); // 3,200 clocks
    ctc.advance();
    EXPECT_EQ(ctc.channels[2].count, 2400u);

    // Reset stops it where it is; a control word with bits 1 and 2 clear
    // resumes it there with its old period.
    ctc.write(2, 0x03);
    EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(1));
    EXPECT_EQ(ctc.channels[2].count, 2400u);
    ctc.write(2, 0x81);
    EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(1) | Ctc::interruptFlag(2));
    EXPECT_EQ(ctc.channels[2].count, 1600u);

    // Time constant follows, channel not reset: the old period goes on until
    // the time constant arrives, which restarts the count at once.
    ctc.write(1, 0x25); // also asks for prescaler 256, with interrupts off
    EXPECT_EQ(ctc.advance() & Ctc::interruptFlag(1), 0); // counts, but interrupts are now off
    EXPECT_EQ(ctc.channels[1].count, 4000u);
    EXPECT_EQ(ctc.channels[1].reload, 4000u);
    ctc.write(1, 10);
    EXPECT_EQ(ctc.channels[1].count, 2560u);
    EXPECT_EQ(ctc.channels[1].reload, 2560u);
    EXPECT_EQ(ctc.channels[1].control, 0x21);
    EXPECT_EQ(ctc.read(1), 10);

    // A prescaler change in a control word alone does not change the period.
    ctc.write(1, 0x81);
    EXPECT_EQ(ctc.channels[1].reload, 2560u);
    EXPECT_EQ(ctc.advance() & Ctc::interruptFlag(1), Ctc::interruptFlag(1));

    // Reset together with time constant follows: stopped until it arrives.
    ctc.write(1, 0x87);
    for (int tick = 0; tick < 5; ++tick)
        EXPECT_EQ(ctc.advance() & Ctc::interruptFlag(1), 0);
    ctc.write(1, 250);
    EXPECT_EQ(ctc.advance() & Ctc::interruptFlag(1), Ctc::interruptFlag(1));
}

TEST(CtcTest, VectorWordsAreTakenOnChannel0Only) {
    Ctc ctc;
    ctc.write(0, 0xE6);
    EXPECT_EQ(ctc.vector, 0xE0);
    ctc.write(2, 0x48);
    ctc.write(1, 0x10);
    ctc.write(3, 0x30);
    EXPECT_EQ(ctc.vector, 0xE0);
    for (unsigned n = 1; n < 4; ++n)
        EXPECT_EQ(ctc.channels[n].control, 0x23);

    ctc.write(0, 0xE5); // bit 0 set: a control word
    EXPECT_EQ(ctc.vector, 0xE0);
    EXPECT_EQ(ctc.channels[0].control, 0xE5);
    ctc.write(0, 0x08); // now a time constant, not a vector
    EXPECT_EQ(ctc.vector, 0xE0);
    EXPECT_EQ(ctc.channels[0].timeConstant, 0x08);
}

TEST(CtcTest, FlagsOnlyWithInterruptsEnabled) {
    Ctc ctc;
    program(ctc, 0, 0x85, 250);
    program(ctc, 1, 0x05, 250);
    program(ctc, 2, 0x85, 125);
    for (int tick = 0; tick < 10; ++tick)
        EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(0) | Ctc::interruptFlag(2));
    EXPECT_EQ(ctc.channels[1].count, 4000u); // channel 1 counts all the same
    EXPECT_EQ(ctc.channels[2].count, 2000u);
}

TEST(CtcTest, ShortPeriodsReachZeroManyTimesInATick) {
    Ctc ctc;
    program(ctc, 0, 0x45, 1); // counter mode on channel 0: counts clocks, period 1
    program(ctc, 1, 0x85, 1); // 16 clocks: 250 zeros a tick
    EXPECT_EQ(ctc.advance(), Ctc::interruptFlag(1));
    EXPECT_EQ(ctc.channels[1].count, 16u);
    EXPECT_EQ(ctc.channels[0].count, 1u);
}

} // namespace
