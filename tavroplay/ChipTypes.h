// The library's chip type for each chip of a VGM file, and the names and
// default clocks the program shows and falls back to.
#pragma once

#include <cstdint>
#include <string_view>

#include "tavro/SoundInterface.h"
#include "vgm/VgmChip.h"

namespace tavroplay {

struct ChipType {
    std::int32_t type;          // library chip type code
    std::uint32_t defaultClock; // when the file gives none
};

constexpr ChipType chipTypeOf(vgm::VgmChip chip) {
    switch (chip) {
    case vgm::VgmChip::ym2413: return {tavro::chipTypeYm2413, 3579545};
    case vgm::VgmChip::ym2151: return {tavro::chipTypeYm2151, 3579545};
    case vgm::VgmChip::ym2203: return {tavro::chipTypeYm2203, 3993600};
    case vgm::VgmChip::ym2608: return {tavro::chipTypeYm2608, 7987200};
    case vgm::VgmChip::ay8910: return {tavro::chipTypePsg, 1789773};
    }
    return {tavro::chipTypeNone, 0};
}

// Name of a library chip type code for listings.
constexpr std::string_view typeName(std::int32_t type) {
    switch (type) {
    case tavro::chipTypeYm2608: return "YM2608";
    case tavro::chipTypeYm2151: return "YM2151";
    case tavro::chipTypeYm2203: return "YM2203";
    case tavro::chipTypePsg: return "PSG";
    case tavro::chipTypeYm2413: return "YM2413";
    case tavro::chipTypeYmz294: return "YMZ294";
    default: return "chip";
    }
}

} // namespace tavroplay
