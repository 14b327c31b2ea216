// CSoundChipYm2413: see SoundChipYm2413.h. init writes go through
// setRegister, so through the cache; their results are not looked at.
#include "soundif/core/SoundChipYm2413.h"

namespace {

constexpr std::uint32_t rhythm = 0x0E;
constexpr std::uint32_t instrumentVolume = 0x30;
constexpr std::uint32_t keyBlockFrequency = 0x20;
constexpr std::uint32_t channels = 9;
constexpr std::uint32_t registerLimit = 0x40;

} // namespace

std::int32_t CSoundChipYm2413::init() {
    setRegister(rhythm, 0x00);
    for (std::uint32_t channel = 0; channel < channels; ++channel) {
        setRegister(instrumentVolume + channel, 0x0F);
        setRegister(keyBlockFrequency + channel, 0x00);
    }
    return 1;
}

bool CSoundChipYm2413::needsWrite(std::uint32_t index, std::uint32_t data) {
    return index < registerLimit && changes(index, data);
}
