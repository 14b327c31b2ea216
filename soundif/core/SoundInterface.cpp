// CSoundInterface: see SoundInterface.h.
#include "soundif/core/SoundInterface.h"

CSoundInterface::~CSoundInterface() {
    invalidateChipCaches();
    destroyChips();
}

std::int32_t CSoundInterface::resetInterface() {
    invalidateChipCaches();
    return 0;
}

std::int32_t CSoundInterface::initChips() {
    std::int32_t result = 1;
    for (auto& chip : chips)
        if (chip->init() == 0) result = 0;
    return result;
}

SoundChip* CSoundInterface::chipAt(std::uint32_t index) {
    return index < chips.size() ? chips[index].get() : nullptr;
}

void CSoundInterface::invalidateChipCaches() {
    for (auto& chip : chips)
        chip->invalidateCache();
}

void CSoundInterface::addChip(const SoundChipInfo& chipInfo) {
    chips.push_back(makeSoundChip(this, chipInfo));
}

void CSoundInterface::destroyChips() {
    while (!chips.empty())
        chips.pop_back();
}
