// The chips of a VGM file that this project plays, each the chip model of
// that type code in the catalog, which gives its write commands, its header
// clock field, its name and its default clock. Every other chip's commands
// are skipped.
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

#include "soundif/catalog/ChipModel.h"

namespace vgm {

enum class VgmChip : std::uint8_t { ym2413, ym2151, ym2203, ym2608, ay8910 };
inline constexpr std::size_t chipCount = 5;

// The library's chip type code of each.
constexpr std::int32_t chipTypeOf(VgmChip chip) {
    constexpr std::int32_t types[chipCount] = {tavro::chipTypeYm2413, tavro::chipTypeYm2151,
                                               tavro::chipTypeYm2203, tavro::chipTypeYm2608,
                                               tavro::chipTypePsg};
    return types[static_cast<std::size_t>(chip)];
}

constexpr const catalog::ChipModel& chipModelOf(VgmChip chip) {
    return *catalog::findChipModel(chipTypeOf(chip));
}

constexpr std::string_view chipName(VgmChip chip) {
    return chipModelOf(chip).name;
}

// Header offset of each chip's clock field and the first version that has it.
struct ClockField {
    std::size_t offset;
    std::uint32_t sinceVersion;
};
constexpr ClockField clockField(VgmChip chip) {
    constexpr std::uint32_t since[chipCount] = {0x100, 0x110, 0x151, 0x151, 0x151};
    return {chipModelOf(chip).vgm.headerClockOffset, since[static_cast<std::size_t>(chip)]};
}

} // namespace vgm
