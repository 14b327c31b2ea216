// SongChips: the chips one song plays on, placed on a destination for the
// time it plays. Each chip the song writes to gets a chip of its type at the
// song's clock when there is one, else any of its type, clock corrected;
// failing that, a chip that a conversion plays it on; else it is dropped.
// Each played chip gets its family (FamilyFactory.h); a converted one feeds
// its conversion, whose writes go to the families of its target chips.
//
// It tells, for one line per song, where each chip plays
// ("SN76489 -> SSG on KX7M(COM3) (converted)"), which chips nobody plays,
// and which are clock-corrected.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "songs/Song.h"
#include "tavroplay/ChipFamily.h"
#include "tavroplay/Conversion.h"
#include "tavroplay/Destination.h"
#include "tavroplay/Display.h"

namespace tavroplay {

class SongChips {
public:
    SongChips(const songs::Song& song, Destination& destination,
              const ConversionFactory& conversions = standardConversions());
    SongChips(const SongChips&) = delete;
    SongChips& operator=(const SongChips&) = delete;

    // A write of the song, to its chip (dropped when the chip plays nowhere).
    void write(const songs::SongWrite& write);

    std::vector<ChipFamily*> families() const;
    // Per song chip, whether it plays somewhere (directly or converted).
    std::vector<bool> played() const;
    std::vector<MeterChip> meter() const;
    bool any() const { return !families_.empty(); }

    // "YM2151 -> YM2151 on KX7M(COM1), SN76489 -> SSG on KX7M(COM1) (converted)".
    std::string placementLine() const;
    // Labels of the chips that play nowhere; empty when none.
    const std::vector<std::string>& dropped() const { return dropped_; }
    // One line per clock-corrected chip.
    const std::vector<std::string>& corrections() const { return corrections_; }

    void setAttenuation(double decibels);
    void silence();
    // Every register the song set sent again, keys last (after a seek).
    void restore();

private:
    struct Played {
        std::unique_ptr<ChipFamily> family;
        std::string meterLabel;
    };
    // Where the writes of one song chip go.
    struct Input {
        ChipFamily* family = nullptr;
        std::unique_ptr<Conversion> conversion;
    };

    ChipFamily* placeFamily(songs::ChipType type, std::uint32_t clock, const std::string& label,
                            std::string& where, std::uint32_t& placedClock);

    Destination& destination_;
    std::vector<Played> families_;
    std::vector<Input> inputs_;
    std::vector<std::string> placements_;
    std::vector<std::string> dropped_;
    std::vector<std::string> corrections_;
};

} // namespace tavroplay
