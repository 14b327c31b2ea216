// The YMZ294 (SSG) chip: sends only changes to registers below 14 (the I/O
// port registers 14 and 15 never go out), and every write to the envelope
// shape. init turns every tone and noise output off in the mixer. Replaces
// only init and needsWrite of CSoundChip.
#pragma once

#include "soundif/core/SoundChip.h"

class CSoundChipYmz294 : public CSoundChip {
public:
    using CSoundChip::CSoundChip;
    std::int32_t init() override;
    bool needsWrite(std::uint32_t index, std::uint32_t data) override;
};
