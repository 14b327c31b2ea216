// The board's serial chip bus as both ends see it: the pin masks of the four
// lines, the 16-bit word latched per frame (chip-bus byte high, control byte
// low) and the control byte with a named accessor per field. The library's
// wire encoder writes it; the virtual board's decoder reads it.
//
// Control byte (low byte of a latched word); "/" marks an active-low line:
//
//     bit   7     6       5     4      3      2      1     0
//         +-----+-------+-----+-----+------+------+------+---+
//         | A8  |/RESET | /WR | RS  | /CS2 | /CS1 | /CS0 | - |
//         +-----+-------+-----+-----+------+------+------+---+
//
//   A8      bit 8 of the register address (second port of a two-port chip)
//   /RESET  low: every chip held in reset
//   /WR     write strobe; a chip takes the bus on its rising edge
//   RS      register select: 0 address phase, 1 data phase
//   /CSn    chip select of position n
//
// At rest every chip is deselected, the strobe and reset lines are high and
// RS is 0: idleControl. A reset pulse is the word resetAssertWord followed by
// resetReleaseWord.
#pragma once

#include <cstdint>

namespace wire {

// Pin masks of the four lines, the INI keys "SBit", "DBit", "CBit" and
// "RBit": shift clock, data (chip-bus byte), control (control byte) and latch.
// A mask may name several pins.
struct PinMasks {
    std::uint8_t shiftClock = 0x01;
    std::uint8_t data = 0x02;
    std::uint8_t control = 0x04;
    std::uint8_t latch = 0x08;
};

inline constexpr int positionCount = 3;

class ControlByte {
public:
    static constexpr std::uint8_t chipSelect0Bit = 0x02; // position p: chipSelect0Bit << p
    static constexpr std::uint8_t registerSelectBit = 0x10;
    static constexpr std::uint8_t writeStrobeBit = 0x20;
    static constexpr std::uint8_t resetBit = 0x40;
    static constexpr std::uint8_t addressBit8Bit = 0x80;

    constexpr explicit ControlByte(std::uint8_t value) : value_(value) {}
    constexpr std::uint8_t value() const { return value_; }

    // Field readers, true when the function is active.
    constexpr bool selects(int position) const {
        return position >= 0 && position < positionCount && !has(selectBit(position));
    }
    constexpr bool dataPhase() const { return has(registerSelectBit); }
    constexpr bool strobing() const { return !has(writeStrobeBit); }
    constexpr bool resetting() const { return !has(resetBit); }
    constexpr bool addressBit8() const { return has(addressBit8Bit); }

    // Copies with one field changed. A position outside 0 to 2 selects nothing.
    constexpr ControlByte selecting(int position) const {
        if (position < 0 || position >= positionCount) return *this;
        return with(selectBit(position), false);
    }
    constexpr ControlByte inDataPhase(bool data) const { return with(registerSelectBit, data); }
    constexpr ControlByte strobe(bool active) const { return with(writeStrobeBit, !active); }
    constexpr ControlByte reset(bool active) const { return with(resetBit, !active); }
    constexpr ControlByte withAddressBit8(bool set) const { return with(addressBit8Bit, set); }

private:
    static constexpr std::uint8_t selectBit(int position) {
        return static_cast<std::uint8_t>(chipSelect0Bit << position);
    }
    constexpr bool has(std::uint8_t bit) const { return (value_ & bit) != 0; }
    constexpr ControlByte with(std::uint8_t bit, bool set) const {
        return ControlByte(static_cast<std::uint8_t>(set ? value_ | bit : value_ & ~bit));
    }

    std::uint8_t value_;
};

inline constexpr ControlByte idleControl{0x6E};

// The latched word of a chip-bus byte and a control byte.
constexpr std::uint16_t word(std::uint8_t chipBus, ControlByte control) {
    return static_cast<std::uint16_t>(chipBus << 8 | control.value());
}
constexpr std::uint8_t chipBusOf(std::uint16_t word) {
    return static_cast<std::uint8_t>(word >> 8);
}
constexpr ControlByte controlOf(std::uint16_t word) {
    return ControlByte(static_cast<std::uint8_t>(word));
}

inline constexpr std::uint16_t resetAssertWord = word(0, idleControl.reset(true));
inline constexpr std::uint16_t resetReleaseWord = word(0, idleControl);

static_assert(resetAssertWord == 0x002E && resetReleaseWord == 0x006E);

} // namespace wire
