// RegisterWriter: where a converter sends the writes it makes for a target
// chip, one register (second port 0x100 and up) and its value at a time. The
// player hands in its chip family's write; tests record the writes or feed a
// software chip.
#pragma once

#include <cstdint>
#include <functional>

namespace convert {

using RegisterWriter = std::function<void(std::uint16_t address, std::uint8_t data)>;

} // namespace convert
