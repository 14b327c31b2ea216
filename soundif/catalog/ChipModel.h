// The chip models the system knows, by chip type code: the name shown to
// users, the clock offered by default, the kind a client takes the chip for,
// and how a VGM file carries the chip's writes. Constant data only; the
// library, its dialogs, the virtual board, the VGM tools and the player read
// it from here.
//
// VGM convention for a second chip of the same model: the chip's own second
// commands (first command + 0x50) for the FM chips, and bit 7 of the register
// byte with the same command for the AY-3-8910 (secondByRegisterBit7). The
// header marks a model present twice with vgmSecondChipClockFlag in its clock.
#pragma once

#include "tavro/SoundInterface.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace catalog {

// How a client that drives chips by kind (the player's port map) takes a
// chip. The YMZ294 reaches such clients through its PSG alternate type, so it
// is no kind of its own.
enum class ClientKind : int { other = 0, psg = 1, opll = 2, opm = 3 };

// One chip model in a VGM file. A command of 0 means the format has none.
struct VgmCommands {
    std::uint8_t port0 = 0;       // write to port 0 (address bit 8 clear)
    std::uint8_t port1 = 0;       // write to port 1 (address bit 8 set); 0: one port only
    std::uint8_t secondPort0 = 0; // the same for the second chip of the model
    std::uint8_t secondPort1 = 0;
    bool secondByRegisterBit7 = false;  // second chip: bit 7 of the register byte
    std::uint16_t addressLimit = 0;     // register addresses below this fit a command
    std::uint8_t headerClockOffset = 0; // header field of the chip's clock
};

inline constexpr std::uint32_t vgmSecondChipClockFlag = 0x40000000;
inline constexpr std::uint8_t vgmSecondChipRegisterBit = 0x80;

struct ChipModel {
    std::int32_t type;          // chip type code
    std::string_view name;      // part name, as the board setup dialog and logs show it
    std::uint32_t defaultClock; // Hz
    bool offeredAlone;          // the board setup dialog offers it as a single-chip board
    ClientKind clientKind;
    VgmCommands vgm;
};

// In the order in which the board setup dialog offers the single chips.
inline constexpr std::array<ChipModel, 6> chipModels{{
    {.type = tavro::chipTypeYm2151,
     .name = "YM2151",
     .defaultClock = 4000000,
     .offeredAlone = true,
     .clientKind = ClientKind::opm,
     .vgm = {.port0 = 0x54, .secondPort0 = 0xA4, .addressLimit = 0x100, .headerClockOffset = 0x30}},
    {.type = tavro::chipTypeYm2203,
     .name = "YM2203",
     .defaultClock = 3993600,
     .offeredAlone = true,
     .clientKind = ClientKind::other,
     .vgm = {.port0 = 0x55, .secondPort0 = 0xA5, .addressLimit = 0x100, .headerClockOffset = 0x44}},
    {.type = tavro::chipTypeYm2608,
     .name = "YM2608",
     .defaultClock = 7987200,
     .offeredAlone = true,
     .clientKind = ClientKind::other,
     .vgm = {.port0 = 0x56,
             .port1 = 0x57,
             .secondPort0 = 0xA6,
             .secondPort1 = 0xA7,
             .addressLimit = 0x200,
             .headerClockOffset = 0x48}},
    {.type = tavro::chipTypeYm2413,
     .name = "YM2413",
     .defaultClock = 3579545,
     .offeredAlone = false,
     .clientKind = ClientKind::opll,
     .vgm = {.port0 = 0x51, .secondPort0 = 0xA1, .addressLimit = 0x100, .headerClockOffset = 0x10}},
    {.type = tavro::chipTypePsg,
     .name = "AY-3-8910",
     .defaultClock = 2000000,
     .offeredAlone = false,
     .clientKind = ClientKind::psg,
     .vgm = {.port0 = 0xA0,
             .secondPort0 = 0xA0,
             .secondByRegisterBit7 = true,
             .addressLimit = 0x10,
             .headerClockOffset = 0x74}},
    // No VGM commands of its own: VGM files carry it through its PSG alternate.
    {.type = tavro::chipTypeYmz294,
     .name = "YMZ294",
     .defaultClock = 4000000,
     .offeredAlone = false,
     .clientKind = ClientKind::other,
     .vgm = {}},
}};

// The model of a chip type code; null for a code that names no model.
constexpr const ChipModel* findChipModel(std::int32_t type) {
    for (const ChipModel& model : chipModels)
        if (model.type == type) return &model;
    return nullptr;
}

// The kind a client takes a chip of this type code for.
constexpr ClientKind clientKindOf(std::int32_t type) {
    const ChipModel* model = findChipModel(type);
    return model != nullptr ? model->clientKind : ClientKind::other;
}

} // namespace catalog
