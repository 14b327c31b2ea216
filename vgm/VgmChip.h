// The chips of a VGM file that this project plays, with the write commands
// the format gives them. Every other chip's commands are skipped.
//
//   YM2413   0x51 aa dd   second chip 0xA1
//   YM2151   0x54 aa dd   second chip 0xA4
//   YM2203   0x55 aa dd   second chip 0xA5
//   YM2608   0x56 aa dd   port 0, 0x57 aa dd port 1 (address + 0x100);
//                         second chip 0xA6 / 0xA7
//   AY8910   0xA0 aa dd   bit 7 of aa selects the second chip
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vgm {

enum class VgmChip : std::uint8_t { ym2413, ym2151, ym2203, ym2608, ay8910 };
inline constexpr std::size_t chipCount = 5;

constexpr std::string_view chipName(VgmChip chip) {
    constexpr std::string_view names[chipCount] = {"YM2413", "YM2151", "YM2203", "YM2608",
                                                   "AY-3-8910"};
    return names[static_cast<std::size_t>(chip)];
}

// Header offset of each chip's clock field and the first version that has it.
struct ClockField {
    std::size_t offset;
    std::uint32_t sinceVersion;
};
constexpr ClockField clockField(VgmChip chip) {
    constexpr ClockField fields[chipCount] = {
        {0x10, 0x100}, {0x30, 0x110}, {0x44, 0x151}, {0x48, 0x151}, {0x74, 0x151}};
    return fields[static_cast<std::size_t>(chip)];
}

} // namespace vgm
