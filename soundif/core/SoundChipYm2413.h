// The YM2413 (OPLL) chip: sends only changes to registers below 0x40; the
// rest never go out. init turns rhythm off, sets every channel to instrument
// 0 at its quietest and keys it off. Replaces only init and needsWrite of
// CSoundChip.
#pragma once

#include "soundif/core/SoundChip.h"

class CSoundChipYm2413 : public CSoundChip {
public:
    using CSoundChip::CSoundChip;
    std::int32_t init() override;
    bool needsWrite(std::uint32_t index, std::uint32_t data) override;
};
