// CSoundChip and makeSoundChip: see SoundChip.h.
#include "soundif/core/SoundChip.h"

#include "soundif/core/SoundChipYm2151.h"
#include "soundif/core/SoundChipYm2413.h"
#include "soundif/core/SoundChipYmz294.h"
#include "soundif/core/SoundInterface.h"

CSoundChip::CSoundChip(CSoundInterface* owner, const SoundChipInfo& info)
    : owner(owner), info(info) {
    registerCache.resize(256);
    invalidateCache();
}

std::int32_t CSoundChip::setRegister(std::uint32_t address, std::uint32_t data) {
    const std::uint32_t index = address & addressMask;
    if (index < registerCache.size()) {
        if (!needsWrite(index, data)) return 1;
        registerCache[index] = static_cast<std::int32_t>(data);
    }
    return owner->writeRegister(static_cast<std::uint32_t>(info.position), address, data);
}

std::int32_t CSoundChip::getRegister(std::uint32_t address) {
    const std::uint32_t index = address & addressMask;
    return index < registerCache.size() ? registerCache[index] : unset;
}

void CSoundChip::invalidateCache() {
    registerCache.assign(registerCache.size(), unset);
}

bool CSoundChip::needsWrite(std::uint32_t, std::uint32_t) {
    return true;
}

bool CSoundChip::changes(std::uint32_t index, std::uint32_t data) const {
    return registerCache[index] != static_cast<std::int32_t>(data);
}

std::unique_ptr<CSoundChip> makeSoundChip(CSoundInterface* owner, const SoundChipInfo& info) {
    switch (info.type) {
    case tavro::chipTypeYm2151: return std::make_unique<CSoundChipYm2151>(owner, info);
    case tavro::chipTypeYm2413: return std::make_unique<CSoundChipYm2413>(owner, info);
    case tavro::chipTypeYmz294: return std::make_unique<CSoundChipYmz294>(owner, info);
    default: return std::make_unique<CSoundChip>(owner, info);
    }
}
