// Ctc: the machine's counter/timer circuit, four channels paced by the play
// loop rather than by executed instructions. Each advance is one tick of 4000
// Z80 clocks (one host millisecond of a 4 MHz Z80) and reports which channels
// reached zero with their interrupt enabled; the machine then runs the
// driver's routines for channels 1 and 3.
//
// Differences from the real circuit: a time constant starts the channel at
// once (the trigger bits 3 and 4 are stored but do nothing), a changed
// prescaler or mode takes effect only with the next time constant, channels
// 0 to 2 read back their time constant instead of the live count, vector
// words are taken on channel 0 only, and a channel reaching zero several times
// in one tick counts once for its interrupt.
#pragma once

#include <array>
#include <cstdint>

struct CtcChannel {
    // Control bits as the emulation uses them.
    static constexpr std::uint8_t controlWordBit = 0x01;
    static constexpr std::uint8_t resetBit = 0x02;
    static constexpr std::uint8_t timeConstantFollowsBit = 0x04;
    static constexpr std::uint8_t prescaler256Bit = 0x20;
    static constexpr std::uint8_t counterModeBit = 0x40;
    static constexpr std::uint8_t interruptEnabledBit = 0x80;

    // Counts input units down by input; returns how often the count reached
    // zero (and reloaded) on the way. Costs at most one division.
    std::uint32_t step(std::uint32_t input);

    bool stopped() const { return (control & resetBit) != 0; }
    bool interruptEnabled() const { return (control & interruptEnabledBit) != 0; }

    std::uint8_t control = 0x23;
    // Prescaler as a power of two: 4 divides by 16, 8 by 256, 0 is counter mode.
    std::uint8_t shift = 8;
    std::uint8_t timeConstant = 0;
    // Input units left until the channel next reaches zero; at least 1.
    std::uint32_t count = 65536;
    // Period in input units: the time constant (1 to 256) shifted by shift.
    std::uint32_t reload = 65536;
};

class Ctc {
public:
    // Z80 clocks in one tick.
    static constexpr std::uint32_t clocksPerTick = 4000;
    // Bits 7 to 3 of a vector word; the channel's vector adds vectorOffset.
    static constexpr std::uint8_t vectorMask = 0xF8;

    // The bit of channel in advance's result.
    static constexpr std::uint8_t interruptFlag(unsigned channel) {
        return static_cast<std::uint8_t>(1u << channel);
    }
    // Offset of channel's entry from the vector in the mode-2 table.
    static constexpr std::uint8_t vectorOffset(unsigned channel) {
        return static_cast<std::uint8_t>(2 * channel);
    }

    // A byte written by the driver to channel 0 to 3.
    void write(unsigned channel, std::uint8_t value);

    // A byte read by the driver: the time constant on channels 0 to 2, the
    // live count in prescaled units on channel 3.
    std::uint8_t read(unsigned channel) const;

    // Runs one tick. Bit n of the result is set when channel n reached zero at
    // least once and has its interrupt enabled; bits 4 to 7 are 0.
    std::uint8_t advance();

    // Bits 7 to 3 of the last vector word written to channel 0.
    std::uint8_t vector = 0;
    std::array<CtcChannel, 4> channels{};
};
