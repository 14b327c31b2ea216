// A tiny pin-stream encoder for the tests, written from the wire rules and kept
// apart from the library's encoder so that the two cross-check each other:
// 18-byte frames, three frames per phase with the strobe low in the middle one,
// fillers that repeat the pin state, and single-frame reset words.
#pragma once

#include "tools/virtualboard/BoardModel.h"

#include <cstdint>
#include <vector>

struct TestWire {
    wire::PinMasks masks;
    std::uint8_t pins = 0xFF;
    std::vector<std::uint8_t> bytes;

    void frame(std::uint16_t word) {
        const std::uint8_t lines = masks.shiftClock | masks.data | masks.control;
        std::uint8_t b = pins & ~masks.latch;
        bytes.push_back(b);
        for (int bit = 7; bit >= 0; --bit) {
            b &= ~lines;
            if (word >> bit & 1) b |= masks.control;
            if (word >> (bit + 8) & 1) b |= masks.data;
            bytes.push_back(b);
            b |= masks.shiftClock;
            bytes.push_back(b);
        }
        b |= masks.latch;
        bytes.push_back(b);
        pins = b;
    }

    void phase(std::uint16_t word) {
        frame(word);
        frame(word & ~wire::ControlByte::writeStrobeBit);
        frame(word);
    }

    void filler(int count) { bytes.insert(bytes.end(), count, pins); }

    static std::uint8_t controlFor(int position, std::uint16_t address) {
        using wire::ControlByte;
        return static_cast<std::uint8_t>(
            (wire::idleControl.value() & ~(ControlByte::chipSelect0Bit << position)) |
            (address & 0x100 ? ControlByte::addressBit8Bit : 0));
    }

    void registerWrite(int position, std::uint16_t address, std::uint8_t data,
                       int addressWait = 0) {
        const std::uint8_t control = controlFor(position, address);
        phase(static_cast<std::uint16_t>((address & 0xFF) << 8 | control));
        filler(addressWait);
        phase(
            static_cast<std::uint16_t>(data << 8 | control | wire::ControlByte::registerSelectBit));
    }

    void reset() {
        frame(wire::resetAssertWord);
        frame(wire::resetReleaseWord);
    }
};
