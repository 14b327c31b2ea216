// Fuzzing target for the board model: the first four bytes choose the pin
// masks, the rest is a pin stream fed in two parts. Every event must name a
// chip position on the board and a 9-bit address, at an offset inside the
// bytes that were fed.
#include "tools/virtualboard/BoardModel.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    boardmodel::BoardModel model({data[0], data[1], data[2], data[3]});
    const std::span<const std::uint8_t> pins(data + 4, size - 4);
    const std::size_t half = pins.size() / 2;
    for (const auto part : {pins.first(half), pins.subspan(half)}) {
        for (const boardmodel::BoardEvent& event : model.feed(part)) {
            const bool reset = event.kind == boardmodel::BoardEvent::Kind::reset;
            if (event.offset >= part.size() || event.address > 0x1FF ||
                (reset ? event.position != -1 : event.position < 0 || event.position > 2))
                std::abort();
        }
    }
    return 0;
}
