// Conversion: a source chip that no destination offers, played on chips it
// has: its writes, as the song gives them, turned into writes for the chip
// families of other chip types (an SN76489 on an SSG; OPN FM on a YM2151 and
// the OPN's SSG part on an SSG), which then fade, pause and correct clocks
// as they do for any song. The converters themselves live in convert/;
// ConversionFactory is where they plug into the road.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "songs/Song.h"
#include "tavroplay/ChipFamily.h"

namespace tavroplay {

class Conversion {
public:
    virtual ~Conversion() = default;
    // A write of the source chip (second port 0x100 and up).
    virtual void write(std::uint16_t address, std::uint8_t data) = 0;
    // What cannot be played, "" when nothing: "DAC dropped".
    virtual std::string losses() const = 0;
};

// The chips a source type converts to: the main target, and the SSG for a
// part that goes to one (the OPN's SSG part); nothing when no conversion.
struct ConversionTargets {
    songs::ChipType main;
    std::optional<songs::ChipType> ssg;
};

// Where the converted writes go: the target chips as placed, the families
// that play them, and their clocks.
struct ConversionOutput {
    ChipFamily& main;
    std::uint32_t mainClock;
    ChipFamily* ssg; // null when the part has no chip (its writes drop)
    std::uint32_t ssgClock;
};

// The converters: targets of a source type, and a conversion of a song's
// chip (by its number in the song) onto its outputs (null when there is no
// converter for it).
struct ConversionFactory {
    std::function<std::optional<ConversionTargets>(songs::ChipType)> targets;
    std::function<std::unique_ptr<Conversion>(const songs::Song&, std::size_t chip,
                                              const ConversionOutput&)>
        make;
};

// The converters of convert/.
const ConversionFactory& standardConversions();

} // namespace tavroplay
