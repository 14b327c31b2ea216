// Pin bytes to latched words to chip events; see BoardModel.h.
#include "tools/virtualboard/BoardModel.h"

namespace boardmodel {

namespace {
bool high(std::uint8_t pins, std::uint8_t mask) {
    return (pins & mask) != 0;
}
bool rising(std::uint8_t before, std::uint8_t after, std::uint8_t mask) {
    return !high(before, mask) && high(after, mask);
}
} // namespace

std::optional<std::uint16_t> PinDecoder::step(std::uint8_t pins) {
    const std::uint8_t before = previous_;
    previous_ = pins;
    if (rising(before, pins, masks_.shiftClock)) {
        dataShift_ = static_cast<std::uint8_t>(dataShift_ << 1 | high(pins, masks_.data));
        controlShift_ = static_cast<std::uint8_t>(controlShift_ << 1 | high(pins, masks_.control));
    }
    if (!rising(before, pins, masks_.latch)) return std::nullopt;
    return wire::word(dataShift_, wire::ControlByte(controlShift_));
}

void ChipBus::apply(std::uint16_t word, std::size_t offset, std::vector<BoardEvent>& events) {
    const wire::ControlByte before = wire::controlOf(word_);
    const std::uint8_t busBefore = wire::chipBusOf(word_);
    const wire::ControlByte after = wire::controlOf(word);
    word_ = word;

    if (after.resetting()) {
        if (!before.resetting()) events.push_back({BoardEvent::Kind::reset, offset, -1});
        addressLatch_.fill(std::nullopt);
        return;
    }
    // The strobe's rising edge, with the lines as they were while it was low.
    if (before.resetting() || !before.strobing() || after.strobing()) return;

    for (int position = 0; position < wire::positionCount; ++position) {
        if (!before.selects(position)) continue;
        auto& latch = addressLatch_[position];
        if (!before.dataPhase()) {
            latch = static_cast<std::uint16_t>((before.addressBit8() ? 0x100 : 0) | busBefore);
        } else if (latch) {
            events.push_back({BoardEvent::Kind::write, offset, position, *latch, busBefore});
        } else {
            events.push_back({BoardEvent::Kind::strayData, offset, position, 0, busBefore});
        }
    }
}

std::vector<BoardEvent> BoardModel::feed(std::span<const std::uint8_t> pins) {
    std::vector<BoardEvent> events;
    for (std::size_t offset = 0; offset < pins.size(); ++offset)
        if (auto word = decoder_.step(pins[offset])) bus_.apply(*word, offset, events);
    return events;
}

} // namespace boardmodel
