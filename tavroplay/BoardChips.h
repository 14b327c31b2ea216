// BoardChips: the chips of the library's open boards as tavroplay finds,
// lists and gives them back, through the manager's slots only.
//
// A chip is found by acquireChip with the file's chip type and clock first;
// failing that, the interfaces and their chips are gone through by slot for
// any free chip of that type (main or alternate type), which is then
// acquired at its own clock: the caller corrects for the difference.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "tavro/SoundInterface.h"

namespace tavroplay {

class BoardChips {
public:
    explicit BoardChips(SoundInterfaceManager& manager) : manager_(manager) {}

    struct Found {
        SoundChip* chip;
        std::uint32_t clock; // the chip's clock for that type
        std::string board;   // name of the interface that carries it
    };

    std::optional<Found> acquire(std::int32_t type, std::uint32_t clock);
    void release(SoundChip* chip) { manager_.releaseChip(chip); }

    // One line per board, then one per chip: position, name, type and clock,
    // the alternate types, and whether a client holds it.
    void list(std::ostream& out);

private:
    std::string boardOf(SoundChip* chip);

    SoundInterfaceManager& manager_;
};

} // namespace tavroplay
