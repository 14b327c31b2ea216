// makeFamily: the chip family that plays a chip type, the one place that
// tells chip types apart. SN76489 and other chips have no family of their
// own: an SN76489 plays through a conversion onto an SSG, the others are
// dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "songs/SongChip.h"
#include "tavroplay/ChipFamily.h"

namespace tavroplay {

// Null for a type without a family.
std::unique_ptr<ChipFamily> makeFamily(songs::ChipType type, double ratio, RegisterSink& sink);

// The software chip (mixer/BoardMixer.h) that plays a chip type: its
// library chip type code, and its clock when a conversion picks it, the
// catalog's default for the model (YM2151 4 MHz, YM2413 3.579545 MHz, PSG
// 2 MHz); nothing when no software chip does.
struct SoftwareChip {
    std::int32_t type;
    std::uint32_t defaultClock;
};
std::optional<SoftwareChip> softwareChip(songs::ChipType type);

// The library's chip type code that plays a chip type directly; nothing when
// no board chip does.
std::optional<std::int32_t> libraryChipType(songs::ChipType type);

} // namespace tavroplay
