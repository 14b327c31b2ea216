// CSoundChipYmz294: see SoundChipYmz294.h. init writes go through
// setRegister, so through the cache; their results are not looked at.
#include "soundif/core/SoundChipYmz294.h"

namespace {

constexpr std::uint32_t mixer = 0x07;
// Every write to the envelope shape restarts the envelope, even with the
// shape it already has.
constexpr std::uint32_t envelopeShape = 0x0D;
constexpr std::uint32_t registerLimit = 14;

} // namespace

std::int32_t CSoundChipYmz294::init() {
    setRegister(mixer, 0xFF);
    return 1;
}

bool CSoundChipYmz294::needsWrite(std::uint32_t index, std::uint32_t data) {
    return index < registerLimit && (index == envelopeShape || changes(index, data));
}
