// RegisterSink: where a chip family's register writes go: a board's chip
// through the library, a software chip of the mixer, or a test's recorder.
// Addresses are the chip's registers, a two-port chip's second port 0x100
// and up.
#pragma once

#include <cstdint>

namespace tavroplay {

class RegisterSink {
public:
    virtual ~RegisterSink() = default;
    virtual void write(std::uint16_t address, std::uint8_t data) = 0;
};

} // namespace tavroplay
