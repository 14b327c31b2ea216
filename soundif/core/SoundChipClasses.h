// The chip classes with a write filter and a silent state of their own:
// YM2151 (OPM), YM2413 (OPLL) and YMZ294 (SSG). Each replaces only init and
// needsWrite of CSoundChip.
#pragma once

#include "soundif/core/SoundChip.h"

// Sends only changes, on every register including key-on (0x08). init keys
// off all eight channels and sets first-decay level and release rate of
// every operator to their maximum.
class CSoundChipYm2151 : public CSoundChip {
public:
    using CSoundChip::CSoundChip;
    std::int32_t init() override;
    bool needsWrite(std::uint32_t index, std::uint32_t data) override;
};

// Sends only changes to registers below 0x40; the rest never go out. init
// turns rhythm off, sets every channel to instrument 0 at its quietest and
// keys it off.
class CSoundChipYm2413 : public CSoundChip {
public:
    using CSoundChip::CSoundChip;
    std::int32_t init() override;
    bool needsWrite(std::uint32_t index, std::uint32_t data) override;
};

// Sends only changes to registers below 14 (the I/O port registers 14 and
// 15 never go out). init turns every tone and noise output off in the mixer.
class CSoundChipYmz294 : public CSoundChip {
public:
    using CSoundChip::CSoundChip;
    std::int32_t init() override;
    bool needsWrite(std::uint32_t index, std::uint32_t data) override;
};
