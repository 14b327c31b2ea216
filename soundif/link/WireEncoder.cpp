// The wire encoder: see WireEncoder.h.
#include "soundif/link/WireEncoder.h"

#include <algorithm>

namespace wire {

std::uint32_t waitRepeat(std::uint32_t wait, std::uint32_t speed) {
    const std::uint64_t product = std::uint64_t{wait} * speed;
    std::uint64_t repeat = (product + 9999999u) / 10000000u;
    if (repeat != 0) --repeat;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(repeat, maxWaitRepeat));
}

std::uint8_t controlByte(std::uint32_t position, std::uint32_t address) {
    const std::uint32_t select = position < 3 ? (2u << position) : 0u;
    std::uint8_t control = static_cast<std::uint8_t>(controlIdle & ~select);
    if (address & 0x100u) control |= addressBit8;
    return control;
}

std::uint8_t encodeFrame(std::uint8_t* out, std::uint16_t word, const PinMasks& masks,
                         std::uint8_t pinState) {
    const unsigned chipBus = word >> 8;
    const unsigned control = word & 0xFFu;
    const unsigned keep = ~unsigned(masks.data | masks.control | masks.clock) & 0xFFu;
    unsigned b = pinState & ~unsigned(masks.latch) & 0xFFu;
    *out++ = static_cast<std::uint8_t>(b);
    for (int bit = 7; bit >= 0; --bit) {
        const unsigned controlPins = (0u - ((control >> bit) & 1u)) & masks.control;
        const unsigned dataPins = (0u - ((chipBus >> bit) & 1u)) & masks.data;
        b = (b & keep) | controlPins | dataPins;
        *out++ = static_cast<std::uint8_t>(b);
        b |= masks.clock;
        *out++ = static_cast<std::uint8_t>(b);
    }
    b |= masks.latch;
    *out = static_cast<std::uint8_t>(b);
    return static_cast<std::uint8_t>(b);
}

void appendFrame(std::vector<std::uint8_t>& buffer, std::uint16_t word, const PinMasks& masks,
                 std::uint8_t& pinState) {
    const std::size_t at = buffer.size();
    buffer.resize(at + frameBytes);
    pinState = encodeFrame(buffer.data() + at, word, masks, pinState);
}

void appendFiller(std::vector<std::uint8_t>& buffer, std::uint32_t count, std::uint8_t pinState) {
    buffer.insert(buffer.end(), count, pinState);
}

namespace {
// Three frames of a phase: the word, the word with the strobe active, the word.
std::uint8_t encodePhase(std::uint8_t* out, std::uint16_t word, const PinMasks& masks,
                         std::uint8_t pinState) {
    pinState = encodeFrame(out, word, masks, pinState);
    pinState = encodeFrame(out + frameBytes, word & ~std::uint16_t{writeStrobe}, masks, pinState);
    return encodeFrame(out + 2 * frameBytes, word, masks, pinState);
}
} // namespace

void appendRegisterWrite(std::vector<std::uint8_t>& buffer, std::uint32_t position,
                         std::uint32_t address, std::uint32_t data, const PinMasks& masks,
                         std::uint8_t& pinState, std::uint32_t addressWaitRepeat) {
    const std::uint8_t control = controlByte(position, address);
    const auto addressWord = static_cast<std::uint16_t>(((address & 0xFFu) << 8) | control);
    const auto dataWord =
        static_cast<std::uint16_t>(((data & 0xFFu) << 8) | (control + registerSelect));
    const std::size_t at = buffer.size();
    buffer.resize(at + registerWriteBytes + addressWaitRepeat);
    std::uint8_t* out = buffer.data() + at;
    pinState = encodePhase(out, addressWord, masks, pinState);
    out += 3 * frameBytes;
    std::fill_n(out, addressWaitRepeat, pinState);
    out += addressWaitRepeat;
    pinState = encodePhase(out, dataWord, masks, pinState);
}

} // namespace wire
