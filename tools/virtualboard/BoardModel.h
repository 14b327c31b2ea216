// The board side of the wire: turns the pin bytes that the library writes in
// bit-bang mode back into what the board's chips see. PinDecoder models the
// two shift registers and their latch, ChipBus the chip-bus logic behind the
// latch, BoardModel chains the two. Used by the virtual board and by tests that
// check what the encoder produced.
//
// Where it knowingly differs from the real board: a line whose mask names
// several pins counts as high when any of its pins is high; a chip takes the
// bus on the rising edge of the write strobe and sees the bus and control
// lines as they were while the strobe was low; chip timing (busy flags,
// minimum cycle times) is not modelled.
#pragma once

#include "soundif/wire/ControlByte.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace boardmodel {

using wire::PinMasks;

// Two 8-bit shift registers (chip-bus byte from the data line, control byte
// from the control line, most significant bit first) clocked on the rising
// edge of the shift clock, and their output latch, loaded on the rising edge
// of the latch line. The lines start high, as the library's pin state does.
class PinDecoder {
public:
    explicit PinDecoder(PinMasks masks = {}) : masks_(masks) {}

    // Takes one pin byte; gives the latched word (chip-bus byte high, control
    // byte low) when this byte raised the latch line.
    std::optional<std::uint16_t> step(std::uint8_t pins);

private:
    PinMasks masks_;
    std::uint8_t previous_ = 0xFF;
    std::uint8_t dataShift_ = 0;
    std::uint8_t controlShift_ = 0;
};

struct BoardEvent {
    enum class Kind {
        write,     // a register write: address and data
        strayData, // a data write to a chip with no address latched since reset
        reset,     // the reset line went low
    };
    Kind kind;
    std::size_t offset; // index of the pin byte that caused it, within the bytes fed
    int position;       // chip position 0 to 2; -1 for reset
    std::uint16_t address = 0;
    std::uint8_t data = 0;

    bool operator==(const BoardEvent&) const = default;
};

// The chip bus behind the latch: three chips at positions 0 to 2, each with
// its own address latch. At rest nothing is selected and no address is
// latched.
class ChipBus {
public:
    // Applies one latched word; appends what the chips saw to events.
    void apply(std::uint16_t word, std::size_t offset, std::vector<BoardEvent>& events);
    // Whether the reset line is low now: every chip held in reset.
    bool resetHeld() const { return wire::controlOf(word_).resetting(); }

private:
    std::uint16_t word_ = wire::word(0, wire::ControlByte(0xFF));
    std::array<std::optional<std::uint16_t>, wire::positionCount> addressLatch_{};
};

class BoardModel {
public:
    explicit BoardModel(PinMasks masks = {}) : decoder_(masks) {}

    // Feeds pin bytes in wire order; gives the events they caused.
    std::vector<BoardEvent> feed(std::span<const std::uint8_t> pins);
    // Whether the chips are held in reset now (a reset pulse that was never
    // ended).
    bool resetHeld() const { return bus_.resetHeld(); }

private:
    PinDecoder decoder_;
    ChipBus bus_;
};

} // namespace boardmodel
