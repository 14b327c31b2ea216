// CSoundChipYm2151, CSoundChipYm2413, CSoundChipYmz294: see SoundChipClasses.h.
// init writes go through setRegister, so through the cache; their results are
// not looked at.
#include "soundif/core/SoundChipClasses.h"

namespace {

constexpr std::uint32_t opmKeyOn = 0x08;
constexpr std::uint32_t opmChannels = 8;
constexpr std::uint32_t opmDecayReleaseFirst = 0xE0;
constexpr std::uint32_t opmDecayReleaseLast = 0xFF;

constexpr std::uint32_t opllRhythm = 0x0E;
constexpr std::uint32_t opllInstrumentVolume = 0x30;
constexpr std::uint32_t opllKeyBlockFrequency = 0x20;
constexpr std::uint32_t opllChannels = 9;
constexpr std::uint32_t opllRegisterLimit = 0x40;

constexpr std::uint32_t ssgMixer = 0x07;
// Every write to the envelope shape restarts the envelope, even with the
// shape it already has.
constexpr std::uint32_t ssgEnvelopeShape = 0x0D;
constexpr std::uint32_t ssgRegisterLimit = 14;

} // namespace

std::int32_t CSoundChipYm2151::init() {
    for (std::uint32_t channel = 0; channel < opmChannels; ++channel)
        setRegister(opmKeyOn, channel);
    for (std::uint32_t reg = opmDecayReleaseFirst; reg <= opmDecayReleaseLast; ++reg)
        setRegister(reg, 0xFF);
    return 1;
}

bool CSoundChipYm2151::needsWrite(std::uint32_t index, std::uint32_t data) {
    return changes(index, data);
}

std::int32_t CSoundChipYm2413::init() {
    setRegister(opllRhythm, 0x00);
    for (std::uint32_t channel = 0; channel < opllChannels; ++channel) {
        setRegister(opllInstrumentVolume + channel, 0x0F);
        setRegister(opllKeyBlockFrequency + channel, 0x00);
    }
    return 1;
}

bool CSoundChipYm2413::needsWrite(std::uint32_t index, std::uint32_t data) {
    return index < opllRegisterLimit && changes(index, data);
}

std::int32_t CSoundChipYmz294::init() {
    setRegister(ssgMixer, 0xFF);
    return 1;
}

bool CSoundChipYmz294::needsWrite(std::uint32_t index, std::uint32_t data) {
    return index < ssgRegisterLimit && (index == ssgEnvelopeShape || changes(index, data));
}
