// The YM2151 (OPM) chip: sends only changes, on every register including
// key-on (0x08). init keys off all eight channels and sets first-decay level
// and release rate of every operator to their maximum. Replaces only init
// and needsWrite of CSoundChip.
#pragma once

#include "soundif/core/SoundChip.h"

class CSoundChipYm2151 : public CSoundChip {
public:
    using CSoundChip::CSoundChip;
    std::int32_t init() override;
    bool needsWrite(std::uint32_t index, std::uint32_t data) override;
};
