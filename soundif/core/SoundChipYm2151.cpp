// CSoundChipYm2151: see SoundChipYm2151.h. init writes go through
// setRegister, so through the cache; their results are not looked at.
#include "soundif/core/SoundChipYm2151.h"

namespace {

constexpr std::uint32_t keyOn = 0x08;
constexpr std::uint32_t channels = 8;
constexpr std::uint32_t decayReleaseFirst = 0xE0;
constexpr std::uint32_t decayReleaseLast = 0xFF;

} // namespace

std::int32_t CSoundChipYm2151::init() {
    for (std::uint32_t channel = 0; channel < channels; ++channel)
        setRegister(keyOn, channel);
    for (std::uint32_t reg = decayReleaseFirst; reg <= decayReleaseLast; ++reg)
        setRegister(reg, 0xFF);
    return 1;
}

bool CSoundChipYm2151::needsWrite(std::uint32_t index, std::uint32_t data) {
    return changes(index, data);
}
