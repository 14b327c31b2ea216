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
    const int selected = static_cast<int>(std::min<std::uint32_t>(position, positionCount));
    return idleControl.selecting(selected).withAddressBit8((address & 0x100u) != 0).value();
}

std::uint8_t encodeFrame(std::uint8_t* out, std::uint16_t word, const PinMasks& masks,
                         std::uint8_t pinState) {
    const unsigned chipBus = chipBusOf(word);
    const unsigned control = controlOf(word).value();
    const unsigned keep = ~unsigned(masks.data | masks.control | masks.shiftClock) & 0xFFu;
    unsigned b = pinState & ~unsigned(masks.latch) & 0xFFu;
    *out++ = static_cast<std::uint8_t>(b);
    for (int bit = 7; bit >= 0; --bit) {
        const unsigned controlPins = (0u - ((control >> bit) & 1u)) & masks.control;
        const unsigned dataPins = (0u - ((chipBus >> bit) & 1u)) & masks.data;
        b = (b & keep) | controlPins | dataPins;
        *out++ = static_cast<std::uint8_t>(b);
        b |= masks.shiftClock;
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
    const std::uint16_t strobed = wire::word(chipBusOf(word), controlOf(word).strobe(true));
    pinState = encodeFrame(out + frameBytes, strobed, masks, pinState);
    return encodeFrame(out + 2 * frameBytes, word, masks, pinState);
}
} // namespace

void appendRegisterWrite(std::vector<std::uint8_t>& buffer, std::uint32_t position,
                         std::uint32_t address, std::uint32_t data, const PinMasks& masks,
                         std::uint8_t& pinState, std::uint32_t addressWaitRepeat) {
    const ControlByte control(controlByte(position, address));
    const std::uint16_t addressWord = word(static_cast<std::uint8_t>(address), control);
    const std::uint16_t dataWord = word(static_cast<std::uint8_t>(data), control.inDataPhase(true));
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
