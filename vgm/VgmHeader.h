// VgmHeader: the fields of a VGM file's header that playing needs, read by
// the header's version (1.00 to 1.71). Offsets are absolute file offsets;
// clocks are in Hz with the dual-chip bit taken out into its own flag.
//
//   clock field:  | 31: variant | 30: two chips | 29..0: clock in Hz |
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "vgm/VgmChip.h"

namespace vgm {

inline constexpr std::uint32_t sampleRate = 44100;

struct ChipClock {
    std::uint32_t hz = 0; // 0: the file does not use the chip
    bool dual = false;    // two chips of that kind
    bool variant = false; // bit 31 of the field (chip-specific meaning)
};

struct VgmHeader {
    std::uint32_t version = 0;      // BCD, 0x171 for 1.71
    std::size_t dataStart = 0;      // first command
    std::size_t dataEnd = 0;        // end of the file as the header gives it
    std::size_t loopStart = 0;      // first command of the loop; 0 when none
    std::size_t gd3Start = 0;       // GD3 tag; 0 when none
    std::uint32_t totalSamples = 0; // length of one pass, 44,100 per second
    std::uint32_t loopSamples = 0;  // length of the loop
    std::array<ChipClock, chipCount> clocks{};
    std::uint8_t ay8910Type = 0;  // 0x00 AY-3-8910 ... 0x10 YM2149 ...
    std::uint8_t ay8910Flags = 0; // bit 4: YM2149 clock divider pin low

    const ChipClock& clock(VgmChip chip) const { return clocks[static_cast<std::size_t>(chip)]; }
    bool loops() const { return loopStart != 0 && loopSamples != 0; }
};

} // namespace vgm
