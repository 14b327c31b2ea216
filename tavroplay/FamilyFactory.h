// makeFamily: the chip family that plays a chip type, the one place that
// tells chip types apart. SN76489 and other chips have no family of their
// own: an SN76489 plays through a conversion onto an SSG, the others are
// dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "songs/SongChip.h"
#include "synth/BoardMixer.h"
#include "tavroplay/ChipFamily.h"

namespace tavroplay {

// Null for a type without a family.
std::unique_ptr<ChipFamily> makeFamily(songs::ChipType type, double ratio, RegisterSink& sink);

// The software chip (synth/BoardMixer.h) that plays a chip type, and its
// clock when a conversion picks it: the KX7M's (YM2151 4 MHz, its SSG a
// 2 MHz PSG); nothing when no software chip does.
struct SoftwareChip {
    synth::BoardMixer::ChipKind kind;
    std::uint32_t defaultClock;
};
std::optional<SoftwareChip> softwareChip(songs::ChipType type);

// The library's chip type code that plays a chip type directly; nothing when
// no board chip does.
std::optional<std::int32_t> libraryChipType(songs::ChipType type);

} // namespace tavroplay
